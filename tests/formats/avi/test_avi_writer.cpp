// The AVI writer's results and file layout. The layout is checked with a
// small RIFF walker written here, against values worked out by hand from
// the frames the tests make.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "formats/avi/AviLayout.h"
#include "formats/avi/AviWriter.h"
#include "formats/avi/Fourcc.h"
#include "formats/avi/MjpegEncoder.h"
#include "support/AviFrames.h"
#include "support/AviWriting.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using namespace crossmeld::avi;

// ---- a minimal RIFF walker ------------------------------------------------

struct Chunk {
    std::string id;
    std::string type;        // of RIFF and LIST chunks
    std::size_t offset = 0;  // of the chunk header
    std::uint32_t size = 0;
    std::vector<Chunk> children;

    std::size_t data() const { return offset + 8; }
    const Chunk* find(const std::string& wanted) const {
        for (const Chunk& c : children)
            if (c.id == wanted || (c.id == "LIST" && c.type == wanted)) return &c;
        return nullptr;
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> out;
        for (const Chunk& c : children) out.push_back(c.id == "LIST" || c.id == "RIFF" ? c.id + ":" + c.type : c.id);
        return out;
    }
};

std::string Code(ByteReader& in) {
    auto b = in.bytes(4);
    return std::string(b.begin(), b.end());
}

// Walks [begin, end); every chunk must fit and start on an even offset, and
// the pad byte after an odd-sized chunk must be zero.
std::vector<Chunk> Walk(std::span<const std::uint8_t> file, std::size_t begin, std::size_t end) {
    std::vector<Chunk> out;
    ByteReader in(file);
    std::size_t pos = begin;
    while (pos < end) {
        EXPECT_EQ(pos % 2, 0u) << "chunk at odd offset " << pos;
        EXPECT_LE(pos + 8, end);
        if (pos + 8 > end) break;
        in.seek(pos);
        Chunk c;
        c.offset = pos;
        c.id = Code(in);
        c.size = in.u32le();
        const std::size_t next = pos + 8 + c.size + (c.size % 2);
        EXPECT_LE(pos + 8 + c.size, end) << c.id << " at " << pos << " runs past its parent";
        if (pos + 8 + c.size > end) break;
        if (c.size % 2 && next <= end) {
            EXPECT_EQ(file[pos + 8 + c.size], 0) << "pad byte of " << c.id;
        }
        if (c.id == "RIFF" || c.id == "LIST") {
            c.type = Code(in);
            c.children = Walk(file, pos + 12, pos + 8 + c.size);
        }
        out.push_back(std::move(c));
        pos = next;
    }
    return out;
}

std::uint32_t U32(std::span<const std::uint8_t> f, std::size_t at) {
    ByteReader in(f);
    in.seek(at);
    return in.u32le();
}
std::uint16_t U16(std::span<const std::uint8_t> f, std::size_t at) {
    ByteReader in(f);
    in.seek(at);
    return in.u16le();
}
std::uint64_t U64(std::span<const std::uint8_t> f, std::size_t at) {
    return U32(f, at) | std::uint64_t{U32(f, at + 4)} << 32;
}
std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> f, std::size_t at, std::size_t n) {
    return {f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

// Bytes before the first frame chunk of a 24-bit file without a stream name:
// RIFF 12, LIST hdrl 12, avih 8 + 56, LIST strl 12, strh 8 + 56, strf 8 + 40,
// JUNK 8 + 4120 (room for indx), JUNK 8 + 260 (room for LIST odml), LIST movi 12.
constexpr std::size_t kHeaderBytes = 12 + 12 + 64 + 12 + 64 + 48 + 4128 + 268 + 12;

// ---- helpers ---------------------------------------------------------------

std::vector<TestFrame> Frames(int bits, int width, int height, int count) {
    std::vector<TestFrame> frames;
    for (int i = 0; i < count; ++i) frames.push_back(MakeFrame(bits, width, height, i));
    return frames;
}

// Files other than the target left in the folder (temporary files).
std::vector<std::string> Leftovers(const fs::path& folder, const std::string& target) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename() != target) out.push_back(e.path().filename().string());
    return out;
}

constexpr CodecChoice kFullFrames{Codec::FullFrames, std::nullopt};

CodecChoice MotionJpeg(std::optional<std::uint32_t> quality = std::nullopt) {
    return CodecChoice{Codec::MotionJpeg, quality};
}

// The first entry (the DC step) of the first quantisation table of a JPEG.
int FirstLuminanceStep(std::span<const std::uint8_t> jpeg) {
    for (std::size_t i = 2; i + 5 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) return jpeg[i + 5];  // FF DB, length (2), Pq/Tq, entries
    return -1;
}

// ---- the Motion JPEG quality -------------------------------------------------

