// The AVI writer's calls, results and file layout. The layout is checked
// with a small RIFF walker written here, against values worked out by hand
// from the frames the tests make.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "formats/avi/AviFile.h"
#include "formats/avi/AviLayout.h"
#include "support/AviFrames.h"
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

// ---- driving the calls as the writer of the fade does ---------------------

class ScriptedChooser final : public CodecChooser {
public:
    ScriptedChooser(bool confirm, std::uint32_t handler, std::uint32_t quality = 0)
        : m_confirm(confirm), m_handler(handler), m_quality(quality) {}
    bool ChooseCodec(AviCompressOptions& options) override {
        ++calls;
        if (!m_confirm) return false;
        options.handler = m_handler;
        options.quality = m_quality;
        return true;
    }
    int calls = 0;

private:
    bool m_confirm;
    std::uint32_t m_handler;
    std::uint32_t m_quality;
};

struct WriteResult {
    AviStatus open = -1, create = -1, options = -1, compress = -1, format = -1, release = -1;
    std::vector<AviStatus> writes;
};

// The whole sequence: open, stream, codec choice, compressed stream, format
// from the first frame, one key-frame write per frame (start k - 1), release.
WriteResult WriteAvi(const fs::path& path, const std::vector<TestFrame>& frames, std::uint32_t fps,
                     CodecChooser* chooser, const char* name = "", std::size_t count = SIZE_MAX) {
    WriteResult r;
    AVIFileInit();
    AviFileHandle file;
    AviStreamHandle stream, compressed;
    r.open = AVIFileOpen(file, path.string(), OF_WRITE | OF_CREATE, nullptr);
    if (r.open == 0) {
        StreamHeader info{};
        info.type = mmioStringToFOURCC("vids", 0);
        info.scale = 1;
        info.rate = fps;
        info.suggestedBufferSize = static_cast<std::uint32_t>(frames[0].bits.size());
        const std::int32_t height = static_cast<std::int32_t>(U32(frames[0].info, 8));
        info.frameRect = {0, 0, static_cast<std::int32_t>(U32(frames[0].info, 4)), height < 0 ? -height : height};
        std::strncpy(info.name, name, sizeof info.name - 1);
        r.create = AVIFileCreateStream(file, stream, info);
        AviCompressOptions options{};
        AviCompressOptions* optionsPointer = &options;
        if (r.create == 0)
            r.options =
                AVISaveOptions(chooser, ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE, 1, &stream, &optionsPointer);
        if (r.options != 1) {
            AVISaveOptionsFree(1, &optionsPointer);
        } else {
            r.compress = AVIMakeCompressedStream(compressed, stream, &options, nullptr);
            if (r.compress == 0)
                r.format = AVIStreamSetFormat(compressed, 0, frames[0].info.data(),
                                              static_cast<std::int32_t>(frames[0].info.size()));
            if (r.format == 0) {
                for (std::size_t k = 0; k < frames.size() && k < count; ++k)
                    r.writes.push_back(AVIStreamWrite(
                        compressed, static_cast<std::int32_t>(k) - 1, 1, frames[k].bits.data(),
                        static_cast<std::int32_t>(frames[k].bits.size()), AVIIF_KEYFRAME, nullptr, nullptr));
            }
        }
    }
    if (stream) AVIStreamRelease(stream);
    if (compressed) AVIStreamRelease(compressed);
    if (file) r.release = AVIFileRelease(file);
    AVIFileExit();
    return r;
}

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

// ---- small pieces --------------------------------------------------------

TEST(AviCodes, FourCharacterCodes) {
    EXPECT_EQ(mmioStringToFOURCC("vids", 0), 0x73646976u);
    EXPECT_EQ(mmioStringToFOURCC("DIB", 0), 0x20424944u);  // filled up with a blank
    EXPECT_EQ(mmioStringToFOURCC("mjpgx", MMIO_TOUPPER), 0x47504A4Du);
    EXPECT_EQ(mmioStringToFOURCC("", 0), 0x20202020u);
}

TEST(AviLibrary, UseIsCountedAndExtraExitsAreHarmless) {
    const int before = AviLibraryUseCount();
    AVIFileInit();
    AVIFileInit();
    EXPECT_EQ(AviLibraryUseCount(), before + 2);
    AVIFileExit();
    AVIFileExit();
    AVIFileExit();
    AVIFileExit();
    EXPECT_EQ(AviLibraryUseCount(), before > 0 ? before - 2 : 0);
    AVIFileInit();
    EXPECT_EQ(AviLibraryUseCount(), (before > 0 ? before - 2 : 0) + 1);
    AVIFileExit();
}

