// Reading AVI files back: files from our writer (full frames, Motion JPEG,
// OpenDML parts), files ffmpeg writes from known frames, small files built
// by hand, damaged files, and DrawDib's scaling. Expected pixels come from
// the frames the tests make (support/AviFrames.h) or are worked out by hand.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "formats/avi/AviFile.h"
#include "formats/avi/AviGetFrame.h"
#include "formats/avi/AviLayout.h"
#include "formats/avi/AviStreamRead.h"
#include "formats/avi/DrawDib.h"
#include "support/AviFrames.h"
#include "support/AviWriting.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using namespace crossmeld::avi;

const char* const kFfmpeg = "/usr/bin/ffmpeg";

// ---- writing test files -------------------------------------------------

StreamHeader VideoInfo(std::uint32_t scale, std::uint32_t rate) {
    StreamHeader info{};
    info.type = kStreamTypeVideo;
    info.scale = scale;
    info.rate = rate;
    return info;
}

// Through the writer, as the fade's AVI output makes them (Motion JPEG at
// quality 9500).
void WriteWithCalls(const fs::path& path, const std::vector<TestFrame>& frames, std::uint32_t fps, Codec codec) {
    ASSERT_EQ(WriteAviFrames(path, frames, fps, CodecChoice{codec, 9500u}).Result(), WriteResult::Ok);
}

// Through the container layout directly: any stream header, any chunk
// contents, and a small RIFF limit so that a few frames fill many parts.
std::vector<std::uint8_t> WriteWithLayout(const StreamHeader& info, const std::vector<std::uint8_t>& format,
                                          std::int32_t width, std::int32_t height,
                                          const std::vector<std::vector<std::uint8_t>>& chunks,
                                          std::uint64_t riffLimit = AviLayout::kRiffLimit,
                                          std::uint32_t handler = kHandlerDib, const char* chunkId = "00db") {
    TempDir dir;
    const fs::path path = dir / "layout.avi";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    FileSink sink(fd);
    AviStreamLayout stream{info, handler, format, width, height, MakeFourcc(chunkId[0], chunkId[1], chunkId[2], chunkId[3])};
    AviLayout layout(sink, stream, riffLimit);
    EXPECT_TRUE(layout.Begin());
    for (const auto& c : chunks) EXPECT_TRUE(layout.AddFrame(c));
    EXPECT_TRUE(layout.Finish());
    ::close(fd);
    return ReadBytes(path);
}

// ---- reading delivered frames -------------------------------------------

struct Dib {
    std::int32_t width = 0, height = 0;  // height as stored (negative: top-down)
    int bits = 0;
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> topDown;  // rows top first, padding removed
};

// Parses a packed DIB and checks that its size is exactly header + table + rows.
Dib ParseDib(std::span<const std::uint8_t> dib) {
    ByteReader in(dib);
    Dib d;
    EXPECT_EQ(in.u32le(), 40u);
    d.width = in.i32le();
    d.height = in.i32le();
    in.skip(2);
    d.bits = in.u16le();
    EXPECT_EQ(in.u32le(), 0u) << "compression";
    in.skip(12);
    const std::uint32_t colours = in.u32le();
    in.skip(4);
    d.table.assign(dib.begin() + 40, dib.begin() + 40 + colours * 4);
    const int rows = std::abs(d.height), stride = (d.width * d.bits + 31) / 32 * 4, used = d.width * d.bits / 8;
    EXPECT_EQ(dib.size(), 40 + d.table.size() + std::size_t(stride) * rows);
    for (int y = 0; y < rows; ++y) {
        const int stored = d.height < 0 ? y : rows - 1 - y;
        const auto row = dib.begin() + 40 + d.table.size() + std::size_t(stored) * stride;
        d.topDown.insert(d.topDown.end(), row, row + used);
    }
    return d;
}

// The pixels in the form of TestFrame::expected: BGR triples (palette
// resolved, fourth byte dropped), or the 16-bit words as stored.
std::vector<std::uint8_t> AsExpected(const Dib& d) {
    if (d.bits == 16 || d.bits == 24) return d.topDown;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < d.topDown.size(); i += d.bits / 8) {
        const std::uint8_t* p = d.bits == 8 ? &d.table[4 * d.topDown[i]] : &d.topDown[i];
        out.insert(out.end(), p, p + 3);
    }
    return out;
}

double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

// Every frame of a file as delivered (empty where one was not).
struct Opened {
    AviStatus status = 0;
    std::int32_t length = -1;
    StreamHeader info{};
    std::vector<std::vector<std::uint8_t>> frames;
};