TEST(JpegQuality, HundredthsRoundedHalfUpWithADefault) {
    EXPECT_EQ(JpegQuality(std::nullopt), 85);
    EXPECT_EQ(JpegQuality(0u), 85);  // 0 asks for the default too
    EXPECT_EQ(JpegQuality(1u), 1);   // never below 1
    EXPECT_EQ(JpegQuality(49u), 1);
    EXPECT_EQ(JpegQuality(150u), 2);
    EXPECT_EQ(JpegQuality(249u), 2);
    EXPECT_EQ(JpegQuality(5000u), 50);
    EXPECT_EQ(JpegQuality(7549u), 75);
    EXPECT_EQ(JpegQuality(7550u), 76);
    EXPECT_EQ(JpegQuality(10000u), 100);
    EXPECT_EQ(JpegQuality(10001u), 100);  // larger values count as 10000
    EXPECT_EQ(JpegQuality(0xFFFFFFFFu), 100);
}

// ---- file layout -------------------------------------------------------------

TEST(AviLayoutOfFile, FullFrames24BitHeadersChunksAndIndex) {
    TempDir dir;
    const fs::path path = dir / "out.avi";
    auto frames = Frames(24, 5, 3, 3);  // stride 16, 48 bytes a frame
    const AviWriteLog log = WriteAviFrames(path, frames, 10, kFullFrames);
    ASSERT_EQ(log.Result(), WriteResult::Ok);
    EXPECT_EQ(log.writes.size(), 3u);
    const auto file = ReadBytes(path);

    const auto top = Walk(file, 0, file.size());
    ASSERT_EQ(top.size(), 1u);
    const Chunk& riff = top[0];
    EXPECT_EQ(riff.id + riff.type, "RIFFAVI ");
    EXPECT_EQ(riff.size, file.size() - 8);
    EXPECT_EQ(riff.ids(), (std::vector<std::string>{"LIST:hdrl", "LIST:movi", "idx1"}));
    const Chunk& hdrl = *riff.find("hdrl");
    EXPECT_EQ(hdrl.ids(), (std::vector<std::string>{"avih", "LIST:strl", "JUNK"}));
    const Chunk& strl = *hdrl.find("strl");
    EXPECT_EQ(strl.ids(), (std::vector<std::string>{"strh", "strf", "JUNK"}));
    EXPECT_EQ(riff.find("movi")->offset + 12, kHeaderBytes);

    const std::size_t avih = hdrl.find("avih")->data();
    EXPECT_EQ(hdrl.find("avih")->size, 56u);
    EXPECT_EQ(U32(file, avih + 0), 100000u);  // dwMicroSecPerFrame: 1 / 10 s
    EXPECT_EQ(U32(file, avih + 4), 480u);     // dwMaxBytesPerSec: 48 bytes x 10
    EXPECT_EQ(U32(file, avih + 12), 0x110u);  // has an index, interleaved
    EXPECT_EQ(U32(file, avih + 16), 3u);      // dwTotalFrames
    EXPECT_EQ(U32(file, avih + 24), 1u);      // dwStreams
    EXPECT_EQ(U32(file, avih + 28), 48u);     // suggestedBufferSize
    EXPECT_EQ(U32(file, avih + 32), 5u);      // dwWidth
    EXPECT_EQ(U32(file, avih + 36), 3u);      // dwHeight

    const std::size_t strh = strl.find("strh")->data();
    EXPECT_EQ(strl.find("strh")->size, 56u);
    EXPECT_EQ(U32(file, strh + 0), 0x73646976u);                                                // 'vids'
    EXPECT_EQ(U32(file, strh + 4), 0x20424944u);                                                // 'DIB '
    EXPECT_EQ(U32(file, strh + 20), 1u);                                                        // scale
    EXPECT_EQ(U32(file, strh + 24), 10u);                                                       // rate
    EXPECT_EQ(U32(file, strh + 28), 0u);                                                        // start
    EXPECT_EQ(U32(file, strh + 32), 3u);                                                        // length
    EXPECT_EQ(U32(file, strh + 36), 48u);                                                       // suggestedBufferSize
    EXPECT_EQ(U32(file, strh + 40), 0xFFFFFFFFu);                                               // quality
    EXPECT_EQ(U32(file, strh + 44), 0u);                                                        // sampleSize
    EXPECT_EQ(Bytes(file, strh + 48, 8), (std::vector<std::uint8_t>{0, 0, 0, 0, 5, 0, 3, 0}));  // frameRect

    const Chunk& strf = *strl.find("strf");
    EXPECT_EQ(strf.size, 40u);
    auto expectedStrf = frames[0].info;  // the frame's own header, biSizeImage = 48
    EXPECT_EQ(Bytes(file, strf.data(), 40), expectedStrf);

    const Chunk& movi = *riff.find("movi");
    ASSERT_EQ(movi.children.size(), 3u);
    const Chunk& idx1 = *riff.find("idx1");
    ASSERT_EQ(idx1.size, 3u * 16);
    for (std::size_t k = 0; k < 3; ++k) {
        const Chunk& c = movi.children[k];
        EXPECT_EQ(c.id, "00db");
        EXPECT_EQ(c.size, 48u);
        EXPECT_EQ(Bytes(file, c.data(), 48), frames[k].bits);  // bottom-up rows, padding included
        const std::size_t e = idx1.data() + 16 * k;
        EXPECT_EQ(U32(file, e), 0x62643030u);  // '00db'
        EXPECT_EQ(U32(file, e + 4), 0x10u);    // key frame
        EXPECT_EQ(U32(file, e + 8), c.offset - (movi.offset + 8)) << "offset from the 'movi' code";
        EXPECT_EQ(U32(file, e + 12), 48u);
    }
}