// ---- file layout ---------------------------------------------------------

TEST(AviLayoutOfFile, FullFrames24BitHeadersChunksAndIndex) {
    TempDir dir;
    const fs::path path = dir / "out.avi";
    auto frames = Frames(24, 5, 3, 3);  // stride 16, 48 bytes a frame
    FixedCodecChooser chooser(kHandlerDib);
    WriteResult r = WriteAvi(path, frames, 10, &chooser, "ab");
    ASSERT_EQ(r.release, 0);
    EXPECT_EQ(r.writes, (std::vector<AviStatus>{0, 0, 0}));
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
    EXPECT_EQ(strl.ids(), (std::vector<std::string>{"strh", "strf", "strn", "JUNK"}));

    const std::size_t avih = hdrl.find("avih")->data();
    EXPECT_EQ(hdrl.find("avih")->size, 56u);
    EXPECT_EQ(U32(file, avih + 0), 100000u);  // dwMicroSecPerFrame: 1 / 10 s
    EXPECT_EQ(U32(file, avih + 4), 480u);     // dwMaxBytesPerSec: 48 bytes x 10
    EXPECT_EQ(U32(file, avih + 12), 0x110u);  // AVIF_HASINDEX | AVIF_ISINTERLEAVED
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
    const Chunk& strn = *strl.find("strn");
    EXPECT_EQ(strn.size, 3u);  // "ab" and its terminating zero, then a pad byte
    EXPECT_EQ(Bytes(file, strn.data(), 3), (std::vector<std::uint8_t>{'a', 'b', 0}));

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
        EXPECT_EQ(U32(file, e + 4), 0x10u);    // AVIIF_KEYFRAME
        EXPECT_EQ(U32(file, e + 8), c.offset - (movi.offset + 8)) << "offset from the 'movi' code";
        EXPECT_EQ(U32(file, e + 12), 48u);
    }
}