Opened ReadAll(AviStreamHandle& stream, AviStatus status) {
    Opened o;
    o.status = status;
    if (status != 0) return o;
    o.length = AVIStreamLength(stream);
    EXPECT_EQ(AVIStreamInfo(stream, o.info, sizeof o.info), 0);
    GetFrameHandle frames = AVIStreamGetFrameOpen(stream, nullptr);
    if (frames) {
        for (std::int32_t k = 0; k < o.length; ++k) {
            const auto dib = AVIStreamGetFrame(frames, AVIStreamStart(stream) + k);
            o.frames.emplace_back(dib.begin(), dib.end());
        }
        EXPECT_EQ(AVIStreamGetFrameClose(frames), 0);
    }
    EXPECT_EQ(AVIStreamRelease(stream), 0);
    return o;
}

Opened ReadFile(const fs::path& path) {
    AviStreamHandle stream;
    const AviStatus status = AVIStreamOpenFromFile(stream, path.string(), kStreamTypeVideo, 0, OF_SHARE_EXCLUSIVE, nullptr);
    return ReadAll(stream, status);
}

Opened ReadBytesAvi(std::vector<std::uint8_t> bytes) {
    AviStreamHandle stream;
    const AviStatus status = AviStreamOpenFromBytes(stream, std::move(bytes), kStreamTypeVideo, 0);
    return ReadAll(stream, status);
}

// Smooth frames (as a fade gives) for the lossy codec: gradients that drift.
TestFrame SmoothFrame(int width, int height, int seed) {
    TestFrame f = MakeFrame(24, width, height, 0);
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = f.bits.data() + (height - 1 - y) * stride + 3 * x;
            std::uint8_t* e = f.expected.data() + (y * width + x) * 3;
            e[0] = p[0] = static_cast<std::uint8_t>(40 + x * 150 / width + seed * 5);
            e[1] = p[1] = static_cast<std::uint8_t>(30 + y * 180 / height);
            e[2] = p[2] = static_cast<std::uint8_t>(200 - (x + y) * 120 / (width + height) - seed * 3);
        }
    return f;
}

// ---- round trips with our writer -----------------------------------------

struct RawCase {
    const char* name;
    int bits, width, height;  // height < 0: top-down frames given to the writer
    std::uint32_t fps;
    int colours = 256;
};

class RawRoundTrip : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawRoundTrip, EveryFrameComesBackInItsOwnDepth) {
    const RawCase& c = GetParam();
    std::vector<TestFrame> frames;
    for (int k = 0; k < 4; ++k) frames.push_back(MakeFrame(c.bits, c.width, c.height, k, c.colours));
    TempDir dir;
    WriteWithCalls(dir / "raw.avi", frames, c.fps, Codec::FullFrames);
    const Opened o = ReadFile(dir / "raw.avi");
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.length, 4);
    EXPECT_EQ(o.info.type, kStreamTypeVideo);
    EXPECT_EQ(o.info.handler, kHandlerDib);
    EXPECT_EQ(o.info.scale, 1u);
    EXPECT_EQ(o.info.rate, c.fps);
    EXPECT_EQ(o.info.length, 4u);
    EXPECT_EQ(o.info.frameRect.right, c.width);
    EXPECT_EQ(o.info.frameRect.bottom, std::abs(c.height));
    EXPECT_STREQ(o.info.name, "") << "the writer names no stream";
    ASSERT_EQ(o.frames.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const Dib d = ParseDib(o.frames[k]);
        EXPECT_EQ(d.bits, c.bits);
        EXPECT_EQ(d.height, std::abs(c.height)) << "the writer stores bottom-up rows";
        EXPECT_EQ(AsExpected(d), frames[k].expected) << "frame " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, RawRoundTrip,
                         ::testing::Values(RawCase{"pal8_odd_width", 8, 5, 3, 10},
                                           RawCase{"pal8_16_colours_top_down", 8, 11, -7, 5, 16},
                                           RawCase{"rgb555", 16, 5, 4, 30}, RawCase{"bgr24", 24, 7, 5, 5},
                                           RawCase{"bgr24_top_down", 24, 13, -9, 1},
                                           RawCase{"bgr32", 32, 9, 4, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AviReader, TheStreamNameComesFromStrn) {
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    StreamHeader info = VideoInfo(1, 5);
    std::strcpy(info.name, "fade");
    const Opened o = ReadBytesAvi(WriteWithLayout(info, f.info, 3, 2, {f.bits}));
    ASSERT_EQ(o.status, 0);
    EXPECT_STREQ(o.info.name, "fade");
}

TEST(AviReader, MotionJpegFramesComeBackAs24BitBottomUpWithin40Db) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(SmoothFrame(33, 17, k));
    TempDir dir;
    WriteWithCalls(dir / "mjpg.avi", frames, 10, Codec::MotionJpeg);
    const Opened o = ReadFile(dir / "mjpg.avi");
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.info.handler, kHandlerMjpg);
    ASSERT_EQ(o.frames.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const Dib d = ParseDib(o.frames[k]);
        EXPECT_EQ(d.bits, 24);
        EXPECT_EQ(d.height, 17);
        EXPECT_GE(Psnr(d.topDown, frames[k].expected), 40.0) << "frame " << k;
    }
}