TEST(AviLayoutOfFile, TopDownFramesAreStoredBottomUp) {
    TempDir dir;
    auto frames = Frames(32, 3, -2, 2);  // 12 bytes a row, top row first
    ASSERT_EQ(WriteAviFrames(dir / "t.avi", frames, 5, kFullFrames).Result(), WriteResult::Ok);
    const auto file = ReadBytes(dir / "t.avi");
    const auto top = Walk(file, 0, file.size());
    const Chunk& strl = *top[0].find("hdrl")->find("strl");
    EXPECT_EQ(U32(file, strl.find("strf")->data() + 8), 2u);  // biHeight now positive
    const Chunk& movi = *top[0].find("movi");
    ASSERT_EQ(movi.children.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const auto& bits = frames[k].bits;
        std::vector<std::uint8_t> flipped(bits.begin() + 12, bits.end());
        flipped.insert(flipped.end(), bits.begin(), bits.begin() + 12);
        EXPECT_EQ(Bytes(file, movi.children[k].data(), 24), flipped) << "frame " << k;
    }
}

TEST(AviLayoutOfFile, MotionJpegHeadersAndChunks) {
    TempDir dir;
    auto frames = Frames(24, 21, 13, 4);
    ASSERT_EQ(WriteAviFrames(dir / "m.avi", frames, 30, MotionJpeg(9000)).Result(), WriteResult::Ok);
    const auto file = ReadBytes(dir / "m.avi");
    const auto top = Walk(file, 0, file.size());
    const Chunk& strl = *top[0].find("hdrl")->find("strl");
    EXPECT_EQ(U32(file, strl.find("strh")->data() + 4), 0x47504A4Du);  // 'MJPG'
    const std::size_t strf = strl.find("strf")->data();
    EXPECT_EQ(strl.find("strf")->size, 40u);
    EXPECT_EQ(U32(file, strf + 4), 21u);
    EXPECT_EQ(U32(file, strf + 8), 13u);
    EXPECT_EQ(U16(file, strf + 12), 1u);
    EXPECT_EQ(U16(file, strf + 14), 24u);
    EXPECT_EQ(U32(file, strf + 16), 0x47504A4Du);  // biCompression 'MJPG'
    EXPECT_EQ(U32(file, strf + 20), 21u * 13 * 3);
    const std::size_t avih = top[0].find("hdrl")->find("avih")->data();
    EXPECT_EQ(U32(file, avih), 33333u);  // 1,000,000 / 30 rounded

    const Chunk& movi = *top[0].find("movi");
    const Chunk& idx1 = *top[0].find("idx1");
    ASSERT_EQ(movi.children.size(), 4u);
    std::uint32_t largest = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const Chunk& c = movi.children[k];
        EXPECT_EQ(c.id, "00dc");
        EXPECT_EQ(Bytes(file, c.data(), 3), (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF}));         // SOI
        EXPECT_EQ(Bytes(file, c.data() + c.size - 2, 2), (std::vector<std::uint8_t>{0xFF, 0xD9}));  // EOI
        EXPECT_EQ(U32(file, idx1.data() + 16 * k), 0x63643030u);                                    // '00dc'
        EXPECT_EQ(U32(file, idx1.data() + 16 * k + 8), c.offset - (movi.offset + 8));
        EXPECT_EQ(U32(file, idx1.data() + 16 * k + 12), c.size);
        largest = std::max(largest, c.size);
    }
    EXPECT_EQ(U32(file, strl.find("strh")->data() + 36), largest);  // suggested buffer: largest chunk
}

// The choice's quality reaches the encoder: the DC step of the luminance
// table is libjpeg's base step 16 scaled by 5000 / q below quality 50 and
// by 200 - 2q from 50 on, in percent, rounded half up, at least 1.
TEST(AviLayoutOfFile, MotionJpegQualityComesFromTheChoice) {
    TempDir dir;
    auto frames = Frames(24, 48, 32, 1);
    const std::vector<std::pair<std::optional<std::uint32_t>, int>> cases{
        {std::nullopt, 5},  // quality 85: 16 x 30% = 4.8
        {1000u, 80},        // quality 10: 16 x 500%
        {5000u, 16},        // quality 50: 16 x 100%
        {9000u, 3},         // quality 90: 16 x 20% = 3.2
        {10000u, 1},        // quality 100: 0, raised to 1
    };
    std::vector<std::uint32_t> sizes;
    for (const auto& [quality, step] : cases) {
        ASSERT_EQ(WriteAviFrames(dir / "q.avi", frames, 5, MotionJpeg(quality)).Result(), WriteResult::Ok);
        const auto file = ReadBytes(dir / "q.avi");
        const auto top = Walk(file, 0, file.size());  // the chunks live as long as this
        const Chunk& frame = top[0].find("movi")->children.at(0);
        EXPECT_EQ(FirstLuminanceStep(std::span(file).subspan(frame.data(), frame.size)), step)
            << "quality " << quality.value_or(0);
        sizes.push_back(frame.size);
    }
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_LT(sizes[2], sizes[0]);
    EXPECT_LT(sizes[0], sizes[3]);
    EXPECT_LT(sizes[3], sizes[4]);
}