TEST(AviLayoutOfFile, MotionJpegHeadersAndChunks) {
    TempDir dir;
    auto frames = Frames(24, 21, 13, 4);
    FixedCodecChooser chooser(kHandlerMjpg, 9000);
    WriteResult r = WriteAvi(dir / "m.avi", frames, 30, &chooser);
    ASSERT_EQ(r.release, 0);
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

TEST(AviLayoutOfFile, MotionJpegQualityComesFromTheOptions) {
    TempDir dir;
    auto frames = Frames(24, 48, 32, 1);
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t quality : {1000u, 5000u, 9500u}) {
        FixedCodecChooser chooser(kHandlerMjpg, quality);
        ASSERT_EQ(WriteAvi(dir / "q.avi", frames, 5, &chooser).release, 0);
        const auto file = ReadBytes(dir / "q.avi");
        sizes.push_back(Walk(file, 0, file.size())[0].find("movi")->children.at(0).size);
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
}

TEST(AviLayoutOfFile, NoFramesStillMakesACompleteFile) {
    TempDir dir;
    FixedCodecChooser chooser(kHandlerDib);
    ASSERT_EQ(WriteAvi(dir / "e.avi", Frames(24, 4, 4, 1), 7, &chooser, "", 0).release, 0);  // format, no frame
    const auto bytes = ReadBytes(dir / "e.avi");
    const auto top = Walk(bytes, 0, bytes.size());
    EXPECT_EQ(top[0].find("movi")->children.size(), 0u);
    EXPECT_EQ(top[0].find("idx1")->size, 0u);
    const std::size_t strh = top[0].find("hdrl")->find("strl")->find("strh")->data();
    EXPECT_EQ(U32(bytes, strh + 32), 0u);   // length
    EXPECT_EQ(U32(bytes, strh + 36), 48u);  // the caller's suggested buffer size: 4 rows of 12 bytes
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

// ---- call results --------------------------------------------------------

struct FormatCase {
    const char* name;
    int bits;
    std::uint32_t compression;
    std::int32_t width, height;
    std::uint16_t planes;
    std::int32_t size;      // bytes of the block handed over; 0 = all
    std::uint32_t clrUsed;  // replaces biClrUsed when nonzero
    AviStatus expected;
};

class SetFormatResult : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SetFormatResult, MatchesWhatCanBeWritten) {
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
    TempDir dir;
    AviFileHandle file;
    AviStreamHandle stream;
    ASSERT_EQ(AVIFileOpen(file, (dir / "f.avi").string(), OF_WRITE | OF_CREATE, nullptr), 0);
    StreamHeader info{};
    info.type = kStreamTypeVideo;
    info.scale = 1;
    info.rate = 5;
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    const std::int32_t size = c.size ? c.size : static_cast<std::int32_t>(h.size());
    EXPECT_EQ(AVIStreamSetFormat(stream, 0, h.data(), size), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SetFormatResult,
    ::testing::Values(FormatCase{"24-bit", 24, 0, 4, 4, 1, 0, 0, AVIERR_OK},
                      FormatCase{"32-bit top-down", 32, 0, 4, -4, 1, 0, 0, AVIERR_OK},
                      FormatCase{"16-bit", 16, 0, 4, 4, 1, 0, 0, AVIERR_OK},
                      FormatCase{"8-bit", 8, 0, 4, 4, 1, 0, 0, AVIERR_OK},
                      FormatCase{"1-bit", 1, 0, 4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"4-bit", 4, 0, 4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"RLE8", 8, 1, 4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"bit fields", 32, 3, 4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"JPEG inside", 24, 4, 4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"zero width", 24, 0, 0, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"negative width", 24, 0, -4, 4, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"zero height", 24, 0, 4, 0, 1, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"two planes", 24, 0, 4, 4, 2, 0, 0, AVIERR_BADFORMAT},
                      FormatCase{"short block", 24, 0, 4, 4, 1, 39, 0, AVIERR_BADFORMAT},
                      FormatCase{"colour table cut", 8, 0, 4, 4, 1, 40 + 1023, 0, AVIERR_BADFORMAT},
                      FormatCase{"too many colours", 8, 0, 4, 4, 1, 0, 257, AVIERR_BADFORMAT},
                      FormatCase{"frame of 2 GiB", 32, 0, 32768, 16384, 1, 0, 0, AVIERR_BADFORMAT}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

class AviCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AVIFileOpen(file, (dir / "c.avi").string(), OF_WRITE | OF_CREATE, nullptr), 0);
        info.type = kStreamTypeVideo;
        info.scale = 1;
        info.rate = 5;
    }
    TempDir dir;
    AviFileHandle file;
    AviStreamHandle stream;
    StreamHeader info{};
    TestFrame frame = MakeFrame(24, 4, 2, 0);  // 24 bytes
};

TEST_F(AviCalls, OpenRefusals) {
    AviFileHandle other;
    EXPECT_EQ(AVIFileOpen(other, (dir / "missing" / "x.avi").string(), 4097, nullptr), AVIERR_FILEOPEN);
    EXPECT_FALSE(other);
    EXPECT_EQ(AVIFileOpen(other, dir.path().string(), 4097, nullptr), AVIERR_FILEOPEN);
    EXPECT_EQ(AVIFileOpen(other, "", 4097, nullptr), AVIERR_FILEOPEN);
    EXPECT_EQ(AVIFileOpen(other, (dir / "r.avi").string(), OF_READ | OF_SHARE_EXCLUSIVE, nullptr), AVIERR_UNSUPPORTED);
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_FALSE(fs::exists(dir / "r.avi"));
}

TEST_F(AviCalls, StreamRefusals) {
    StreamHeader audio = info;
    audio.type = mmioStringToFOURCC("auds", 0);
    EXPECT_EQ(AVIFileCreateStream(file, stream, audio), AVIERR_UNSUPPORTED);
    StreamHeader noRate = info;
    noRate.rate = 0;
    EXPECT_EQ(AVIFileCreateStream(file, stream, noRate), AVIERR_BADPARAM);
    EXPECT_FALSE(stream);
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    AviStreamHandle second;
    EXPECT_EQ(AVIFileCreateStream(file, second, info), AVIERR_UNSUPPORTED);  // one stream per file
    AviFileHandle none;
    EXPECT_EQ(AVIFileCreateStream(none, second, info), AVIERR_BADHANDLE);
    AviCompressOptions options{};
    options.handler = mmioStringToFOURCC("XVID", 0);
    EXPECT_EQ(AVIMakeCompressedStream(second, stream, &options, nullptr), AVIERR_NOCOMPRESSOR);
    EXPECT_EQ(AVIMakeCompressedStream(second, stream, nullptr, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVIMakeCompressedStream(second, AviStreamHandle{}, &options, nullptr), AVIERR_BADHANDLE);
    options.handler = mmioStringToFOURCC("mjpg", 0);  // any letter case
    EXPECT_EQ(AVIMakeCompressedStream(second, stream, &options, nullptr), 0);
}

TEST_F(AviCalls, FormatIsSetOnceAtPositionZero) {
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    const auto size = static_cast<std::int32_t>(frame.info.size());
    EXPECT_EQ(AVIStreamSetFormat(stream, 1, frame.info.data(), size), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamSetFormat(stream, 0, nullptr, size), AVIERR_BADFORMAT);
    EXPECT_EQ(AVIStreamSetFormat(stream, 0, frame.info.data(), size), 0);
    EXPECT_EQ(AVIStreamSetFormat(stream, 0, frame.info.data(), size), 0);  // the same again
    TestFrame other = MakeFrame(24, 5, 2, 0);
    EXPECT_EQ(AVIStreamSetFormat(stream, 0, other.info.data(), size), AVIERR_UNSUPPORTED);
    // A compressed stream made now cannot set another format on the file stream.
    AviCompressOptions options{};
    AviStreamHandle compressed;
    ASSERT_EQ(AVIMakeCompressedStream(compressed, stream, &options, nullptr), 0);
    EXPECT_EQ(AVIStreamSetFormat(compressed, 0, frame.info.data(), size), AVIERR_UNSUPPORTED);
}

TEST_F(AviCalls, WriteResultsAndOutputs) {
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    std::int32_t samples = -1, bytes = -1;
    EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.bits.data(), 24, AVIIF_KEYFRAME, &samples, &bytes),
              AVIERR_BADFORMAT);  // no format yet
    EXPECT_EQ(samples, 0);
    ASSERT_EQ(AVIStreamSetFormat(stream, 0, frame.info.data(), 40), 0);
    EXPECT_EQ(AVIStreamWrite(stream, -1, 1, frame.bits.data(), 24, AVIIF_KEYFRAME, &samples, &bytes), 0);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, 24);
    // Extra bytes past the frame are not stored.
    std::vector<std::uint8_t> longer = frame.bits;
    longer.resize(30, 1);
    EXPECT_EQ(AVIStreamWrite(stream, 5, 1, longer.data(), 30, 0, &samples, &bytes), 0);
    EXPECT_EQ(bytes, 24);
    EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.bits.data(), 23, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_BADSIZE);
    EXPECT_EQ(AVIStreamWrite(stream, 0, 2, frame.bits.data(), 48, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamWrite(stream, 0, 1, nullptr, 24, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_BADSIZE);
    EXPECT_EQ(AVIStreamWrite(AviStreamHandle{}, 0, 1, frame.bits.data(), 24, 0, nullptr, nullptr), AVIERR_BADHANDLE);
    // A refused write keeps the file from replacing the path.
    AVIStreamRelease(stream);
    EXPECT_EQ(AVIFileRelease(file), AVIERR_BADFORMAT);  // the first failure
    EXPECT_FALSE(fs::exists(dir / "c.avi"));
    EXPECT_TRUE(Leftovers(dir.path(), "c.avi").empty());
}

TEST_F(AviCalls, ReleasingTheFileFirstCompletesItAndClosesTheStreams) {
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    ASSERT_EQ(AVIStreamSetFormat(stream, 0, frame.info.data(), 40), 0);
    ASSERT_EQ(AVIStreamWrite(stream, 0, 1, frame.bits.data(), 24, AVIIF_KEYFRAME, nullptr, nullptr), 0);
    EXPECT_EQ(AVIFileRelease(file), 0);
    EXPECT_FALSE(file);
    EXPECT_EQ(AVIFileRelease(file), AVIERR_BADHANDLE);
    EXPECT_EQ(AVIStreamWrite(stream, 1, 1, frame.bits.data(), 24, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_BADHANDLE);
    EXPECT_EQ(AVIStreamRelease(stream), 0);
    EXPECT_FALSE(stream);
    EXPECT_EQ(AVIStreamRelease(stream), AVIERR_BADHANDLE);
    EXPECT_EQ(ReadBytes(dir / "c.avi").size(), kHeaderBytes + 8 + 24 + 8 + 16) << "header, one chunk, idx1";
}

TEST(AviSaveOptions, ConfirmCancelAndArguments) {
    TempDir dir;
    AviFileHandle file;
    AviStreamHandle stream;
    ASSERT_EQ(AVIFileOpen(file, (dir / "o.avi").string(), 4097, nullptr), 0);
    StreamHeader info{};
    info.type = kStreamTypeVideo;
    info.scale = 1;
    info.rate = 5;
    ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
    AviCompressOptions options{};
    AviCompressOptions* pointer = &options;

    ScriptedChooser mjpeg(true, kHandlerMjpg, 7500);
    EXPECT_EQ(AVISaveOptions(&mjpeg, 3, 1, &stream, &pointer), 1);
    EXPECT_EQ(mjpeg.calls, 1);
    EXPECT_EQ(options.type, 0x73646976u);
    EXPECT_EQ(options.handler, kHandlerMjpg);
    EXPECT_EQ(options.quality, 7500u);
    EXPECT_NE(options.flags & AVICOMPRESSF_VALID, 0u);

    ScriptedChooser cancel(false, 0);
    EXPECT_EQ(AVISaveOptions(&cancel, 3, 1, &stream, &pointer), 0);
    EXPECT_EQ(AVISaveOptionsFree(1, &pointer), 0);

    AviCompressOptions plain{};
    AviCompressOptions* plainPointer = &plain;
    EXPECT_EQ(AVISaveOptions(nullptr, 3, 1, &stream, &plainPointer), 1);  // no dialog: full frames
    EXPECT_EQ(plain.handler, 0u);

    AviCompressOptions* none = nullptr;
    for (AviStatus s :
         {AVISaveOptions(&mjpeg, 3, 0, &stream, &pointer), AVISaveOptions(&mjpeg, 3, 1, nullptr, &pointer),
          AVISaveOptions(&mjpeg, 3, 1, &stream, &none)}) {
        EXPECT_NE(s, 0);
        EXPECT_NE(s, 1);
    }
    EXPECT_EQ(mjpeg.calls, 1);
}

// ---- an existing file at the path ----------------------------------------

class ExistingFile : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(target, old); }
    TempDir dir;
    fs::path target = dir / "fade.avi";
    std::vector<std::uint8_t> old{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
};

TEST_F(ExistingFile, CancelledCodecChoiceLeavesItUntouched) {
    ScriptedChooser cancel(false, 0);
    WriteResult r = WriteAvi(target, Frames(24, 8, 8, 3), 5, &cancel);
    EXPECT_EQ(r.open, 0);
    EXPECT_EQ(r.options, 0);
    EXPECT_EQ(r.release, AVIERR_NODATA);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, SuccessReplacesIt) {
    FixedCodecChooser chooser(kHandlerDib);
    WriteResult r = WriteAvi(target, Frames(24, 8, 8, 3), 5, &chooser);
    EXPECT_EQ(r.release, 0);
    const auto bytes = ReadBytes(target);
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, HandlesDroppedWithoutReleaseLeaveItUntouched) {
    {
        TestFrame frame = MakeFrame(24, 4, 4, 0);
        AviFileHandle file;
        AviStreamHandle stream;
        ASSERT_EQ(AVIFileOpen(file, target.string(), 4097, nullptr), 0);
        StreamHeader info{};
        info.type = kStreamTypeVideo;
        info.scale = 1;
        info.rate = 5;
        ASSERT_EQ(AVIFileCreateStream(file, stream, info), 0);
        ASSERT_EQ(AVIStreamSetFormat(stream, 0, frame.info.data(), 40), 0);
        ASSERT_EQ(AVIStreamWrite(stream, 0, 1, frame.bits.data(), 48, AVIIF_KEYFRAME, nullptr, nullptr), 0);
        EXPECT_EQ(Leftovers(dir.path(), "fade.avi").size(), 1u);  // the temporary file beside it
    }
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

// Lowers the largest file size this process may write, so writes past it
// fail the way they do on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(ExistingFile, WriteFailureInTheMiddleLeavesItUntouched) {
    FixedCodecChooser chooser(kHandlerDib);
    auto frames = Frames(24, 64, 64, 5);  // 12288 bytes a frame
    WriteResult r;
    {
        FileSizeLimit limit(30000);
        r = WriteAvi(target, frames, 5, &chooser);
    }
    ASSERT_EQ(r.writes.size(), 5u);
    EXPECT_EQ(r.writes[0], 0);
    EXPECT_EQ(r.writes[1], 0);
    EXPECT_EQ(r.writes[2], AVIERR_FILEWRITE);
    EXPECT_EQ(r.writes[4], AVIERR_FILEWRITE);
    EXPECT_EQ(r.release, AVIERR_FILEWRITE);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

TEST_F(ExistingFile, FailureWhileCompletingLeavesItUntouched) {
    // Room for the header and both frames, but not for idx1 at the end.
    FixedCodecChooser chooser(kHandlerDib);
    auto frames = Frames(24, 64, 64, 2);
    const rlim_t header = kHeaderBytes, chunk = 8 + 12288;
    WriteResult r;
    {
        FileSizeLimit limit(header + 2 * chunk + 4);
        r = WriteAvi(target, frames, 5, &chooser);
    }
    EXPECT_EQ(r.writes, (std::vector<AviStatus>{0, 0}));
    EXPECT_EQ(r.release, AVIERR_FILEWRITE);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_TRUE(Leftovers(dir.path(), "fade.avi").empty());
}

}  // namespace
}  // namespace crossmeld::test