// Motion JPEG frames without Huffman tables rely on the standard ones; the
// writer's frames use exactly those, so dropping their DHT segments must
// change nothing.
std::vector<std::uint8_t> WithoutHuffmanTables(std::span<const std::uint8_t> jpeg) {
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);  // SOI
    ByteReader in(jpeg);
    in.skip(2);
    for (;;) {
        const std::uint16_t marker = in.u16be();
        if (marker == 0xFFDA) {  // start of scan: the rest is entropy-coded data
            out.push_back(0xFF), out.push_back(0xDA);
            auto rest = in.rest();
            out.insert(out.end(), rest.begin(), rest.end());
            return out;
        }
        const std::uint16_t length = in.u16be();
        const auto body = in.bytes(length - 2u);
        if (marker == 0xFFC4) continue;
        out.push_back(static_cast<std::uint8_t>(marker >> 8)), out.push_back(static_cast<std::uint8_t>(marker));
        out.push_back(static_cast<std::uint8_t>(length >> 8)), out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), body.begin(), body.end());
    }
}

TEST(AviReader, MotionJpegWithoutHuffmanTablesUsesTheStandardOnes) {
    std::vector<TestFrame> frames{SmoothFrame(24, 16, 0)};
    TempDir dir;
    WriteWithCalls(dir / "mjpg.avi", frames, 5, Codec::MotionJpeg);
    const auto file = ReadBytes(dir / "mjpg.avi");
    // The one frame chunk: its JPEG starts with SOI and ends with EOI.
    const std::uint8_t soi[] = {0xFF, 0xD8, 0xFF};
    const auto start = std::search(file.begin(), file.end(), soi, soi + 3);
    const std::uint8_t eoi[] = {0xFF, 0xD9};
    const auto end = std::search(start, file.end(), eoi, eoi + 2) + 2;
    const auto stripped = WithoutHuffmanTables(std::span(&*start, std::size_t(end - start)));
    ASSERT_LT(stripped.size() + 400, std::size_t(end - start)) << "four tables are about 420 bytes";

    const std::vector<std::uint8_t> format(file.begin() + 0xA4 + 8, file.begin() + 0xA4 + 48);  // strf payload
    const Opened original = ReadBytesAvi(file);
    const Opened bare = ReadBytesAvi(
        WriteWithLayout(VideoInfo(1, 5), format, 24, 16, {stripped}, AviLayout::kRiffLimit, kHandlerMjpg, "00dc"));
    ASSERT_EQ(bare.status, 0);
    ASSERT_EQ(bare.frames.size(), 1u);
    EXPECT_FALSE(bare.frames[0].empty());
    EXPECT_EQ(bare.frames[0], original.frames.at(0));
}

TEST(AviReader, OpenDmlPartsAreReadThroughTheirIndexes) {
    std::vector<TestFrame> frames;
    std::vector<std::vector<std::uint8_t>> chunks;
    for (int k = 0; k < 40; ++k) {
        frames.push_back(MakeFrame(24, 16, 12, k));  // 576 bytes each
        chunks.push_back(frames.back().bits);
    }
    const auto file = WriteWithLayout(VideoInfo(1, 10), frames[0].info, 16, 12, chunks, 4096 + 3 * 600);
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.status, 0);
    ASSERT_EQ(o.length, 40);
    for (int k = 0; k < 40; ++k) EXPECT_EQ(AsExpected(ParseDib(o.frames[k])), frames[k].expected) << "frame " << k;
}

// ---- frames ffmpeg writes ---------------------------------------------------

struct FfmpegCase {
    const char* name;
    const char* args;  // output options
    int width, height;
    bool alpha;     // feed bgra instead of bgr24
    double minPsnr; // 0: exact
};

class FfmpegFiles : public ::testing::TestWithParam<FfmpegCase> {};