TEST(AviLayoutOfFile, NoFramesStillMakesACompleteFile) {
    TempDir dir;
    ASSERT_EQ(WriteAviFrames(dir / "e.avi", Frames(24, 4, 4, 1).at(0).info, 0, 7, kFullFrames,
                             [](std::size_t) -> const std::vector<std::uint8_t>& { throw std::logic_error("no frame"); })
                  .Result(),
              WriteResult::Ok);
    const auto bytes = ReadBytes(dir / "e.avi");
    const auto top = Walk(bytes, 0, bytes.size());
    EXPECT_EQ(top[0].find("movi")->children.size(), 0u);
    EXPECT_EQ(top[0].find("idx1")->size, 0u);
    const std::size_t strh = top[0].find("hdrl")->find("strl")->find("strh")->data();
    EXPECT_EQ(U32(bytes, strh + 32), 0u);   // length
    EXPECT_EQ(U32(bytes, strh + 36), 48u);  // suggested buffer: the frame's bytes, 4 rows of 12
}

// A small RIFF limit sends the writer's frames into OpenDML parts. With
// 584-byte frame chunks and a limit of the header + 1300 bytes, the first
// RIFF holds m frames while 4620 + 584m + (32 + 8m) + (8 + 16m) <= 5920,
// that is 2; an AVIX part while 24 + 584m + (32 + 8m) <= 5920, that is 9.
TEST(AviLayoutOfFile, WriterGoesOnInOpenDmlParts) {
    TempDir dir;
    auto frames = Frames(24, 16, 12, 12);  // 576 bytes a frame
    const AviWriteLog log = WriteAviFrames(
        dir / "p.avi", frames[0].info, frames.size(), 5, kFullFrames,
        [&](std::size_t k) -> const std::vector<std::uint8_t>& { return frames[k].bits; }, kHeaderBytes + 1300);
    ASSERT_EQ(log.Result(), WriteResult::Ok);
    const auto file = ReadBytes(dir / "p.avi");
    const auto top = Walk(file, 0, file.size());
    std::vector<std::size_t> perPart;
    std::vector<std::vector<std::uint8_t>> stored;
    for (std::size_t p = 0; p < top.size(); ++p) {
        EXPECT_EQ(top[p].type, p == 0 ? "AVI " : "AVIX");
        perPart.push_back(0);
        for (const Chunk& c : top[p].find("movi")->children) {
            if (c.id != "00db") continue;
            stored.push_back(Bytes(file, c.data(), c.size));
            ++perPart.back();
        }
    }
    EXPECT_EQ(perPart, (std::vector<std::size_t>{2, 9, 1}));
    ASSERT_EQ(stored.size(), frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k) EXPECT_EQ(stored[k], frames[k].bits) << "frame " << k;
}

// ---- the container on its own: odd chunks and OpenDML parts -------------

