// Files written by the AVI writer, read by ffprobe and ffmpeg: frame count,
// rate, size and codec as ffprobe reports them, and the decoded pixels of
// every frame against the frames we wrote (exact for full frames, at least
// 40 dB for Motion JPEG). Set CROSSMELD_LARGE_TESTS=1 to also write and read
// a file past 1 GiB.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/avi/AviLayout.h"
#include "formats/avi/Fourcc.h"
#include "support/AviFrames.h"
#include "support/AviWriting.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using namespace crossmeld::avi;

const char* const kFfprobe = "/usr/bin/ffprobe";
const char* const kFfmpeg = "/usr/bin/ffmpeg";

// Writes the frames as the fade's AVI output does; frameAt(k) gives frame
// k, so that frames may be made one at a time.
template <typename FrameAt>
AviWriteLog WriteAvi(const fs::path& path, const TestFrame& first, int count, std::uint32_t fps, Codec codec,
                     FrameAt frameAt) {
    return WriteAviFrames(path, first.info, static_cast<std::size_t>(count), fps, CodecChoice{codec, std::nullopt},
                          [&](std::size_t k) -> const std::vector<std::uint8_t>& {
                              return frameAt(static_cast<int>(k)).bits;
                          });
}

// ffprobe's view of the first video stream, decoding every frame to count.
std::map<std::string, std::string> Probe(const fs::path& file) {
    std::string out;
    const int rc = Run(std::string(kFfprobe) +
                           " -v error -count_frames -select_streams v:0 -show_entries "
                           "stream=codec_name,width,height,r_frame_rate,nb_read_frames,pix_fmt "
                           "-of default=noprint_wrappers=1 " +
                           Quote(file) + " 2>&1",
                       &out);
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        else
            fields["message"] += line;
    }
    if (rc != 0) fields["exit"] = std::to_string(rc);
    return fields;
}

// Every frame decoded by ffmpeg as raw pixels of the given format, one after
// the other, top row first.
std::string Decode(const fs::path& file, const std::string& pixelFormat, const std::string& filter = "") {
    std::string out;
    const int rc =
        Run(std::string(kFfmpeg) + " -v error -i " + Quote(file) + (filter.empty() ? "" : " -vf " + Quote(filter)) +
                " -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " - 2>/dev/null",
            &out);
    EXPECT_EQ(rc, 0) << "ffmpeg could not decode " << file;
    return out;
}

double Psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override {
        CROSSMELD_REQUIRE_PROGRAM(kFfprobe);
        CROSSMELD_REQUIRE_PROGRAM(kFfmpeg);
    }
    TempDir dir;
};

// ---- full frames ----------------------------------------------------------

struct RawCase {
    const char* name;
    int bits;
    int width;
    int height;  // negative: top-down frames
    std::uint32_t fps;
    const char* pixFmt;  // what ffprobe reports
    int colours = 256;
    bool zeroClrUsed = false;  // a full table announced by biClrUsed 0
};

class RawFrames : public Interop, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawFrames, FfmpegDecodesEveryFrameToOurPixels) {
    const RawCase& c = GetParam();
    const int count = 4;
    std::vector<TestFrame> frames;
    for (int k = 0; k < count; ++k) frames.push_back(MakeFrame(c.bits, c.width, c.height, k, c.colours, c.zeroClrUsed));
    const fs::path path = dir / "raw.avi";
    ASSERT_EQ(
        WriteAvi(path, frames[0], count, c.fps, Codec::FullFrames, [&](int k) -> const TestFrame& { return frames[k]; })
            .Result(),
        WriteResult::Ok);