TEST_P(FfmpegFiles, FramesMatchWhatWasEncoded) {
    CROSSMELD_REQUIRE_PROGRAM(kFfmpeg);
    const FfmpegCase& c = GetParam();
    TempDir dir;
    std::vector<std::vector<std::uint8_t>> input;  // top-down rows, no padding
    std::vector<std::uint8_t> stream;
    for (int k = 0; k < 3; ++k) {
        const TestFrame f = c.minPsnr > 0 ? SmoothFrame(c.width, c.height, k) : MakeFrame(24, c.width, c.height, k);
        input.push_back(f.expected);
        for (std::size_t i = 0; i < f.expected.size(); i += 3) {
            stream.insert(stream.end(), f.expected.begin() + i, f.expected.begin() + i + 3);
            if (c.alpha) stream.push_back(static_cast<std::uint8_t>(i));
        }
    }
    WriteBytes(dir / "in.raw", stream);
    const std::string command = std::string(kFfmpeg) + " -v error -y -f rawvideo -pix_fmt " + (c.alpha ? "bgra" : "bgr24") +
                                " -s " + std::to_string(c.width) + "x" + std::to_string(c.height) + " -r 5 -i " +
                                Quote(dir / "in.raw") + " " + c.args + " " + Quote(dir / "out.avi");
    ASSERT_EQ(RunCommand(command), 0) << command;

    const Opened o = ReadFile(dir / "out.avi");
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.length, 3);
    EXPECT_EQ(o.info.frameRect.right, c.width);
    EXPECT_EQ(o.info.frameRect.bottom, c.height);
    EXPECT_EQ(double(o.info.rate) / o.info.scale, 5.0);
    ASSERT_EQ(o.frames.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const Dib d = ParseDib(o.frames[k]);
        ASSERT_EQ(std::abs(d.height), c.height);
        if (c.minPsnr > 0) {
            EXPECT_GE(Psnr(d.topDown, input[k]), c.minPsnr) << "frame " << k;
            continue;
        }
        EXPECT_EQ(AsExpected(d), input[k]) << "frame " << k;
        if (c.alpha) {
            EXPECT_EQ(d.topDown[4 * 5 + 3], 3 * 5) << "the fourth byte passes through";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, FfmpegFiles,
                         ::testing::Values(FfmpegCase{"rawvideo_bgr24", "-c:v rawvideo -pix_fmt bgr24", 7, 5, false, 0},
                                           FfmpegCase{"rawvideo_bgra", "-c:v rawvideo -pix_fmt bgra", 6, 4, true, 0},
                                           FfmpegCase{"mjpeg", "-c:v mjpeg -q:v 1", 48, 32, false, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- counts and times -----------------------------------------------------

struct TimeCase {
    std::uint32_t scale, rate;
    int frames;
    std::int32_t sample, ms;
};

class SampleTimes : public ::testing::TestWithParam<TimeCase> {};

// Below 1000 samples a second times are rounded down, from there on up.
TEST_P(SampleTimes, MillisecondsOfASample) {
    const TimeCase& c = GetParam();
    const TestFrame f = MakeFrame(24, 2, 2, 0);
    const auto file = WriteWithLayout(VideoInfo(c.scale, c.rate), f.info, 2, 2,
                                      std::vector<std::vector<std::uint8_t>>(c.frames, f.bits));
    AviStreamHandle stream;
    ASSERT_EQ(AviStreamOpenFromBytes(stream, file, kStreamTypeVideo, 0), 0);
    EXPECT_EQ(AVIStreamStart(stream), 0);
    EXPECT_EQ(AVIStreamLength(stream), c.frames);
    EXPECT_EQ(AVIStreamSampleToTime(stream, c.sample), c.ms);
}

INSTANTIATE_TEST_SUITE_P(Rates, SampleTimes,
                         ::testing::Values(TimeCase{1, 5, 10, 10, 2000},     // 10 frames at 5 fps
                                           TimeCase{1, 30, 10, 10, 333},     // 333.3
                                           TimeCase{1, 30, 2, 2, 66},        // 66.7 rounded down
                                           TimeCase{1, 8, 3, 1, 125},
                                           TimeCase{1001, 30000, 5, 1, 33},  // 33.37
                                           TimeCase{1, 30, 2, 7, 66},        // past the end: the end
                                           TimeCase{1, 30, 2, -4, 0},        // before the start: the start
                                           TimeCase{1, 44100, 2, 1, 1},      // 0.0227 rounded up
                                           TimeCase{1, 1000, 3, 3, 3}));

TEST(AviReader, StreamInfoIsCopiedUpToTheGivenSize) {
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    AviStreamHandle stream;
    ASSERT_EQ(AviStreamOpenFromBytes(stream, WriteWithLayout(VideoInfo(1, 7), f.info, 3, 2, {f.bits}), 0, 0), 0);
    StreamHeader info;
    std::memset(static_cast<void*>(&info), 0xAB, sizeof info);
    EXPECT_EQ(AVIStreamInfo(stream, info, 20), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(info.type, kStreamTypeVideo);
    EXPECT_EQ(info.scale, 0xABABABABu) << "bytes past the size stay untouched";
    EXPECT_EQ(AVIStreamInfo(stream, info, -1), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamInfo(stream, info, 140), 0);
    EXPECT_EQ(info.rate, 7u);
    EXPECT_EQ(info.length, 1u);
}

TEST(AviReader, RefusalsAndNullHandles) {
    TempDir dir;
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    const auto file = WriteWithLayout(VideoInfo(1, 7), f.info, 3, 2, {f.bits});
    WriteBytes(dir / "ok.avi", file);
    WriteBytes(dir / "text.avi", std::vector<std::uint8_t>(100, 'x'));
    AviStreamHandle s;
    const std::string ok = (dir / "ok.avi").string();
    EXPECT_EQ(AVIStreamOpenFromFile(s, (dir / "missing.avi").string(), kStreamTypeVideo, 0, OF_READ, nullptr), AVIERR_FILEOPEN);
    EXPECT_EQ(AVIStreamOpenFromFile(s, dir.path().string(), kStreamTypeVideo, 0, OF_READ, nullptr), AVIERR_FILEOPEN);
    EXPECT_EQ(AVIStreamOpenFromFile(s, (dir / "text.avi").string(), kStreamTypeVideo, 0, OF_READ, nullptr), AVIERR_BADFORMAT);
    EXPECT_EQ(AVIStreamOpenFromFile(s, ok, kStreamTypeVideo, 0, OF_WRITE, nullptr), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamOpenFromFile(s, ok, kStreamTypeVideo, 1, OF_READ, nullptr), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamOpenFromFile(s, ok, MakeFourcc("auds"), 0, OF_READ, nullptr), AVIERR_NODATA);
    EXPECT_FALSE(s);
    EXPECT_EQ(AVIStreamLength(s), -1);
    EXPECT_EQ(AVIStreamSampleToTime(s, 0), -1);
    EXPECT_FALSE(AVIStreamGetFrameOpen(s, nullptr));
    EXPECT_EQ(AVIStreamRelease(s), AVIERR_BADHANDLE);

    ASSERT_EQ(AVIStreamOpenFromFile(s, ok, kStreamTypeVideo, 0, OF_READ | OF_SHARE_EXCLUSIVE, nullptr), 0);
    EXPECT_FALSE(AVIStreamGetFrameOpen(s, f.info.data())) << "only the stream's own format is delivered";
    GetFrameHandle frames = AVIStreamGetFrameOpen(s, nullptr);
    EXPECT_EQ(AVIStreamRelease(s), 0);
    EXPECT_FALSE(s);
    EXPECT_FALSE(AVIStreamGetFrame(frames, 0).empty()) << "the frame reader keeps the stream open";
    EXPECT_TRUE(AVIStreamGetFrame(frames, 1).empty());
    EXPECT_TRUE(AVIStreamGetFrame(frames, -1).empty());
    EXPECT_EQ(AVIStreamGetFrameClose(frames), 0);
    EXPECT_EQ(AVIStreamGetFrameClose(frames), AVIERR_BADHANDLE);
}

// ---- files other writers make -------------------------------------------------

std::vector<std::uint8_t> Chunk(const char* id, std::vector<std::uint8_t> payload) {
    std::vector<std::uint8_t> out(id, id + 4);
    Put32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2) out.push_back(0);
    return out;
}

std::vector<std::uint8_t> List(const char* form, const char* type, std::vector<std::vector<std::uint8_t>> parts,
                               bool zeroSize = false) {
    std::vector<std::uint8_t> content(type, type + 4);
    for (const auto& p : parts) content.insert(content.end(), p.begin(), p.end());
    auto out = Chunk(form, content);
    if (zeroSize) std::fill_n(out.begin() + 4, 4, 0);  // never filled in
    return out;
}

// A 2 x 1 24-bit stream written by hand: frame 0 inside a 'rec ' group with
// rows left unpadded (6 bytes), frame 1 empty (it repeats frame 0), frame 2
// padded, no index, and sizes of 0 where a writer never filled them in.
TEST(AviReader, HandMadeFileWithoutIndex) {
    std::vector<std::uint8_t> strh;
    for (std::uint32_t v : {MakeFourcc("vids"), 0u, 0u, 0u, 0u, 1u /*scale*/, 25u /*rate*/, 0u, 3u /*length*/,
                            0u, 0u, 0u})
        Put32(strh, v);
    Put32(strh, 0), Put32(strh, 0);  // frameRect empty: the format's size is used
    std::vector<std::uint8_t> strf;
    for (std::uint32_t v : {40u, 2u /*width*/, 1u /*height*/}) Put32(strf, v);
    Put16(strf, 1), Put16(strf, 24);
    for (int i = 0; i < 6; ++i) Put32(strf, 0);
    const auto file = List("RIFF", "AVI ",
                           {List("LIST", "hdrl", {Chunk("avih", std::vector<std::uint8_t>(56)),
                                                  List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", strf)})}),
                            List("LIST", "movi",
                                 {List("LIST", "rec ", {Chunk("00dc", {1, 2, 3, 4, 5, 6})}), Chunk("01wb", {9, 9}),
                                  Chunk("00dc", {}), Chunk("00db", {7, 8, 9, 10, 11, 12, 0xEE, 0xEE})},
                                 true)},
                           true);
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.length, 3);
    EXPECT_EQ(o.info.frameRect.right, 2);
    EXPECT_EQ(o.info.frameRect.bottom, 1);
    ASSERT_EQ(o.frames.size(), 3u);
    EXPECT_EQ(ParseDib(o.frames[0]).topDown, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(o.frames[1], o.frames[0]);
    EXPECT_EQ(ParseDib(o.frames[2]).topDown, (std::vector<std::uint8_t>{7, 8, 9, 10, 11, 12}));
}

// ---- damaged files -------------------------------------------------------

// Whatever opens must deliver well-formed frames or none, and draw.
void ExpectSafe(const std::vector<std::uint8_t>& bytes) {
    const Opened o = ReadBytesAvi(bytes);
    auto target = std::make_shared<DeviceContext>(Surface::Create(8, 8, 32));
    HDRAWDIB hdd = DrawDibOpen();
    for (const auto& f : o.frames) {
        if (f.empty()) continue;
        ParseDib(f);
        EXPECT_TRUE(DrawDibDraw(hdd, *target, 0, 0, 8, 8, f, {}, 0, 0, -1, -1, 0));
    }
}

TEST(AviReader, TruncatedFilesKeepTheirCompleteFrames) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(MakeFrame(24, 5, 3, k));  // 48 bytes a frame
    TempDir dir;
    WriteWithCalls(dir / "raw.avi", frames, 5, Codec::FullFrames);
    const auto file = ReadBytes(dir / "raw.avi");
    const std::size_t idx1 = file.size() - 8 - 3 * 16, firstChunk = idx1 - 3 * 56;
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const std::vector<std::uint8_t> part(file.begin(), file.begin() + cut);
        ExpectSafe(part);
        if (cut <= firstChunk) continue;
        const Opened o = ReadBytesAvi(part);
        ASSERT_EQ(o.status, 0) << "cut at " << cut;
        const std::size_t whole = std::min<std::size_t>(3, (cut - firstChunk) / 56);
        ASSERT_GE(o.frames.size(), whole) << "cut at " << cut;
        for (std::size_t k = 0; k < whole; ++k)
            EXPECT_EQ(AsExpected(ParseDib(o.frames[k])), frames[k].expected) << "cut at " << cut;
    }
}

// idx1 offsets count from the 'movi' code, or from the file's start in some
// files; an idx1 that fits neither is passed over for a walk of the chunks.
TEST(AviReader, Idx1OffsetsFromEitherBaseOrNone) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(MakeFrame(32, 3, 3, k));  // 36 bytes a frame
    TempDir dir;
    WriteWithCalls(dir / "raw.avi", frames, 5, Codec::FullFrames);
    const auto file = ReadBytes(dir / "raw.avi");
    const std::size_t entries = file.size() - 3 * 16, moviCode = entries - 8 - 3 * 44 - 4;
    for (const std::uint32_t shift : {std::uint32_t(moviCode), 0xFFFFF000u}) {
        auto patched = file;
        for (std::size_t e = entries + 8; e < file.size(); e += 16) {
            std::uint32_t offset = 0;
            std::memcpy(&offset, &patched[e], 4);  // little-endian host
            offset += shift;
            std::memcpy(&patched[e], &offset, 4);
        }
        const Opened o = ReadBytesAvi(patched);
        ASSERT_EQ(o.frames.size(), 3u);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(AsExpected(ParseDib(o.frames[k])), frames[k].expected);
    }
}

void PatchU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t Find(const std::vector<std::uint8_t>& bytes, const char* code, std::size_t from = 0) {
    const auto at = std::search(bytes.begin() + std::ptrdiff_t(from), bytes.end(), code, code + std::strlen(code));
    EXPECT_NE(at, bytes.end()) << code;
    return std::size_t(at - bytes.begin());
}

// An index that names one chunk for two frames is not used: the frames are
// those the movie list holds, each once.
TEST(AviReader, Idx1NamingAChunkTwiceIsPassedOver) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(MakeFrame(32, 3, 3, k));  // 36 bytes a frame
    TempDir dir;
    WriteWithCalls(dir / "raw.avi", frames, 5, Codec::FullFrames);
    auto file = ReadBytes(dir / "raw.avi");
    const std::size_t entries = file.size() - 3 * 16;
    ASSERT_EQ(Find(file, "idx1", entries - 8), entries - 8);
    std::uint32_t second = 0;
    std::memcpy(&second, &file[entries + 16 + 8], 4);
    PatchU32(file, entries + 2 * 16 + 8, second);  // frame 2 -> frame 1's chunk
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.frames.size(), 3u);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(AsExpected(ParseDib(o.frames[k])), frames[k].expected) << "frame " << k;
}

TEST(AviReader, SuperIndexNamingAStandardIndexTwiceIsPassedOver) {
    std::vector<TestFrame> frames;
    std::vector<std::vector<std::uint8_t>> chunks;
    for (int k = 0; k < 12; ++k) {
        frames.push_back(MakeFrame(24, 16, 12, k));  // 576 bytes each
        chunks.push_back(frames.back().bits);
    }
    auto file = WriteWithLayout(VideoInfo(1, 10), frames[0].info, 16, 12, chunks, 4096 + 3 * 600);
    const std::size_t indx = Find(file, "indx") + 8;
    std::uint32_t parts = 0;
    std::memcpy(&parts, &file[indx + 4], 4);
    ASSERT_GE(parts, 3u);
    // The second super-index entry points at the first one's standard index.
    std::memcpy(&file[indx + 24 + 16], &file[indx + 24], 8);
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.status, 0);
    ASSERT_GE(o.length, 1);
    ASSERT_LE(o.length, 12);
    for (int k = 0; k < o.length; ++k)
        EXPECT_EQ(AsExpected(ParseDib(o.frames[k])), frames[k].expected) << "frame " << k;
}