class MemorySink final : public SeekableSink {
public:
    explicit MemorySink(std::size_t failAfter = SIZE_MAX) : m_failAfter(failAfter) {}
    bool write(std::span<const std::uint8_t> b) override { return writeAt(bytes.size(), b); }
    bool writeAt(std::uint64_t at, std::span<const std::uint8_t> b) override {
        if (at + b.size() > m_failAfter) return false;
        if (bytes.size() < at + b.size()) bytes.resize(at + b.size());
        std::copy(b.begin(), b.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }
    std::vector<std::uint8_t> bytes;

private:
    std::size_t m_failAfter;
};

AviStreamLayout PlainStream() {
    AviStreamLayout s;
    s.info.type = kStreamTypeVideo;
    s.info.scale = 1;
    s.info.rate = 25;
    s.handler = kHandlerMjpg;
    s.format = MakeFrame(24, 2, 2, 0).info;
    s.width = 2;
    s.height = 2;
    s.chunkId = MakeFourcc("00dc");
    return s;
}

std::vector<std::uint8_t> Payload(std::size_t size, int seed) {
    std::vector<std::uint8_t> p(size);
    for (std::size_t i = 0; i < size; ++i) p[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + 1);
    return p;
}

TEST(AviContainer, OddSizedChunksArePaddedAndIndexedWithTheirTrueSize) {
    MemorySink sink;
    AviLayout layout(sink, PlainStream());
    ASSERT_TRUE(layout.Begin());
    const std::vector<std::size_t> sizes{1, 4, 3, 0, 7};
    for (std::size_t k = 0; k < sizes.size(); ++k) ASSERT_TRUE(layout.AddFrame(Payload(sizes[k], int(k))));
    ASSERT_TRUE(layout.Finish());
    const auto& f = sink.bytes;
    const auto top = Walk(f, 0, f.size());  // also checks offsets are even and pads zero
    ASSERT_EQ(top.size(), 1u);
    const Chunk& movi = *top[0].find("movi");
    const Chunk& idx1 = *top[0].find("idx1");
    ASSERT_EQ(movi.children.size(), sizes.size());
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        EXPECT_EQ(movi.children[k].size, sizes[k]);
        EXPECT_EQ(Bytes(f, movi.children[k].data(), sizes[k]), Payload(sizes[k], int(k)));
        EXPECT_EQ(U32(f, idx1.data() + 16 * k + 12), sizes[k]);
        EXPECT_EQ(U32(f, idx1.data() + 16 * k + 8), movi.children[k].offset - (movi.offset + 8));
    }
    // Chunk headers sit at 4 (movi code) + 9 + 12 + 11 + 8 ... past the list start.
    EXPECT_EQ(movi.children[1].offset - movi.children[0].offset, 8u + 2);
    EXPECT_EQ(movi.children[2].offset - movi.children[1].offset, 8u + 4);
    EXPECT_EQ(movi.children[3].offset - movi.children[2].offset, 8u + 4);
    EXPECT_EQ(movi.children[4].offset - movi.children[3].offset, 8u + 0);
}

TEST(AviContainer, AStreamNameGetsAnStrnChunk) {
    MemorySink sink;
    AviStreamLayout stream = PlainStream();
    std::strcpy(stream.info.name, "ab");
    AviLayout layout(sink, stream);
    ASSERT_TRUE(layout.Begin());
    ASSERT_TRUE(layout.Finish());
    const auto& f = sink.bytes;
    const auto top = Walk(f, 0, f.size());  // also checks the pad byte after the odd chunk
    const Chunk& strl = *top.at(0).find("hdrl")->find("strl");
    EXPECT_EQ(strl.ids(), (std::vector<std::string>{"strh", "strf", "strn", "JUNK"}));
    const Chunk& strn = *strl.find("strn");
    EXPECT_EQ(strn.size, 3u);  // "ab" and its terminating zero, then a pad byte
    EXPECT_EQ(Bytes(f, strn.data(), 3), (std::vector<std::uint8_t>{'a', 'b', 0}));
    EXPECT_EQ(top[0].find("movi")->offset + 12, kHeaderBytes + 12) << "the header block grows by the chunk";
}

