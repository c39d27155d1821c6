// crossmeld-cli as a user runs it: exit statuses, where messages go, and the
// files it writes (checked with ffprobe and ffmpeg).
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/LoadPicture.h"
#include "raster/Surface.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

std::string Cli() { return (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string(); }

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunCli(const TempDir& dir, const std::string& args) {
    const auto errFile = dir / "stderr.txt";
    Result r;
    r.status = RunCommand("cd " + Quote(dir.path()) + " && TEMP=" + Quote(dir.path()) + " " + Quote(Cli()) + " " +
                              args + " 2>" + Quote(errFile),
                          &r.out);
    if (std::filesystem::exists(errFile)) {
        const auto bytes = ReadBytes(errFile);
        r.err.assign(bytes.begin(), bytes.end());
    }
    return r;
}

void WritePicture(const fs::path& path, int width, int height, std::uint8_t level) {
    auto s = Surface::Create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s->SetPixel(x, y, Rgb(level, static_cast<std::uint8_t>(x), 0));
    SavePicture(*s, path.string());
}

TEST(Cli, HelpAndVersionAndWrongUsage) {
    TempDir dir;
    Result help = RunCli(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--avi"), std::string::npos);
    EXPECT_NE(help.out.find("--gif"), std::string::npos);
    EXPECT_NE(help.out.find("BMP, DIB, JPEG, PNG, GIF, ICO/CUR, WMF, EMF"), std::string::npos) << help.out;
    Result version = RunCli(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("crossmeld-cli"), std::string::npos);
    EXPECT_EQ(RunCli(dir, "").status, 2);                                  // no output named
    EXPECT_EQ(RunCli(dir, "--avi a.avi --gif b.gif").status, 2);            // both outputs
    EXPECT_EQ(RunCli(dir, "--frames 1 --avi a.avi").status, 2);             // fewer than two frames
    EXPECT_EQ(RunCli(dir, "--fps 0 --avi a.avi").status, 2);
    EXPECT_EQ(RunCli(dir, "--start a.bmp --avi a.avi").status, 2);          // start without end
    EXPECT_EQ(RunCli(dir, "--codec h264 --avi a.avi").status, 2);
    EXPECT_EQ(RunCli(dir, "--codec mjpeg --gif a.gif").status, 2);         // codec is for AVI output
    EXPECT_EQ(RunCli(dir, "--palette adaptive --avi a.avi").status, 2);     // palette is for GIF output
    EXPECT_EQ(RunCli(dir, "--dither bayer --gif a.gif").status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.gif"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a.avi"));
}

TEST(Cli, MakesTheAviWithTheCountRateAndSize) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    TempDir dir;
    WritePicture(dir / "a.bmp", 21, 13, 0);
    WritePicture(dir / "b.bmp", 21, 13, 200);
    Result r = RunCli(dir, "--start a.bmp --end b.bmp --frames 5 --fps 10 --avi fade.avi");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done.\n");
    std::string probe;
    ASSERT_EQ(RunCommand("/usr/bin/ffprobe -v error -count_frames -show_entries "
                         "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of compact=p=0:nk=1 " +
                             Quote(dir / "fade.avi"),
                         &probe),
              0);
    EXPECT_EQ(probe, "rawvideo|21|13|10/1|5\n");
    // The middle frame mixes 0 and 200 with weight 0.5: 100 in red.
    const auto raw = dir / "frames.rgb";
    ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(dir / "fade.avi") + " -f rawvideo -pix_fmt rgb24 " +
                         Quote(raw)),
              0);
    const auto bytes = ReadBytes(raw);
    ASSERT_EQ(bytes.size(), 5u * 21 * 13 * 3);
    const std::size_t frame2 = 2u * 21 * 13 * 3;
    EXPECT_EQ(bytes[frame2], 100);
    EXPECT_EQ(bytes[frame2 + 3 * 7 + 1], 7);  // green carries x
    // Nothing is left in the temporary folder but our own files.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind("crossmeld-", 0), std::string::npos) << e.path();
}

TEST(Cli, MotionJpegOutput) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    TempDir dir;
    WritePicture(dir / "a.bmp", 32, 16, 10);
    WritePicture(dir / "b.bmp", 32, 16, 90);
    ASSERT_EQ(RunCli(dir, "--start a.bmp --end b.bmp --frames 3 --avi m.avi --codec mjpeg").status, 0);
    std::string probe;
    RunCommand("/usr/bin/ffprobe -v error -show_entries stream=codec_name -of compact=p=0:nk=1 " + Quote(dir / "m.avi"),
               &probe);
    EXPECT_EQ(probe, "mjpeg\n");
}