    auto probe = Probe(path);
    EXPECT_EQ(probe["exit"], "") << probe["message"];
    EXPECT_EQ(probe["codec_name"], "rawvideo");
    EXPECT_EQ(probe["pix_fmt"], c.pixFmt);
    EXPECT_EQ(probe["width"], std::to_string(c.width));
    EXPECT_EQ(probe["height"], std::to_string(std::abs(c.height)));
    EXPECT_EQ(probe["r_frame_rate"], std::to_string(c.fps) + "/1");
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(count));

    const std::string decoded = Decode(path, frames[0].expectedFormat);
    const std::size_t frameBytes = frames[0].expected.size();
    ASSERT_EQ(decoded.size(), frameBytes * count);
    for (int k = 0; k < count; ++k) {
        const std::vector<std::uint8_t> got(decoded.begin() + k * frameBytes, decoded.begin() + (k + 1) * frameBytes);
        EXPECT_EQ(got, frames[k].expected) << "frame " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RawFrames,
                         ::testing::Values(RawCase{"bgr24_bottom_up_5fps", 24, 8, 6, 5, "bgr24"},
                                           RawCase{"bgr24_odd_width_10fps", 24, 7, 5, 10, "bgr24"},
                                           RawCase{"bgr24_top_down_odd_width_30fps", 24, 13, -9, 30, "bgr24"},
                                           RawCase{"bgr32_odd_width", 32, 9, 4, 10, "bgra"},
                                           RawCase{"bgr32_top_down", 32, 6, -5, 5, "bgra"},
                                           RawCase{"pal8_odd_width", 8, 5, 3, 10, "pal8", 256, true},
                                           RawCase{"pal8_16_colours_top_down", 8, 11, -7, 5, "pal8", 16},
                                           RawCase{"rgb555_odd_width", 16, 5, 4, 30, "rgb555le"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Motion JPEG ----------------------------------------------------------

// Smooth frames (gradients drifting from frame to frame), as a fade gives.
TestFrame SmoothFrame(int bits, int width, int height, int seed) {
    TestFrame f = MakeFrame(bits, width, height, 0);
    const int rows = std::abs(height);
    const int stride = (width * bits + 31) / 32 * 4;
    const int bytes = bits / 8;
    for (int y = 0; y < rows; ++y) {
        const int stored = height < 0 ? y : rows - 1 - y;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = f.bits.data() + stored * stride + x * bytes;
            std::uint8_t* e = f.expected.data() + (y * width + x) * 3;
            e[0] = p[0] = static_cast<std::uint8_t>(40 + (x * 150) / width + seed * 5);
            e[1] = p[1] = static_cast<std::uint8_t>(30 + (y * 180) / rows);
            e[2] = p[2] = static_cast<std::uint8_t>(200 - ((x + y) * 120) / (width + rows) - seed * 3);
        }
    }
    return f;
}

struct MjpegCase {
    const char* name;
    int bits;
    int width;
    int height;
    std::uint32_t fps;
};

class MotionJpeg : public Interop, public ::testing::WithParamInterface<MjpegCase> {};

TEST_P(MotionJpeg, FfmpegDecodesEveryFrameWithin40Db) {
    const MjpegCase& c = GetParam();
    const int count = 5;
    std::vector<TestFrame> frames;
    for (int k = 0; k < count; ++k) frames.push_back(SmoothFrame(c.bits, c.width, c.height, k));
    const fs::path path = dir / "mjpeg.avi";
    ASSERT_EQ(
        WriteAvi(path, frames[0], count, c.fps, Codec::MotionJpeg, [&](int k) -> const TestFrame& { return frames[k]; })
            .Result(),
        WriteResult::Ok);

    auto probe = Probe(path);
    EXPECT_EQ(probe["exit"], "") << probe["message"];
    EXPECT_EQ(probe["codec_name"], "mjpeg");
    EXPECT_EQ(probe["width"], std::to_string(c.width));
    EXPECT_EQ(probe["height"], std::to_string(std::abs(c.height)));
    EXPECT_EQ(probe["r_frame_rate"], std::to_string(c.fps) + "/1");
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(count));

    const std::string decoded = Decode(path, "bgr24");
    const std::size_t frameBytes = frames[0].expected.size();
    ASSERT_EQ(decoded.size(), frameBytes * count);
    for (int k = 0; k < count; ++k) {
        const double psnr = Psnr(reinterpret_cast<const std::uint8_t*>(decoded.data()) + k * frameBytes,
                                 frames[k].expected.data(), frameBytes);
        EXPECT_GE(psnr, 40.0) << "frame " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, MotionJpeg,
                         ::testing::Values(MjpegCase{"bgr24_64x48_30fps", 24, 64, 48, 30},
                                           MjpegCase{"bgr24_odd_size_5fps", 24, 33, 17, 5},
                                           MjpegCase{"bgr32_top_down_10fps", 32, 40, -24, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Interop, MotionJpegFromPalettedFrames) {
    // Every palette index maps to its table colour before compression.
    std::vector<TestFrame> frames{MakeFrame(8, 32, 16, 0, 4)};
    const fs::path path = dir / "pal.avi";
    ASSERT_EQ(
        WriteAvi(path, frames[0], 1, 5, Codec::MotionJpeg, [&](int) -> const TestFrame& { return frames[0]; }).Result(),
        WriteResult::Ok);
    const std::string decoded = Decode(path, "bgr24");
    ASSERT_EQ(decoded.size(), frames[0].expected.size());
    // Four colours changing from pixel to pixel: the hardest content for JPEG.
    EXPECT_GE(Psnr(reinterpret_cast<const std::uint8_t*>(decoded.data()), frames[0].expected.data(), decoded.size()),
              38.0);
}

// ---- OpenDML parts ------------------------------------------------------

// The same container code with a small part limit, so that ffmpeg has to
// follow the super index into many AVIX parts.
TEST_F(Interop, ManySmallOpenDmlPartsReadBack) {
    const fs::path path = dir / "odml.avi";
    const int count = 40;
    std::vector<TestFrame> frames;
    for (int k = 0; k < count; ++k) frames.push_back(MakeFrame(24, 16, 12, k));  // 576 bytes each
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        FileSink sink(fd);
        AviStreamLayout stream;
        stream.info.type = kStreamTypeVideo;
        stream.info.scale = 1;
        stream.info.rate = 10;
        stream.handler = kHandlerDib;
        stream.format = frames[0].info;
        stream.width = 16;
        stream.height = 12;
        stream.chunkId = MakeFourcc("00db");
        AviLayout layout(sink, stream, 4096 + 3 * 600);
        ASSERT_TRUE(layout.Begin());
        for (const TestFrame& f : frames) ASSERT_TRUE(layout.AddFrame(f.bits));
        ASSERT_TRUE(layout.Finish());
        EXPECT_GT(layout.RiffCount(), 5u);
        ::close(fd);
    }
    auto probe = Probe(path);
    EXPECT_EQ(probe["exit"], "") << probe["message"];
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(count));
    const std::string decoded = Decode(path, "bgr24");
    ASSERT_EQ(decoded.size(), frames[0].expected.size() * count);
    for (int k = 0; k < count; ++k) {
        const auto begin = decoded.begin() + k * frames[0].expected.size();
        EXPECT_EQ(std::vector<std::uint8_t>(begin, begin + frames[0].expected.size()), frames[k].expected)
            << "frame " << k;
    }
}

// A file just past 1 GiB: 175 full-HD 24-bit frames of 6,220,800 bytes. The
// first RIFF takes 172 of them; the rest go to an AVIX part.
TEST_F(Interop, FilePastOneGibibyteReadsBackCompletely) {
    const char* large = std::getenv("CROSSMELD_LARGE_TESTS");
    if (!large || std::string(large) != "1") GTEST_SKIP() << "set CROSSMELD_LARGE_TESTS=1 to write a 1.1 GB file";
    const int width = 1920, height = 1080, count = 175;
    TestFrame frame = MakeFrame(24, width, height, 0);
    const std::size_t stride = width * 3;
    // Each frame differs in its top row: frame k paints its first k + 1
    // pixels white.
    auto frameAt = [&](int k) -> const TestFrame& {
        std::uint8_t* top = frame.bits.data() + (height - 1) * stride;
        std::memset(top, 0, stride);
        std::memset(top, 0xFF, static_cast<std::size_t>(k + 1) * 3);
        return frame;
    };
    const fs::path path = dir / "large.avi";
    const AviWriteLog log = WriteAvi(path, frame, count, 25, Codec::FullFrames, frameAt);
    EXPECT_EQ(log.writes, std::vector<WriteResult>(count, WriteResult::Ok));
    ASSERT_EQ(log.Result(), WriteResult::Ok);
    EXPECT_GT(fs::file_size(path), std::uintmax_t{1} << 30);

    // Two RIFFs: 'AVI ' within 1 GiB, then 'AVIX' right after it.
    std::ifstream in(path, std::ios::binary);
    auto read = [&](std::uint64_t at, std::size_t n) {
        std::string b(n, '\0');
        in.seekg(static_cast<std::streamoff>(at));
        in.read(b.data(), static_cast<std::streamsize>(n));
        return b;
    };
    const std::string first = read(0, 12);
    ASSERT_EQ(first.substr(0, 4) + first.substr(8, 4), "RIFFAVI ");
    std::uint32_t firstSize = 0;
    std::memcpy(&firstSize, first.data() + 4, 4);  // little-endian host
    EXPECT_LE(firstSize + 8u, std::uint32_t{1} << 30);
    const std::string second = read(8 + firstSize, 12);
    EXPECT_EQ(second.substr(0, 4) + second.substr(8, 4), "RIFFAVIX");

    auto probe = Probe(path);
    EXPECT_EQ(probe["exit"], "") << probe["message"];
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(count));
    EXPECT_EQ(probe["width"], "1920");
    EXPECT_EQ(probe["height"], "1080");
    // The last frame (in the AVIX part) decodes to its own pixels.
    const std::string last = Decode(path, "bgr24", "select=eq(n\\,174)");
    frameAt(count - 1);
    ASSERT_EQ(last.size(), stride * height);
    EXPECT_EQ(std::memcmp(last.data(), frame.bits.data() + (height - 1) * stride, stride), 0) << "top row";
    EXPECT_EQ(std::memcmp(last.data() + (height - 1) * stride, frame.bits.data(), stride), 0) << "bottom row";
}

}  // namespace
}  // namespace crossmeld::test