TEST(AviContainer, LargeFilesContinueInOpenDmlParts) {
    MemorySink sink;
    const std::uint64_t limit = 8192;
    AviLayout layout(sink, PlainStream(), limit);
    ASSERT_TRUE(layout.Begin());
    const int frames = 20;
    for (int k = 0; k < frames; ++k) ASSERT_TRUE(layout.AddFrame(Payload(1001, k)));
    ASSERT_TRUE(layout.Finish());
    const auto& f = sink.bytes;
    const auto top = Walk(f, 0, f.size());
    ASSERT_GE(top.size(), 3u);
    EXPECT_EQ(top.size(), layout.RiffCount());
    EXPECT_EQ(top[0].type, "AVI ");
    for (std::size_t p = 1; p < top.size(); ++p) {
        EXPECT_EQ(top[p].id + top[p].type, "RIFFAVIX");
        EXPECT_EQ(top[p].ids(), (std::vector<std::string>{"LIST:movi"}));
    }
    for (const Chunk& part : top) EXPECT_LE(part.size + 8u, limit);
    EXPECT_EQ(top[0].ids(), (std::vector<std::string>{"LIST:hdrl", "LIST:movi", "idx1"}));
    const Chunk& hdrl = *top[0].find("hdrl");
    EXPECT_EQ(hdrl.ids(), (std::vector<std::string>{"avih", "LIST:strl", "LIST:odml"}));
    const Chunk& strl = *hdrl.find("strl");
    EXPECT_EQ(strl.ids(), (std::vector<std::string>{"strh", "strf", "indx"}));

    // Every frame in every part, in order, and each part's ix00 last in its movi.
    std::vector<const Chunk*> frameChunks;
    std::vector<std::size_t> perPart;
    for (const Chunk& part : top) {
        const Chunk& movi = *part.find("movi");
        ASSERT_FALSE(movi.children.empty());
        EXPECT_EQ(movi.children.back().id, "ix00");
        for (std::size_t i = 0; i + 1 < movi.children.size(); ++i) {
            EXPECT_EQ(movi.children[i].id, "00dc");
            frameChunks.push_back(&movi.children[i]);
        }
        perPart.push_back(movi.children.size() - 1);
    }
    ASSERT_EQ(frameChunks.size(), std::size_t(frames));
    for (int k = 0; k < frames; ++k)
        EXPECT_EQ(Bytes(f, frameChunks[k]->data(), 1001), Payload(1001, k)) << "frame " << k;

    // avih counts the first part's frames, strh and dmlh all of them;
    // idx1 lists the first part's frames only.
    EXPECT_EQ(U32(f, hdrl.find("avih")->data() + 16), perPart[0]);
    EXPECT_EQ(U32(f, strl.find("strh")->data() + 32), std::uint32_t(frames));
    const Chunk& odml = *hdrl.find("odml");
    ASSERT_EQ(odml.ids(), (std::vector<std::string>{"dmlh"}));
    EXPECT_EQ(odml.children[0].size, 248u);
    EXPECT_EQ(U32(f, odml.children[0].data()), std::uint32_t(frames));
    EXPECT_EQ(top[0].find("idx1")->size, perPart[0] * 16);

    // The super index: one entry per part, pointing at that part's ix00.
    const std::size_t indx = strl.find("indx")->data();
    EXPECT_EQ(U16(f, indx), 4u);  // wLongsPerEntry
    EXPECT_EQ(f[indx + 2], 0);    // bIndexSubType
    EXPECT_EQ(f[indx + 3], 0);    // bIndexType: index of indexes
    EXPECT_EQ(U32(f, indx + 4), top.size());
    EXPECT_EQ(U32(f, indx + 8), 0x63643030u);  // '00dc'
    std::size_t frameNumber = 0;
    for (std::size_t p = 0; p < top.size(); ++p) {
        const std::size_t e = indx + 24 + 16 * p;
        const Chunk& movi = *top[p].find("movi");
        const Chunk& ix = movi.children.back();
        EXPECT_EQ(U64(f, e), ix.offset);
        EXPECT_EQ(U32(f, e + 8), ix.size + 8);
        EXPECT_EQ(U32(f, e + 12), perPart[p]);
        // The standard index: entries relative to the part's 'movi' code,
        // pointing at the data of each frame chunk.
        const std::size_t d = ix.data();
        EXPECT_EQ(U16(f, d), 2u);
        EXPECT_EQ(f[d + 3], 1);  // index of chunks
        EXPECT_EQ(U32(f, d + 4), perPart[p]);
        EXPECT_EQ(U32(f, d + 8), 0x63643030u);
        const std::uint64_t base = U64(f, d + 12);
        EXPECT_EQ(base, movi.offset + 8);
        for (std::size_t i = 0; i < perPart[p]; ++i, ++frameNumber) {
            EXPECT_EQ(base + U32(f, d + 24 + 8 * i), frameChunks[frameNumber]->data());
            EXPECT_EQ(U32(f, d + 28 + 8 * i), 1001u);  // key frame: bit 31 clear
        }
    }
}

TEST(AviContainer, StopsWhenTheSuperIndexIsFull) {
    MemorySink sink;
    // A limit below the header size puts every frame in a part of its own.
    AviLayout layout(sink, PlainStream(), 64);
    ASSERT_TRUE(layout.Begin());
    for (std::size_t k = 0; k < kSuperIndexEntries; ++k) ASSERT_TRUE(layout.AddFrame(Payload(2, int(k)))) << k;
    EXPECT_FALSE(layout.AddFrame(Payload(2, 0)));
    EXPECT_FALSE(layout.Finish());
}

TEST(AviContainer, AFailedWriteStopsEverythingAfterIt) {
    MemorySink sink(5000);
    AviLayout layout(sink, PlainStream());
    ASSERT_TRUE(layout.Begin());
    bool failed = false;
    for (int k = 0; k < 10 && !failed; ++k) failed = !layout.AddFrame(Payload(300, k));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(layout.AddFrame(Payload(1, 0)));
    EXPECT_FALSE(layout.Finish());
}

// ---- results ---------------------------------------------------------------

struct FormatCase {
    const char* name;
    int bits;
    std::uint32_t compression;
    std::int32_t width, height;
    std::uint16_t planes;
    std::int32_t size;      // bytes of the block handed over; 0 = all
    std::uint32_t clrUsed;  // replaces biClrUsed when nonzero
    WriteResult fullFrames;
    WriteResult motionJpeg;
};

class StartResult : public ::testing::TestWithParam<FormatCase> {};

TEST_P(StartResult, MatchesWhatCanBeWritten) {
    const FormatCase& c = GetParam();
    TestFrame frame = MakeFrame(c.bits == 1 || c.bits == 4 ? 8 : c.bits, 4, 4, 0);
    auto& h = frame.info;
    auto set32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = std::uint8_t(v >> (8 * i));
    };
    set32(4, static_cast<std::uint32_t>(c.width));
    set32(8, static_cast<std::uint32_t>(c.height));
    h[12] = static_cast<std::uint8_t>(c.planes);
    h[14] = static_cast<std::uint8_t>(c.bits);
    set32(16, c.compression);
    if (c.clrUsed) set32(32, c.clrUsed);
    const std::size_t size = c.size ? static_cast<std::size_t>(c.size) : h.size();
    TempDir dir;
    for (const auto& [codec, expected] :
         {std::pair{kFullFrames, c.fullFrames}, std::pair{MotionJpeg(), c.motionJpeg}}) {
        Writer writer;
        ASSERT_EQ(writer.Open(dir / "f.avi"), WriteResult::Ok);
        EXPECT_EQ(writer.Start(std::span(h).first(size), 5, codec), expected)
            << c.name << (codec.codec == Codec::MotionJpeg ? ", Motion JPEG" : ", full frames");
    }
}