// A Motion JPEG frame of a few hundred bytes whose headers claim 8000 x
// 8000 pixels is not decoded (it would fill 192 MB with grey).
TEST(AviReader, MotionJpegClaimingFarMorePixelsThanItsDataIsRefused) {
    std::vector<TestFrame> frames{SmoothFrame(24, 16, 0)};
    TempDir dir;
    WriteWithCalls(dir / "mjpg.avi", frames, 5, Codec::MotionJpeg);
    auto file = ReadBytes(dir / "mjpg.avi");
    ASSERT_FALSE(ReadBytesAvi(file).frames.at(0).empty());
    const std::size_t strf = Find(file, "strf") + 8;
    PatchU32(file, strf + 4, 8000);
    PatchU32(file, strf + 8, 8000);
    const std::uint8_t sof0[] = {0xFF, 0xC0};
    const std::size_t sof = std::size_t(std::search(file.begin(), file.end(), sof0, sof0 + 2) - file.begin());
    for (std::size_t at : {sof + 5, sof + 7}) file[at] = 8000 >> 8, file[at + 1] = 8000 & 0xFF;
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.status, 0);
    ASSERT_EQ(o.frames.size(), 1u);
    EXPECT_TRUE(o.frames[0].empty());
}

TEST(AviReader, RandomByteFlipsNeverCrash) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(SmoothFrame(16, 8, k));
    TempDir dir;
    WriteWithCalls(dir / "mjpg.avi", frames, 5, Codec::MotionJpeg);
    std::vector<std::vector<std::uint8_t>> chunks(12, frames[0].bits);
    const std::vector<std::vector<std::uint8_t>> files{
        ReadBytes(dir / "mjpg.avi"), WriteWithLayout(VideoInfo(1, 5), frames[0].info, 16, 8, chunks, 4096 + 2 * 400)};
    std::mt19937 random(1234);
    for (const auto& file : files) {
        for (int round = 0; round < 300; ++round) {
            auto damaged = file;
            for (int flips = 1 + round % 4; flips > 0; --flips)
                damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
            ExpectSafe(damaged);
        }
    }
}

