// Reading AVI files back: files from our writer (full frames, Motion JPEG,
// OpenDML parts), files ffmpeg writes from known frames, small files built
// by hand, and damaged files. Expected pixels come from the frames the tests
// make (support/AviFrames.h) or are worked out by hand.

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
#include "formats/avi/AviFrameReader.h"
#include "formats/avi/Fourcc.h"
#include "formats/avi/AviLayout.h"
#include "formats/avi/AviReader.h"
#include "formats/bmp/DrawPackedDib.h"
#include "support/AviFrames.h"
#include "support/AviWriting.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using namespace crossmeld::avi;

const char* const kFfmpeg = "/usr/bin/ffmpeg";

// ---- writing test files -------------------------------------------------

StreamHeader VideoInfo(std::uint32_t scale, std::uint32_t rate, std::uint32_t start = 0) {
    StreamHeader info{};
    info.type = kStreamTypeVideo;
    info.scale = scale;
    info.rate = rate;
    info.start = start;
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

void PatchU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t Find(const std::vector<std::uint8_t>& bytes, const char* code, std::size_t from = 0) {
    const auto at = std::search(bytes.begin() + std::ptrdiff_t(from), bytes.end(), code, code + std::strlen(code));
    EXPECT_NE(at, bytes.end()) << code;
    return std::size_t(at - bytes.begin());
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
    OpenResult result = OpenResult::CannotOpen;
    std::int32_t length = -1;
    StreamHeader info{};
    std::vector<std::vector<std::uint8_t>> frames;
};

Opened ReadAll(const Reader::Opened& opened) {
    Opened o;
    o.result = opened.result;
    if (opened.result != OpenResult::Ok) return o;
    o.length = opened.reader->FrameCount();
    o.info = opened.reader->Header();
    if (const auto frames = FrameReader::Create(opened.reader)) {
        for (std::int32_t k = 0; k < o.length; ++k) {
            const auto dib = frames->Frame(opened.reader->Start() + k);
            o.frames.emplace_back(dib.begin(), dib.end());
        }
    }
    return o;
}

Opened ReadFile(const fs::path& path) { return ReadAll(Reader::OpenFile(path.string())); }

Opened ReadBytesAvi(std::vector<std::uint8_t> bytes) { return ReadAll(Reader::OpenBytes(std::move(bytes))); }

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
    ASSERT_EQ(o.result, OpenResult::Ok);
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
    ASSERT_EQ(o.result, OpenResult::Ok);
    EXPECT_STREQ(o.info.name, "fade");
}

TEST(AviReader, MotionJpegFramesComeBackAs24BitBottomUpWithin40Db) {
    std::vector<TestFrame> frames;
    for (int k = 0; k < 3; ++k) frames.push_back(SmoothFrame(33, 17, k));
    TempDir dir;
    WriteWithCalls(dir / "mjpg.avi", frames, 10, Codec::MotionJpeg);
    const Opened o = ReadFile(dir / "mjpg.avi");
    ASSERT_EQ(o.result, OpenResult::Ok);
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
    ASSERT_EQ(bare.result, OpenResult::Ok);
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
    ASSERT_EQ(o.result, OpenResult::Ok);
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
    ASSERT_EQ(o.result, OpenResult::Ok);
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
    std::uint32_t start = 0;
};

class SampleTimes : public ::testing::TestWithParam<TimeCase> {};

// Below 1000 samples a second times are rounded down, from there on up;
// samples are limited to start ... start + frames first.
TEST_P(SampleTimes, MillisecondsOfASample) {
    const TimeCase& c = GetParam();
    const TestFrame f = MakeFrame(24, 2, 2, 0);
    const auto opened = Reader::OpenBytes(WriteWithLayout(VideoInfo(c.scale, c.rate, c.start), f.info, 2, 2,
                                                          std::vector<std::vector<std::uint8_t>>(c.frames, f.bits)));
    ASSERT_EQ(opened.result, OpenResult::Ok);
    EXPECT_EQ(opened.reader->Start(), std::int32_t(c.start));
    EXPECT_EQ(opened.reader->FrameCount(), c.frames);
    EXPECT_EQ(opened.reader->SampleTimeMs(c.sample), c.ms);
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
                                           TimeCase{1, 1000, 3, 3, 3},
                                           TimeCase{1001, 1000000, 5, 1, 1},  // 999 a second: 1.001 down
                                           TimeCase{1, 5, 3, 0, 400, 2},      // before start 2: 2 / 5 s
                                           TimeCase{1, 5, 3, 9, 1000, 2},     // past start + 3: 5 / 5 s
                                           TimeCase{1, 1, 2, 3000000, 2147483647, 2999999},  // 3e9 ms: the largest
                                           TimeCase{1, 0, 2, 1, -1}));        // no rate