constexpr WriteResult kOk = WriteResult::Ok;
constexpr WriteResult kBad = WriteResult::BadFormat;

INSTANTIATE_TEST_SUITE_P(
    Formats, StartResult,
    ::testing::Values(FormatCase{"24-bit", 24, 0, 4, 4, 1, 0, 0, kOk, kOk},
                      FormatCase{"32-bit top-down", 32, 0, 4, -4, 1, 0, 0, kOk, kOk},
                      FormatCase{"16-bit", 16, 0, 4, 4, 1, 0, 0, kOk, kOk},
                      FormatCase{"8-bit", 8, 0, 4, 4, 1, 0, 0, kOk, kOk},
                      FormatCase{"1-bit", 1, 0, 4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"4-bit", 4, 0, 4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"RLE8", 8, 1, 4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"bit fields", 32, 3, 4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"JPEG inside", 24, 4, 4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"zero width", 24, 0, 0, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"negative width", 24, 0, -4, 4, 1, 0, 0, kBad, kBad},
                      FormatCase{"zero height", 24, 0, 4, 0, 1, 0, 0, kBad, kBad},
                      FormatCase{"two planes", 24, 0, 4, 4, 2, 0, 0, kBad, kBad},
                      FormatCase{"short block", 24, 0, 4, 4, 1, 39, 0, kBad, kBad},
                      FormatCase{"colour table cut", 8, 0, 4, 4, 1, 40 + 1023, 0, kBad, kBad},
                      FormatCase{"too many colours", 8, 0, 4, 4, 1, 0, 257, kBad, kBad},
                      FormatCase{"wider than a JPEG", 24, 0, 65501, 1, 1, 0, 0, kOk, kBad},
                      FormatCase{"taller than a JPEG", 8, 0, 1, -65501, 1, 0, 0, kOk, kBad},
                      FormatCase{"frame of 2 GiB", 32, 0, 32768, 16384, 1, 0, 0, kBad, kBad}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

class WriterCalls : public ::testing::Test {
protected:
    TempDir dir;
    fs::path path = dir / "c.avi";
    TestFrame frame = MakeFrame(24, 4, 2, 0);  // 24 bytes
};

TEST_F(WriterCalls, OpenRefusals) {
    for (const fs::path& target : {dir / "missing" / "x.avi", dir.path(), fs::path()}) {
        Writer writer;
        EXPECT_EQ(writer.Open(target), WriteResult::CannotCreate) << target;
        EXPECT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::OutOfOrder);
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(Leftovers(dir.path(), "").empty());
}

TEST_F(WriterCalls, CallsOutOfOrder) {
    Writer writer;
    EXPECT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::OutOfOrder);  // not open yet
    EXPECT_EQ(writer.WriteFrame(frame.bits), WriteResult::OutOfOrder);
    ASSERT_EQ(writer.Open(path), WriteResult::Ok);
    EXPECT_EQ(writer.Open(path), WriteResult::OutOfOrder);
    EXPECT_EQ(writer.WriteFrame(frame.bits), WriteResult::OutOfOrder);  // no format yet
    EXPECT_EQ(writer.Start(frame.info, 0, kFullFrames), WriteResult::BadFormat);  // no rate
    // A refused start leaves the writer open for another.
    ASSERT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::Ok);
    EXPECT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::OutOfOrder);
    ASSERT_EQ(writer.WriteFrame(frame.bits), WriteResult::Ok);
    ASSERT_EQ(writer.Finish(), WriteResult::Ok);
    // Finishing ends the writer.
    EXPECT_EQ(writer.WriteFrame(frame.bits), WriteResult::OutOfOrder);
    EXPECT_EQ(writer.Finish(), WriteResult::OutOfOrder);
    EXPECT_EQ(writer.Open(path), WriteResult::OutOfOrder);
    writer.Abort();  // harmless on a finished file
    EXPECT_EQ(ReadBytes(path).size(), kHeaderBytes + 8 + 24 + 8 + 16) << "header, one chunk, idx1";
    EXPECT_TRUE(Leftovers(dir.path(), "c.avi").empty());
}

