// The AVI output over frame files: the stream header, the rate clamp, the
// codec dialog's answers, the progress values and its messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "base/Error.h"
#include "export/AviExport.h"
#include "formats/LoadPicture.h"
#include "formats/avi/CodecChooser.h"
#include "raster/Surface.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

class TestHost final : public Host, public avi::CodecChooser {
public:
    MsgResult MessageBox(const std::string& text, MsgIcon, MsgButtons, const std::string& caption) override {
        messages.push_back(text);
        captions.push_back(caption);
        return MsgResult::OK;
    }
    void ShowOpen(FileDialogState&) override {}
    void DoEvents() override { ++events; }
    void SetMousePointer(MousePointer) override {}
    void SetFocus(FocusTarget) override {}
    void SetProgressMax(double v) override { progress.push_back("max " + std::to_string(static_cast<int>(v))); }
    void SetProgressValue(double v) override { progress.push_back(std::to_string(static_cast<int>(v))); }
    bool ChooseCodec(avi::CodecChoice& choice) override {
        ++dialogs;
        if (!confirm) return false;
        choice.codec = codec;
        return true;
    }

    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<std::string> progress;
    int events = 0;
    int dialogs = 0;
    bool confirm = true;
    avi::Codec codec = avi::Codec::FullFrames;
};

struct Fixture {
    TempDir temp;
    TestHost host;
    PictureBox SaveCanvas;
    std::int16_t count = 3;
    AviOutputContext context{host, host, SaveCanvas, [this] { return count; }, temp.path().string()};

    // Frame k: a 5 x 3 picture whose pixels carry k.
    void WriteFrames(int n, int width = 5, int height = 3) {
        for (int k = 0; k < n; ++k) {
            auto s = Surface::Create(width, height, 24);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    s->SetPixel(x, y, Rgb(static_cast<std::uint8_t>(10 * k), static_cast<std::uint8_t>(x * 40),
                                          static_cast<std::uint8_t>(y * 50)));
            SavePicture(*s, (temp.path() / ("Morph_" + std::to_string(k) + ".bmp")).string());
        }
    }

    void Run(const std::string& path, std::int16_t fps) { ExportAvi(context, path, fps); }
};