// The header as the file has it, except for the length: the frames found.
TEST(AviReader, HeaderIsTheFilesWithTheFramesFound) {
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    auto file = WriteWithLayout(VideoInfo(1, 7, 4), f.info, 3, 2, {f.bits, f.bits});
    const std::size_t strh = Find(file, "strh") + 8;
    PatchU32(file, strh + 32, 99);  // dwLength
    const auto opened = Reader::OpenBytes(file);
    ASSERT_EQ(opened.result, OpenResult::Ok);
    const StreamHeader& h = opened.reader->Header();
    EXPECT_EQ(h.type, kStreamTypeVideo);
    EXPECT_EQ(h.handler, kHandlerDib);
    EXPECT_EQ(h.scale, 1u);
    EXPECT_EQ(h.rate, 7u);
    EXPECT_EQ(h.start, 4u);
    EXPECT_EQ(h.length, 2u);
    EXPECT_EQ(h.frameRect.right, 3);
    EXPECT_EQ(h.frameRect.bottom, 2);
    EXPECT_EQ(opened.reader->FrameCount(), 2);
    EXPECT_EQ(opened.reader->Start(), 4);
    EXPECT_EQ(opened.reader->SampleTimeMs(6), 857) << "6 / 7 s";

    // A start past 31 bits is given as the largest 32-bit number.
    PatchU32(file, strh + 28, 0x80000005u);
    EXPECT_EQ(Reader::OpenBytes(file).reader->Start(), 2147483647);
}

TEST(AviReader, OpenResultsTellTheFailuresApart) {
    TempDir dir;
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    const auto file = WriteWithLayout(VideoInfo(1, 7), f.info, 3, 2, {f.bits});
    auto audio = file;
    std::memcpy(&audio[Find(audio, "vids")], "auds", 4);
    WriteBytes(dir / "ok.avi", file);
    WriteBytes(dir / "text.avi", std::vector<std::uint8_t>(100, 'x'));
    WriteBytes(dir / "audio.avi", audio);

    const auto Result = [](const Reader::Opened& opened) {
        EXPECT_EQ(opened.reader != nullptr, opened.result == OpenResult::Ok);
        return opened.result;
    };
    EXPECT_EQ(Result(Reader::OpenFile((dir / "ok.avi").string())), OpenResult::Ok);
    EXPECT_EQ(Result(Reader::OpenFile((dir / "missing.avi").string())), OpenResult::CannotOpen);
    EXPECT_EQ(Result(Reader::OpenFile(dir.path().string())), OpenResult::CannotOpen) << "a folder";
    EXPECT_EQ(Result(Reader::OpenFile((dir / "text.avi").string())), OpenResult::NotAvi);
    EXPECT_EQ(Result(Reader::OpenFile((dir / "audio.avi").string())), OpenResult::NoVideoStream);
    EXPECT_EQ(Result(Reader::OpenBytes({})), OpenResult::NotAvi);
    EXPECT_EQ(Result(Reader::OpenBytes(std::vector<std::uint8_t>(file.begin(), file.begin() + 100))),
              OpenResult::NotAvi)
        << "headers cut short";
    EXPECT_EQ(Result(Reader::OpenBytes(audio)), OpenResult::NoVideoStream);
}

// Frames are addressed by sample position, from the stream's start on; the
// frame reader keeps the stream open by itself.
TEST(FrameReader, PositionsCountFromTheStreamsStart) {
    const std::vector<TestFrame> f{MakeFrame(24, 3, 2, 0), MakeFrame(24, 3, 2, 1)};
    auto opened = Reader::OpenBytes(WriteWithLayout(VideoInfo(1, 7, 3), f[0].info, 3, 2, {f[0].bits, f[1].bits}));
    ASSERT_EQ(opened.result, OpenResult::Ok);
    const auto frames = FrameReader::Create(std::move(opened.reader));
    ASSERT_TRUE(frames);
    EXPECT_EQ(AsExpected(ParseDib(frames->Frame(4))), f[1].expected);
    EXPECT_EQ(AsExpected(ParseDib(frames->Frame(3))), f[0].expected);
    for (std::int32_t position : {-1, 0, 2, 5, 2147483647})
        EXPECT_TRUE(frames->Frame(position).empty()) << position;
}

