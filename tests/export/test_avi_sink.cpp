// The AVI output as users get it: the frames' information header, the
// frames, codec and rate that ffmpeg reads back, the codec question's
// answers, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <set>

#include "base/Error.h"
#include "export/AviSink.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

// Confirms a codec, or cancels when there is none; counts the questions.
struct ScriptedChooser final : avi::CodecChooser {
    std::optional<avi::Codec> answer;
    int asked = 0;
    bool ChooseCodec(avi::CodecChoice& choice) override {
        ++asked;
        if (!answer) return false;
        choice.codec = *answer;
        return true;
    }
};

// Frame k: blue grows across, green down, red with k; the unused fourth
// byte is noise that must not reach the file.
std::vector<std::uint8_t> Frame(int w, int h, int k) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 255 / (w - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (h - 1));
            p[2] = static_cast<std::uint8_t>(30 + 40 * k);
            p[3] = static_cast<std::uint8_t>(x * 31 + y * 17 + k);
        }
    return bytes;
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

bool Contains(const std::vector<std::uint8_t>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST(AviSinkFormat, InformationHeaderWorkedOutByHandAndAbsurdSizesRefused) {
    // 37 x 23: rows of 111 bytes padded to 112, 112 x 23 = 2576 = 0x0A10.
    EXPECT_EQ(AviSink::FrameFormat(37, 23),
              (std::vector<std::uint8_t>{40, 0, 0, 0, 37, 0, 0, 0, 23, 0, 0, 0, 1, 0, 24, 0, 0,    0, 0, 0,
                                         0x10, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // 21845 pixels make rows of 65535 bytes, padded to 65536: 65535 rows
    // give 0xFFFF0000 bytes, one more row 2^32, past the 32-bit field.
    const auto largest = AviSink::FrameFormat(21845, 65535);
    EXPECT_EQ(std::vector<std::uint8_t>(largest.begin() + 20, largest.begin() + 24),
              (std::vector<std::uint8_t>{0, 0, 0xFF, 0xFF}));
    EXPECT_THROW(AviSink::FrameFormat(21845, 65536), Error);
    for (auto [w, h] : {std::pair{0, 23}, {37, 0}, {-37, 23}, {37, -23}, {INT_MAX, 1}, {40000, 40000}})
        EXPECT_THROW(AviSink::FrameFormat(w, h), Error) << w << " x " << h;

    // Begin refuses them before it makes a file or asks for a codec.
    TempDir dir;
    ScriptedChooser chooser;
    chooser.answer = avi::Codec::FullFrames;
    AviSink sink(chooser);
    EXPECT_THROW(sink.Begin(dir / "huge.avi", OutputSettings{40000, 40000, 2, 5}), Error);
    EXPECT_EQ(chooser.asked, 0);
    EXPECT_TRUE(Names(dir.path()).empty());
}

struct CodecCase {
    const char* name;
    avi::Codec codec;
    std::int32_t fps;
    const char* probe;    // what ffprobe says of the stream
    const char* handler;  // the stream header's type and handler
    double meanError;     // largest mean channel error allowed
};

void PrintTo(const CodecCase& c, std::ostream* os) { *os << c.name; }

class AviSinkCodec : public ::testing::TestWithParam<CodecCase> {};

// An odd width, so that every stored row is padded.
TEST_P(AviSinkCodec, FfmpegReadsBackEveryFrameTheCodecAndTheRate) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    const CodecCase& c = GetParam();
    constexpr int w = 37, h = 23, n = 5;
    TempDir dir;
    ScriptedChooser chooser;
    chooser.answer = c.codec;
    AviSink sink(chooser);
    const fs::path out = dir / "fade.avi";
    ASSERT_TRUE(sink.Begin(out, OutputSettings{w, h, n, c.fps}));
    for (int k = 0; k < n; ++k) {
        const auto bytes = Frame(w, h, k);
        sink.Write(FrameView{w, h, bytes});
    }
    sink.Finish();
    EXPECT_EQ(chooser.asked, 1);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"fade.avi"});
    EXPECT_TRUE(Contains(ReadBytes(out), c.handler));

    std::string probe;
    ASSERT_EQ(RunCommand("/usr/bin/ffprobe -v error -count_frames -show_entries "
                         "stream=codec_name,codec_tag_string,width,height,r_frame_rate,nb_read_frames -of "
                         "compact=p=0 " +
                             Quote(out),
                         &probe),
              0);
    EXPECT_EQ(probe, c.probe);

    const auto decoded = DecodeFramesWithFfmpeg(out, "bgra", std::size_t{w} * h * 4);
    ASSERT_EQ(decoded.size(), std::size_t{n});
    for (int k = 0; k < n; ++k) {
        const auto given = Frame(w, h, k);
        long total = 0;
        int worst = 0;
        for (std::size_t i = 0; i < given.size(); ++i) {
            if (i % 4 == 3) continue;
            const int d = std::abs(int{decoded[k][i]} - int{given[i]});
            total += d;
            worst = std::max(worst, d);
        }
        const double mean = static_cast<double>(total) / (w * h * 3);
        if (c.meanError == 0) EXPECT_EQ(worst, 0) << "frame " << k;
        else EXPECT_LT(mean, c.meanError) << "frame " << k << ", largest error " << worst;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, AviSinkCodec,
    ::testing::Values(CodecCase{"FullFrames", avi::Codec::FullFrames, 7,
                                "codec_name=rawvideo|codec_tag_string=[0][0][0][0]|width=37|height=23|"
                                "r_frame_rate=7/1|nb_read_frames=5\n",
                                "vidsDIB ", 0},
                      CodecCase{"MotionJpeg", avi::Codec::MotionJpeg, 30,
                                "codec_name=mjpeg|codec_tag_string=MJPG|width=37|height=23|r_frame_rate=30/1|"
                                "nb_read_frames=5\n",
                                "vidsMJPG", 3.0}),
    [](const auto& info) { return std::string(info.param.name); });

struct AviSinkFailure : ::testing::Test {
    AviSinkFailure() { WriteBytes(old, {'o', 'l', 'd'}); }
    TempDir dir;
    fs::path old = dir / "fade.avi";
    ScriptedChooser chooser;
};

TEST_F(AviSinkFailure, ACancelledCodecQuestionStopsQuietlyAndLeavesNothing) {
    AviSink sink(chooser);
    EXPECT_FALSE(sink.Begin(old, OutputSettings{37, 23, 5, 7}));
    EXPECT_FALSE(sink.Begin(dir / "new.avi", OutputSettings{37, 23, 5, 7}));
    EXPECT_EQ(chooser.asked, 2);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"fade.avi"});
    EXPECT_EQ(ReadBytes(old), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(AviSinkFailure, AMissingFolderOrAFullDiskIsAFailedWriteThatKeepsTheOldFile) {
    chooser.answer = avi::Codec::FullFrames;
    AviSink sink(chooser);
    EXPECT_THROW(sink.Begin(dir / "missing" / "fade.avi", OutputSettings{37, 23, 5, 7}), OutputWriteFailed);

    // 64 x 64 frames are chunks of 8 + 12288 bytes after 4588 bytes of
    // headers: 30000 bytes stop the third frame; two frames and 4 bytes
    // more leave no room for the index that Finish writes.
    for (auto [limit, frames] : {std::pair<rlim_t, int>{30000, 5}, {4588 + 2 * 12296 + 4, 2}}) {
        bool failed = false;
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 64, frames, 5}));
        {
            FileSizeLimit lowered(limit);
            try {
                for (int k = 0; k < frames; ++k) {
                    const auto bytes = Frame(64, 64, k);
                    sink.Write(FrameView{64, 64, bytes});
                }
                sink.Finish();
            } catch (const OutputWriteFailed&) {
                failed = true;
                sink.Abort();
            }
        }
        EXPECT_TRUE(failed) << "limit " << limit;
        EXPECT_EQ(ReadBytes(old), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << "limit " << limit;
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"fade.avi"}) << "limit " << limit;
    }
}

}  // namespace
}  // namespace crossmeld::test