// ---- DrawDib --------------------------------------------------------------

// A 3 x 2 DIB whose pixel (x, y) has the colour with red 10 x + 1 and green
// 10 y + 1, so every drawn pixel tells which source pixel it came from.
std::vector<std::uint8_t> SourceDib(int bits, bool topDown) {
    std::vector<std::uint8_t> dib;
    for (std::uint32_t v : {40u, 3u, topDown ? std::uint32_t(-2) : 2u}) Put32(dib, v);
    Put16(dib, 1), Put16(dib, static_cast<std::uint32_t>(bits));
    for (std::uint32_t v : {0u, 0u, 0u, 0u, bits == 8 ? 6u : 0u, 0u}) Put32(dib, v);
    if (bits == 8)
        for (int i = 0; i < 6; ++i) Put32(dib, (i % 3 * 10 + 1) << 16 | (i / 3 * 10 + 1) << 8);
    for (int row = 0; row < 2; ++row) {
        const int y = topDown ? row : 1 - row;
        std::vector<std::uint8_t> line;
        for (int x = 0; x < 3; ++x) {
            if (bits == 8) line.push_back(static_cast<std::uint8_t>(y * 3 + x));
            if (bits >= 24) line.insert(line.end(), {0, std::uint8_t(10 * y + 1), std::uint8_t(10 * x + 1)});
            if (bits == 32) line.push_back(0);
        }
        line.resize((line.size() + 3) / 4 * 4, 0);
        dib.insert(dib.end(), line.begin(), line.end());
    }
    return dib;
}