// A few fields read straight from the file: the stream header's scale and
// rate, the format's size and the main header's frame count.
struct AviFacts {
    std::uint32_t handler = 0;
    std::uint32_t rate = 0;
    std::uint32_t scale = 0;
    std::uint32_t frames = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::optional<AviFacts> ReadFacts(const std::filesystem::path& file) {
    if (!std::filesystem::exists(file)) return std::nullopt;
    const auto b = ReadBytes(file);
    auto find = [&](const char* tag) -> std::size_t {
        for (std::size_t i = 0; i + 4 <= b.size(); ++i)
            if (std::equal(tag, tag + 4, b.begin() + static_cast<long>(i))) return i;
        return std::string::npos;
    };
    AviFacts f;
    const std::size_t strh = find("strh");
    const std::size_t strf = find("strf");
    if (strh == std::string::npos || strf == std::string::npos) return std::nullopt;
    // strh payload: type, handler, flags, priority+language, initialFrames, scale, rate.
    f.handler = U32(b, strh + 8 + 4);
    f.scale = U32(b, strh + 8 + 20);
    f.rate = U32(b, strh + 8 + 24);
    f.width = static_cast<std::int32_t>(U32(b, strf + 8 + 4));
    f.height = static_cast<std::int32_t>(U32(b, strf + 8 + 8));
    // avih payload: dwMicroSecPerFrame, dwMaxBytesPerSec, dwPaddingGranularity, flags, dwTotalFrames.
    const std::size_t avih = find("avih");
    if (avih == std::string::npos) return std::nullopt;
    f.frames = U32(b, avih + 8 + 16);
    return f;
}

// The names of the files in a folder.
std::set<std::string> Leftovers(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

TEST(ExportAvi, WritesEveryFrameWithTheRateAndReportsProgress) {
    Fixture fx;
    fx.WriteFrames(3);
    const auto out = fx.temp / "fade.avi";
    fx.Run(out.string(), 5);
    EXPECT_TRUE(fx.host.messages.empty());
    const auto facts = ReadFacts(out);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->handler, 0x20424944u);  // 'DIB '
    EXPECT_EQ(facts->rate, 5u);
    EXPECT_EQ(facts->scale, 1u);
    EXPECT_EQ(facts->width, 5);
    EXPECT_EQ(facts->height, 3);
    EXPECT_EQ(fx.host.progress, (std::vector<std::string>{"max 2", "0", "0", "1", "2"}));
    EXPECT_EQ(fx.host.dialogs, 1);
    EXPECT_GE(fx.host.events, 3);  // pending events run once per frame
    EXPECT_FALSE(std::filesystem::exists(fx.temp / "temp.bmp"));
}

class RateClamp : public ::testing::TestWithParam<std::pair<int, std::uint32_t>> {};

TEST_P(RateClamp, RateIsLimitedToOneThroughThirty) {
    Fixture fx;
    fx.count = 2;
    fx.WriteFrames(2);
    const auto out = fx.temp / "r.avi";
    fx.Run(out.string(), static_cast<std::int16_t>(GetParam().first));
    const auto facts = ReadFacts(out);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->rate, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, RateClamp,
                         ::testing::Values(std::pair{0, 1u}, std::pair{-7, 1u}, std::pair{1, 1u}, std::pair{30, 30u},
                                           std::pair{31, 30u}, std::pair{32767, 30u}, std::pair{12, 12u}));

TEST(ExportAvi, CancellingTheCodecDialogIsSilentAndKeepsAnExistingFile) {
    Fixture fx;
    fx.WriteFrames(3);
    const auto out = fx.temp / "keep.avi";
    WriteBytes(out, {1, 2, 3, 4});
    fx.host.confirm = false;
    fx.Run(out.string(), 5);
    EXPECT_TRUE(fx.host.messages.empty());
    EXPECT_EQ(ReadBytes(out), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(ExportAvi, TheChosenCodecIsUsed) {
    Fixture fx;
    fx.WriteFrames(3);
    fx.host.codec = avi::Codec::MotionJpeg;
    const auto out = fx.temp / "mjpeg.avi";
    fx.Run(out.string(), 5);
    EXPECT_TRUE(fx.host.messages.empty());
    const auto facts = ReadFacts(out);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->handler, 0x47504A4Du);  // 'MJPG'
    EXPECT_EQ(facts->frames, 3u);
}

// Frames of 12,288 bytes against a limit of 30,000 bytes a file: the headers
// (4,620 bytes) and two frame chunks fit, the third frame does not. The
// output stops there with one message and the old file stays.
TEST(ExportAvi, AFullDiskEndsTheFileAtTheFailingFrame) {
    Fixture fx;
    fx.count = 5;
    fx.WriteFrames(5, 64, 64);
    const auto out = fx.temp / "full.avi";
    WriteBytes(out, {5, 5});
    {
        FileSizeLimit limit(30000);
        fx.Run(out.string(), 5);
    }
    EXPECT_EQ(fx.host.messages, (std::vector<std::string>{"There was an error writing the file."}));
    EXPECT_EQ(fx.host.progress, (std::vector<std::string>{"max 4", "0", "0", "1", "2"}));
    EXPECT_EQ(ReadBytes(out), (std::vector<std::uint8_t>{5, 5}));
    EXPECT_EQ(Leftovers(fx.temp.path()),
              (std::set<std::string>{"Morph_0.bmp", "Morph_1.bmp", "Morph_2.bmp", "Morph_3.bmp", "Morph_4.bmp",
                                     "full.avi"}));
}

TEST(ExportAvi, AFolderThatDoesNotExistGivesTheWriteError) {
    Fixture fx;
    fx.WriteFrames(2);
    fx.Run((fx.temp / "missing" / "x.avi").string(), 5);
    EXPECT_EQ(fx.host.messages, (std::vector<std::string>{"There was an error writing the file."}));
    EXPECT_EQ(fx.host.captions, (std::vector<std::string>{""}));  // the application's title
    EXPECT_EQ(fx.host.dialogs, 0);
}

TEST(ExportAvi, AMissingFirstFrameRaisesAfterRemovingTheUnfinishedFile) {
    Fixture fx;
    const auto out = fx.temp / "none.avi";
    WriteBytes(out, {9});
    try {
        ExportAvi(fx.context, out.string(), 5);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileNotFound);
    }
    EXPECT_EQ(ReadBytes(out), (std::vector<std::uint8_t>{9}));
    EXPECT_EQ(Leftovers(fx.temp.path()), (std::set<std::string>{"none.avi"}));
}

TEST(ExportAvi, AMissingLaterFrameLeavesAnExistingFileUntouched) {
    Fixture fx;
    fx.WriteFrames(2);
    fx.count = 3;  // frame 2 is missing
    const auto out = fx.temp / "old.avi";
    WriteBytes(out, {7, 7});
    EXPECT_THROW(fx.Run(out.string(), 5), Error);
    EXPECT_EQ(ReadBytes(out), (std::vector<std::uint8_t>{7, 7}));
    EXPECT_EQ(Leftovers(fx.temp.path()), (std::set<std::string>{"Morph_0.bmp", "Morph_1.bmp", "old.avi"}));
}

TEST(ExportAvi, ZeroImagesWriteNoFrameAndNoMessage) {
    Fixture fx;
    fx.WriteFrames(1);
    fx.count = 0;
    const auto out = fx.temp / "empty.avi";
    fx.Run(out.string(), 5);
    EXPECT_TRUE(fx.host.messages.empty());
    EXPECT_EQ(fx.host.progress, (std::vector<std::string>{"max -1", "0"}));
    const auto facts = ReadFacts(out);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->frames, 0u);
}

TEST(ExportAvi, FrameNumbersHaveNoLeadingZeros) {
    Fixture fx;
    fx.count = 11;
    fx.WriteFrames(11);
    const auto out = fx.temp / "eleven.avi";
    fx.Run(out.string(), 10);
    EXPECT_TRUE(fx.host.messages.empty());
    ASSERT_TRUE(ReadFacts(out));
    EXPECT_EQ(ReadFacts(out)->frames, 11u);
}

TEST(ExportAvi, FfmpegDecodesTheRawFramesToTheFramePixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    Fixture fx;
    fx.WriteFrames(3, 7, 5);  // odd width: rows are padded in the file
    const auto out = fx.temp / "decode.avi";
    fx.Run(out.string(), 5);
    const auto raw = fx.temp / "frames.rgb";
    ASSERT_EQ(crossmeld::test::Run("/usr/bin/ffmpeg -v error -i " + Quote(out) + " -f rawvideo -pix_fmt rgb24 " + Quote(raw)), 0);
    const auto bytes = ReadBytes(raw);
    ASSERT_EQ(bytes.size(), 3u * 7 * 5 * 3);
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const std::size_t at = ((static_cast<std::size_t>(k) * 5 + y) * 7 + x) * 3;
                ASSERT_EQ(bytes[at], 10 * k);
                ASSERT_EQ(bytes[at + 1], x * 40);
                ASSERT_EQ(bytes[at + 2], y * 50);
            }
}

}  // namespace