// Frames come only uncompressed or from Motion JPEG (its code in any case).
TEST(FrameReader, OnlyFormatsItCanDecode) {
    EXPECT_FALSE(FrameReader::Create(nullptr));
    const TestFrame f = MakeFrame(24, 3, 2, 0);
    const auto WithCompression = [&](const char* code) {
        auto format = f.info;
        std::memcpy(&format[16], code, 4);
        return FrameReader::Create(Reader::OpenBytes(WriteWithLayout(VideoInfo(1, 7), format, 3, 2, {f.bits})).reader);
    };
    EXPECT_TRUE(WithCompression("\0\0\0\0"));
    EXPECT_TRUE(WithCompression("MJPG"));
    EXPECT_TRUE(WithCompression("mjpg"));
    EXPECT_FALSE(WithCompression("XVID"));
    EXPECT_FALSE(WithCompression("\3\0\0\0")) << "bit fields";
    auto shortFormat = f.info;
    shortFormat.resize(30);
    EXPECT_FALSE(FrameReader::Create(
        Reader::OpenBytes(WriteWithLayout(VideoInfo(1, 7), shortFormat, 3, 2, {f.bits})).reader));
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
    ASSERT_EQ(o.result, OpenResult::Ok);
    EXPECT_EQ(o.length, 3);
    EXPECT_EQ(o.info.frameRect.right, 2);
    EXPECT_EQ(o.info.frameRect.bottom, 1);
    ASSERT_EQ(o.frames.size(), 3u);
    EXPECT_EQ(ParseDib(o.frames[0]).topDown, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(o.frames[1], o.frames[0]);
    EXPECT_EQ(ParseDib(o.frames[2]).topDown, (std::vector<std::uint8_t>{7, 8, 9, 10, 11, 12}));
}

// An audio stream before the video stream: the video stream's chunks
// ('01db') are its frames, the audio chunks ('00wb') are passed over.
TEST(AviReader, VideoStreamAfterAnAudioStream) {
    std::vector<std::uint8_t> auds, vids;
    for (std::uint32_t v : {MakeFourcc("auds"), 1u, 0u, 0u, 0u, 1u, 8000u, 0u, 2u, 0u, 0u, 1u}) Put32(auds, v);
    for (std::uint32_t v : {MakeFourcc("vids"), 0u, 0u, 0u, 0u, 1u, 5u, 0u, 2u, 0u, 0u, 0u}) Put32(vids, v);
    Put32(vids, 0), Put32(vids, 0);
    std::vector<std::uint8_t> strf;
    for (std::uint32_t v : {40u, 1u /*width*/, 2u /*height*/}) Put32(strf, v);
    Put16(strf, 1), Put16(strf, 8);
    for (std::uint32_t v : {0u, 0u, 0u, 0u, 2u /*colours*/, 0u, 0x0000FFu, 0x00FF00u}) Put32(strf, v);
    const auto file = List(
        "RIFF", "AVI ",
        {List("LIST", "hdrl",
              {Chunk("avih", std::vector<std::uint8_t>(56)),
               List("LIST", "strl", {Chunk("strh", auds), Chunk("strf", std::vector<std::uint8_t>(16))}),
               List("LIST", "strl", {Chunk("strh", vids), Chunk("strf", strf)})}),
         List("LIST", "movi",
              {Chunk("00wb", {1, 0, 1, 0}), Chunk("01db", {0, 0, 0, 0, 1, 0, 0, 0}), Chunk("00wb", {5}),
               Chunk("00db", {1, 1, 1, 1, 1, 1, 1, 1}), Chunk("01db", {1, 0, 0, 0, 0, 0, 0, 0})})});
    const Opened o = ReadBytesAvi(file);
    ASSERT_EQ(o.result, OpenResult::Ok);
    EXPECT_EQ(o.info.type, kStreamTypeVideo);
    EXPECT_EQ(o.info.rate, 5u);
    ASSERT_EQ(o.frames.size(), 2u);
    // Rows bottom-up: frame 0 is index 1 (green) on top of index 0 (blue).
    EXPECT_EQ(AsExpected(ParseDib(o.frames[0])), (std::vector<std::uint8_t>{0, 0xFF, 0, 0xFF, 0, 0}));
    EXPECT_EQ(AsExpected(ParseDib(o.frames[1])), (std::vector<std::uint8_t>{0xFF, 0, 0, 0, 0xFF, 0}));
}

// ---- damaged files -------------------------------------------------------

// Whatever opens must deliver well-formed frames or none, and draw.
void ExpectSafe(const std::vector<std::uint8_t>& bytes) {
    const Opened o = ReadBytesAvi(bytes);
    DeviceContext target(Surface::Create(8, 8, 32));
    for (const auto& f : o.frames) {
        if (f.empty()) continue;
        ParseDib(f);
        EXPECT_TRUE(DrawPackedDib(target, Rect{0, 0, 8, 8}, f));
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
        ASSERT_EQ(o.result, OpenResult::Ok) << "cut at " << cut;
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
    ASSERT_EQ(o.result, OpenResult::Ok);
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
    ASSERT_EQ(o.result, OpenResult::Ok);
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

}  // namespace
}  // namespace crossmeld::test