TEST(Cli, RefusedInputsExitWithOneAndKeepAnExistingOutput) {
    TempDir dir;
    WritePicture(dir / "a.bmp", 20, 10, 0);
    WritePicture(dir / "b.bmp", 21, 10, 0);
    WriteBytes(dir / "keep.avi", {1, 2, 3});
    Result sizes = RunCli(dir, "--start a.bmp --end b.bmp --avi keep.avi");
    EXPECT_EQ(sizes.status, 1);
    EXPECT_NE(sizes.err.find("The two pictures are not of the same size."), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "keep.avi"), (std::vector<std::uint8_t>{1, 2, 3}));

    Result missing = RunCli(dir, "--start nothere.bmp --end b.bmp --avi x.avi");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("in Crossmeld2021/08/31.Form1.PushButton1_Click at line 116"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.avi"));

    Result folder = RunCli(dir, "--start a.bmp --end a.bmp --avi missing/x.avi");
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("There was an error writing the file."), std::string::npos);
}

TEST(Cli, MakesALoopingGifThatFfmpegAndImageMagickRead) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/identify");
    TempDir dir;
    // Levels of the 216-colour cube: the ordered dither keeps them exact.
    auto plain = [&](const fs::path& path, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        auto s = Surface::Create(24, 10, 24);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 24; ++x) s->SetPixel(x, y, Rgb(r, g, b));
        SavePicture(*s, path.string());
    };
    plain(dir / "a.bmp", 255, 0, 51);
    plain(dir / "b.bmp", 0, 102, 204);
    Result r = RunCli(dir, "--start a.bmp --end b.bmp --frames 6 --fps 5 --gif fade.gif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done.\n");

    std::string probe;
    ASSERT_EQ(RunCommand("/usr/bin/ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,"
                         "nb_read_frames -of compact=p=0:nk=1 " +
                             Quote(dir / "fade.gif"),
                         &probe),
              0);
    EXPECT_EQ(probe, "gif|24|10|6\n");
    const auto raw = dir / "frames.rgb";
    ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(dir / "fade.gif") +
                         " -vsync passthrough -f rawvideo -pix_fmt rgb24 " + Quote(raw)),
              0);
    const auto bytes = ReadBytes(raw);
    ASSERT_EQ(bytes.size(), 6u * 24 * 10 * 3);
    const std::size_t last = 5u * 24 * 10 * 3;
    EXPECT_EQ((std::vector<int>{bytes[0], bytes[1], bytes[2]}), (std::vector<int>{255, 0, 51}));
    EXPECT_EQ((std::vector<int>{bytes[last], bytes[last + 1], bytes[last + 2]}), (std::vector<int>{0, 102, 204}));

    // ImageMagick: every frame 20 hundredths (5 frames a second), endless loop.
    std::string delays;
    ASSERT_EQ(RunCommand("/usr/bin/identify -format '%T ' " + Quote(dir / "fade.gif"), &delays), 0);
    EXPECT_EQ(delays, "20 20 20 20 20 20 ");
    std::string verbose;
    RunCommand("/usr/bin/identify -verbose " + Quote((dir / "fade.gif").string() + "[0]") + " | grep -i iterations",
               &verbose);
    EXPECT_NE(verbose.find("Iterations: 0"), std::string::npos) << verbose;
}

