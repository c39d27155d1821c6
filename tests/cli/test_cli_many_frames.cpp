// crossmeld-cli with GIF files of more frames than 16-bit numbers count:
// inspect and frames on a 40000-frame file built by hand, and a 32767-frame
// fade written as a GIF (counted by giflib).
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/LoadPicture.h"
#include "raster/Surface.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

std::string Cli() { return (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string(); }

int RunCli(const TempDir& dir, const std::string& args, std::string* out) {
    return RunCommand("cd " + Quote(dir.path()) + " && TEMP=" + Quote(dir.path()) + " " + Quote(Cli()) + " " + args +
                          " 2>" + Quote(dir / "stderr.txt"),
                      out);
}

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

// 40000 frames of 1 x 1 on a black-and-white global table: every frame is
// clear, 0, end (3-bit codes 4, 0, 5: bytes 44 01), the last one pixel 1
// (4, 1, 5: bytes 4C 01).
std::vector<std::uint8_t> FortyThousandFrames() {
    std::vector<std::uint8_t> gif{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int k = 1; k <= 40000; ++k) {
        const std::uint8_t code = k == 40000 ? 0x4C : 0x44;
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, code, 1, 0});
    }
    gif.push_back(0x3B);
    return gif;
}

TEST(CliManyFrames, InspectAndFramesTakeEveryFramePast32767) {
    TempDir dir;
    WriteBytes(dir / "many.gif", FortyThousandFrames());
    std::string json;
    ASSERT_EQ(RunCli(dir, "inspect many.gif", &json), 0);
    EXPECT_EQ(Count(json, "{\"left\": 0, \"top\": 0, \"width\": 1, \"height\": 1,"), 40000u);

    std::string listed;
    ASSERT_EQ(RunCli(dir, "frames many.gif --output out", &listed), 0);
    EXPECT_EQ(Count(listed, "\n"), 40000u);
    EXPECT_EQ(listed.substr(listed.size() - 16), "frame_40000.bmp\n");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const auto last = DecodeWithPil(dir / "out" / "frame_40000.bmp");
    const auto before = DecodeWithPil(dir / "out" / "frame_39999.bmp");
    ASSERT_TRUE(last && before);
    EXPECT_EQ(last->rgb, (std::vector<std::uint8_t>{255, 255, 255}));
    EXPECT_EQ(before->rgb, (std::vector<std::uint8_t>{0, 0, 0}));
}

// The largest count the create command takes, through the temporary AVI and
// the GIF document into the file.
TEST(CliManyFrames, CreatesAGifOf32767Frames) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    TempDir dir;
    for (const auto& [name, level] : {std::pair{"a.bmp", 0}, std::pair{"b.bmp", 255}}) {
        auto s = Surface::Create(2, 2, 24);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) s->SetPixel(x, y, Rgb(level, level, level));
        SavePicture(*s, (dir / name).string());
    }
    std::string out;
    ASSERT_EQ(RunCli(dir, "--start a.bmp --end b.bmp --frames 32767 --gif out.gif --quiet", &out), 0)
        << [&] {
               const auto err = ReadBytes(dir / "stderr.txt");
               return std::string(err.begin(), err.end());
           }();
    EXPECT_EQ(out, "Done.\n");
    std::string counted;
    ASSERT_EQ(RunCommand("/usr/bin/python3 " + Quote(SourceDir() / "tests" / "data" / "gif" / "giflib_frames.py") +
                             " --count " + Quote(dir / "out.gif"),
                         &counted),
              0);
    EXPECT_EQ(counted, "screen 2 2 frames 32767\n");
}

}  // namespace