struct DrawCase {
    const char* name;
    int bits;
    bool topDown;
    std::int32_t w, h, sx, sy, sw, sh;
    const char* expected;  // per target row: "xy" source pixel per target pixel, '.' untouched
};

class DrawDibScaling : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawDibScaling, NearestSourcePixels) {
    const DrawCase& c = GetParam();
    auto target = std::make_shared<DeviceContext>(Surface::Create(6, 4, 32));
    target->FillRect({0, 0, 6, 4}, Rgb(200, 200, 200));
    HDRAWDIB hdd = DrawDibOpen();
    ASSERT_TRUE(hdd);
    ASSERT_TRUE(DrawDibDraw(hdd, *target, 0, 0, c.w, c.h, SourceDib(c.bits, c.topDown), {}, c.sx, c.sy, c.sw, c.sh, 0));
    std::string got;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const ColorRef p = target->surface()->GetPixel(x, y);
            got += RedOf(p) == 200 ? std::string("..") : std::to_string(RedOf(p) / 10) + std::to_string(GreenOf(p) / 10);
        }
        got += y < 3 ? "|" : "";
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_TRUE(DrawDibClose(hdd));
    EXPECT_FALSE(DrawDibClose(hdd));
}

// Target column i takes source column floor(i x sw / w), likewise rows.
INSTANTIATE_TEST_SUITE_P(
    Vectors, DrawDibScaling,
    ::testing::Values(
        DrawCase{"same_size_24", 24, false, -1, -1, 0, 0, -1, -1, "001020......|011121......|............|............"},
        DrawCase{"doubled_32_top_down", 32, true, 6, 4, 0, 0, -1, -1,
                 "000010102020|000010102020|010111112121|010111112121"},
        DrawCase{"five_by_three_8", 8, false, 5, 3, 0, 0, -1, -1,
                 "0000101020..|0000101020..|0101111121..|............"},
        DrawCase{"shrunk_24", 24, true, 2, 1, 0, 0, 3, 2, "0010........|............|............|............"},
        DrawCase{"part_of_source", 24, false, 4, 2, 1, 1, 2, 1,
                 "11112121....|11112121....|............|............"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawDib, RefusesWhatItCannotDraw) {
    HDRAWDIB hdd = DrawDibOpen();
    DeviceContext empty;
    DeviceContext target(Surface::Create(4, 4, 32));
    const auto dib = SourceDib(24, false);
    EXPECT_FALSE(DrawDibDraw(HDRAWDIB{}, target, 0, 0, 4, 4, dib, {}, 0, 0, -1, -1, 0));
    EXPECT_FALSE(DrawDibDraw(hdd, empty, 0, 0, 4, 4, dib, {}, 0, 0, -1, -1, 0));
    EXPECT_FALSE(DrawDibDraw(hdd, target, 0, 0, 4, 4, std::span(dib).first(dib.size() - 1), {}, 0, 0, -1, -1, 0));
    auto bitfields = dib;
    bitfields[16] = 3;
    EXPECT_FALSE(DrawDibDraw(hdd, target, 0, 0, 4, 4, bitfields, {}, 0, 0, -1, -1, 0));
    // Pixels held apart from the header.
    const std::span<const std::uint8_t> header(dib.data(), 40), bits(dib.data() + 40, dib.size() - 40);
    EXPECT_TRUE(DrawDibDraw(hdd, target, 0, 0, 3, 2, header, bits, 0, 0, -1, -1, 0));
    EXPECT_EQ(target.surface()->GetPixel(2, 1), Rgb(21, 11, 0));
}

}  // namespace
}  // namespace crossmeld::test