TEST(Cli, GifPaletteAndDitherChoices) {
    TempDir dir;
    WritePicture(dir / "a.bmp", 16, 8, 30);
    WritePicture(dir / "b.bmp", 16, 8, 220);
    for (const char* choice : {"--palette adaptive --dither diffusion", "--palette halftone --dither none",
                               "--palette adaptive --dither ordered"}) {
        Result r = RunCli(dir, std::string("--start a.bmp --end b.bmp --frames 3 --gif c.gif --quiet ") + choice);
        EXPECT_EQ(r.status, 0) << choice << ": " << r.err;
        const auto bytes = ReadBytes(dir / "c.gif");
        ASSERT_GE(bytes.size(), 6u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
        std::filesystem::remove(dir / "c.gif");
    }
}

// A 4 x 2 screen, global table red / blue, a looping extension (3 loops),
// and two frames: a 2 x 1 frame at (1, 1), pixels 0 1, index 1 transparent,
// delay 7, disposal 2; then a 1 x 1 interlaced frame with a local table of
// two entries (green, white), pixel 0.
const std::vector<std::uint8_t> kTwoFrames{
    'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0x80, 1, 0, 255, 0, 0, 0, 0, 255,
    0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 3, 0, 0,
    0x21, 0xF9, 4, 0x09, 7, 0, 1, 0,
    0x2C, 1, 0, 1, 0, 2, 0, 1, 0, 0x00, 2, 2, 0x44, 0x0A, 0,
    0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0xC0, 0, 255, 0, 255, 255, 255, 2, 2, 0x44, 0x01, 0,
    ';'};

TEST(Cli, InspectDescribesTheGifDocument) {
    TempDir dir;
    WriteBytes(dir / "two.gif", kTwoFrames);
    Result r = RunCli(dir, "inspect two.gif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\n"
              "  \"version\": \"89a\",\n"
              "  \"screen\": {\"width\": 4, \"height\": 2},\n"
              "  \"background\": 1,\n"
              "  \"aspect\": 0,\n"
              "  \"loops\": 3,\n"
              "  \"globalPalette\": [\"#ff0000\", \"#0000ff\"],\n"
              "  \"frames\": [\n"
              "    {\"left\": 1, \"top\": 1, \"width\": 2, \"height\": 1, \"delay\": 7, \"disposal\": 2, "
              "\"userInput\": false, \"transparent\": 1, \"interlaced\": false, \"localPalette\": null},\n"
              "    {\"left\": 0, \"top\": 0, \"width\": 1, \"height\": 1, \"delay\": 0, \"disposal\": 0, "
              "\"userInput\": false, \"transparent\": null, \"interlaced\": true, \"localPalette\": "
              "[\"#00ff00\", \"#ffffff\"]}\n"
              "  ]\n"
              "}\n");

    // A GIF without a looping extension has no loop count.
    std::vector<std::uint8_t> once = kTwoFrames;
    once.erase(once.begin() + 19, once.begin() + 38);
    WriteBytes(dir / "once.gif", once);
    Result o = RunCli(dir, "inspect once.gif");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("\"loops\": null"), std::string::npos) << o.out;

    WriteBytes(dir / "not.gif", {'G', 'I', 'F', '9', '9', 'a', 0, 0});
    Result bad = RunCli(dir, "inspect not.gif");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("not a GIF file"), std::string::npos) << bad.err;
    EXPECT_EQ(RunCli(dir, "inspect nothere.gif").status, 1);
    EXPECT_EQ(RunCli(dir, "inspect").status, 2);
}

TEST(Cli, FramesWritesEachFrameByItselfOnBlack) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    TempDir dir;
    WriteBytes(dir / "two.gif", kTwoFrames);
    Result r = RunCli(dir, "frames two.gif --output out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "out/frame_0001.bmp\nout/frame_0002.bmp\n");
    auto first = DecodeWithPil(dir / "out" / "frame_0001.bmp");
    ASSERT_TRUE(first);
    ASSERT_EQ(first->width, 4);
    ASSERT_EQ(first->height, 2);
    auto rgb = [&](const RgbImage& image, int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
        return std::vector<int>{image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
    };
    EXPECT_EQ(rgb(*first, 0, 0), (std::vector<int>{0, 0, 0}));    // uncovered
    EXPECT_EQ(rgb(*first, 1, 1), (std::vector<int>{255, 0, 0}));  // index 0
    EXPECT_EQ(rgb(*first, 2, 1), (std::vector<int>{0, 0, 0}));    // transparent
    auto second = DecodeWithPil(dir / "out" / "frame_0002.bmp");
    ASSERT_TRUE(second);
    EXPECT_EQ(rgb(*second, 0, 0), (std::vector<int>{0, 255, 0}));  // its own table
    EXPECT_EQ(rgb(*second, 1, 1), (std::vector<int>{0, 0, 0}));   // no earlier frame shows through
    EXPECT_EQ(RunCli(dir, "frames nothere.gif --output out").status, 1);
}

TEST(Cli, WithoutPicturesTheSamplesAreUsed) {
    TempDir dir;
    Result r = RunCli(dir, "--frames 2 --avi s.avi --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Pictures must have the similar height and width dimensions"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "s.avi"));
}

TEST(Cli, ConvertSavesABitmap) {
    TempDir dir;
    Result r = RunCli(dir, "convert " + Quote(SourceDir() / "Samples" / "face1.jpg") + " face.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LoadPicture((dir / "face.bmp").string()).Width(), 320);
    EXPECT_EQ(RunCli(dir, "convert nothere.jpg x.bmp").status, 1);
}

TEST(Cli, DamagedJpegGivesOneWarningLineAndTheSameStatus) {
    TempDir dir;
    const auto whole = ReadBytes(SourceDir() / "Samples" / "face1.jpg");
    WriteBytes(dir / "whole.jpg", whole);
    WriteBytes(dir / "half.jpg", {whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)});
    Result intact = RunCli(dir, "--start whole.jpg --end whole.jpg --frames 2 --avi intact.avi --quiet");
    Result damaged = RunCli(dir, "--start half.jpg --end whole.jpg --frames 2 --avi damaged.avi --quiet");
    EXPECT_EQ(intact.status, 0) << intact.err;
    EXPECT_EQ(intact.err, "");
    EXPECT_EQ(damaged.status, intact.status);
    EXPECT_EQ(damaged.err, "warning: half.jpg: Premature end of JPEG file\n");
}

}  // namespace