TEST_F(WriterCalls, BytesPastTheFrameAreNotStored) {
    std::vector<std::uint8_t> longer = frame.bits;
    longer.resize(30, 1);
    const AviWriteLog log = WriteAviFrames(path, frame.info, 1, 5, kFullFrames,
                                           [&](std::size_t) -> const std::vector<std::uint8_t>& { return longer; });
    ASSERT_EQ(log.Result(), WriteResult::Ok);
    const auto file = ReadBytes(path);
    const auto top = Walk(file, 0, file.size());
    const Chunk& movi = *top[0].find("movi");
    ASSERT_EQ(movi.children.size(), 1u);
    EXPECT_EQ(movi.children[0].size, 24u);
    EXPECT_EQ(Bytes(file, movi.children[0].data(), 24), frame.bits);
}

TEST_F(WriterCalls, AFailedFrameSpoilsTheFile) {
    Writer writer;
    ASSERT_EQ(writer.Open(path), WriteResult::Ok);
    ASSERT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::Ok);
    EXPECT_EQ(writer.WriteFrame(frame.bits), WriteResult::Ok);
    EXPECT_EQ(writer.WriteFrame(std::span(frame.bits).first(23)), WriteResult::WrongFrameSize);
    EXPECT_EQ(writer.WriteFrame(frame.bits), WriteResult::WrongFrameSize) << "the first failure again";
    EXPECT_EQ(writer.Finish(), WriteResult::WrongFrameSize);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(Leftovers(dir.path(), "c.avi").empty());
}

TEST(WriteResultText, NamesEveryResult) {
    std::set<std::string> texts;
    for (WriteResult r : {WriteResult::Ok, WriteResult::CannotCreate, WriteResult::BadFormat,
                          WriteResult::WrongFrameSize, WriteResult::EncodeFailed, WriteResult::WriteFailed,
                          WriteResult::OutOfMemory, WriteResult::OutOfOrder})
        texts.insert(WriteResultText(r));
    EXPECT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts.count("unknown result"), 0u);
    EXPECT_STREQ(WriteResultText(WriteResult::WriteFailed), "the file could not be written");
}

// ---- an existing file at the path ----------------------------------------

class ExistingFile : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(target, old); }
    TempDir dir;
    fs::path target = dir / "fade.avi";
    std::vector<std::uint8_t> old{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    TestFrame frame = MakeFrame(24, 4, 4, 0);  // 48 bytes
};

TEST_F(ExistingFile, FinishingWithoutAStreamLeavesItUntouched) {
    Writer writer;
    ASSERT_EQ(writer.Open(target), WriteResult::Ok);
    EXPECT_EQ(Leftovers(dir.path(), "fade.avi").size(), 1u);  // the temporary file beside it
    EXPECT_EQ(writer.Finish(), WriteResult::OutOfOrder);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, SuccessReplacesIt) {
    ASSERT_EQ(WriteAviFrames(target, Frames(24, 8, 8, 3), 5, kFullFrames).Result(), WriteResult::Ok);
    const auto bytes = ReadBytes(target);
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, AbortLeavesItUntouched) {
    Writer writer;
    ASSERT_EQ(writer.Open(target), WriteResult::Ok);
    ASSERT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::Ok);
    ASSERT_EQ(writer.WriteFrame(frame.bits), WriteResult::Ok);
    writer.Abort();
    EXPECT_EQ(writer.Finish(), WriteResult::OutOfOrder);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, AWriterDestroyedBeforeFinishLeavesItUntouched) {
    {
        Writer writer;
        ASSERT_EQ(writer.Open(target), WriteResult::Ok);
        ASSERT_EQ(writer.Start(frame.info, 5, kFullFrames), WriteResult::Ok);
        ASSERT_EQ(writer.WriteFrame(frame.bits), WriteResult::Ok);
        EXPECT_EQ(Leftovers(dir.path(), "fade.avi").size(), 1u);  // the temporary file beside it
    }
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, WriteFailureInTheMiddleLeavesItUntouched) {
    auto frames = Frames(24, 64, 64, 5);  // 12288 bytes a frame
    AviWriteLog log;
    {
        FileSizeLimit limit(30000);
        log = WriteAviFrames(target, frames, 5, kFullFrames);
    }
    EXPECT_EQ(log.writes, (std::vector<WriteResult>{WriteResult::Ok, WriteResult::Ok, WriteResult::WriteFailed,
                                                    WriteResult::WriteFailed, WriteResult::WriteFailed}));
    EXPECT_EQ(log.finish, WriteResult::WriteFailed);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, FailureWhileCompletingLeavesItUntouched) {
    // Room for the header and both frames, but not for idx1 at the end.
    auto frames = Frames(24, 64, 64, 2);
    const rlim_t header = kHeaderBytes, chunk = 8 + 12288;
    AviWriteLog log;
    {
        FileSizeLimit limit(header + 2 * chunk + 4);
        log = WriteAviFrames(target, frames, 5, kFullFrames);
    }
    EXPECT_EQ(log.writes, (std::vector<WriteResult>{WriteResult::Ok, WriteResult::Ok}));
    EXPECT_EQ(log.finish, WriteResult::WriteFailed);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

}  // namespace
}  // namespace crossmeld::test
