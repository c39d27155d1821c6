#include "formats/avi/AviHeaders.h"

#include <algorithm>
#include <cstring>

#include "base/ByteWriter.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {
namespace {

constexpr std::uint32_t kRiff = MakeFourcc("RIFF");
constexpr std::uint32_t kList = MakeFourcc("LIST");
constexpr std::uint32_t kJunk = MakeFourcc("JUNK");
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;

// A chunk: code, size, payload and a pad byte after an odd payload.
void Chunk(ByteWriter& out, std::uint32_t code, std::span<const std::uint8_t> payload) {
    out.u32le(code);
    out.u32le(static_cast<std::uint32_t>(payload.size()));
    out.bytes(payload);
    if (payload.size() % 2) out.u8(0);
}

void List(ByteWriter& out, std::uint32_t type, std::span<const std::uint8_t> content) {
    out.u32le(kList);
    out.u32le(static_cast<std::uint32_t>(content.size() + 4));
    out.u32le(type);
    out.bytes(content);
}

std::int16_t ClampToInt16(std::int32_t v) noexcept {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

std::vector<std::uint8_t> MainHeader(const AviStreamLayout& s, const AviCounts& c, std::uint32_t bufferSize) {
    VectorSink sink;
    ByteWriter out(sink);
    const std::uint64_t perSecond =
        (std::uint64_t{c.largestChunk} * s.info.rate + s.info.scale - 1) / s.info.scale;
    out.u32le(MicroSecondsPerFrame(s.info.scale, s.info.rate));
    out.u32le(static_cast<std::uint32_t>(std::min<std::uint64_t>(perSecond, 0xFFFFFFFFu)));  // dwMaxBytesPerSec
    out.u32le(0);                                                                            // dwPaddingGranularity
    out.u32le(kMainHeaderHasIndex | kMainHeaderInterleaved);
    out.u32le(c.firstRiffFrames);  // dwTotalFrames: the frames of the first RIFF only
    out.u32le(s.info.initialFrames);
    out.u32le(1);  // dwStreams
    out.u32le(bufferSize);
    out.i32le(s.width);
    out.i32le(s.height);
    out.zeros(16);  // dwReserved
    return std::move(sink.bytes());
}

std::vector<std::uint8_t> StreamHeaderChunk(const AviStreamLayout& s, const AviCounts& c, std::uint32_t bufferSize) {
    VectorSink sink;
    ByteWriter out(sink);
    FrameRect rect = s.info.frameRect;
    if (rect.right <= rect.left || rect.bottom <= rect.top) rect = FrameRect{0, 0, s.width, s.height};
    out.u32le(kStreamTypeVideo);
    out.u32le(s.handler);
    out.u32le(s.info.flags);
    out.u16le(s.info.priority);
    out.u16le(s.info.language);
    out.u32le(s.info.initialFrames);
    out.u32le(s.info.scale);
    out.u32le(s.info.rate);
    out.u32le(s.info.start);
    out.u32le(c.totalFrames);  // length
    out.u32le(bufferSize);
    out.u32le(0xFFFFFFFFu);  // quality: the codec's default
    out.u32le(0);            // sampleSize: frames differ in size
    out.i16le(ClampToInt16(rect.left));
    out.i16le(ClampToInt16(rect.top));
    out.i16le(ClampToInt16(rect.right));
    out.i16le(ClampToInt16(rect.bottom));
    return std::move(sink.bytes());
}

std::vector<std::uint8_t> SuperIndex(const AviStreamLayout& s, const AviCounts& c) {
    VectorSink sink;
    ByteWriter out(sink);
    out.u16le(4);  // wLongsPerEntry
    out.u8(0);     // bIndexSubType
    out.u8(kIndexOfIndexes);
    out.u32le(static_cast<std::uint32_t>(c.parts.size()));
    out.u32le(s.chunkId);
    out.zeros(12);
    for (const SuperIndexEntry& e : c.parts) {
        out.u32le(static_cast<std::uint32_t>(e.offset));
        out.u32le(static_cast<std::uint32_t>(e.offset >> 32));
        out.u32le(e.size);
        out.u32le(e.duration);
    }
    out.zeros(kSuperIndexPayload - sink.bytes().size());
    return std::move(sink.bytes());
}

std::vector<std::uint8_t> OdmlList(const AviCounts& c) {
    VectorSink dmlh;
    ByteWriter d(dmlh);
    d.u32le(c.totalFrames);
    d.zeros(244);
    VectorSink sink;
    ByteWriter out(sink);
    Chunk(out, MakeFourcc("dmlh"), dmlh.bytes());
    return std::move(sink.bytes());
}

}  // namespace

std::uint32_t MicroSecondsPerFrame(std::uint32_t scale, std::uint32_t rate) noexcept {
    if (rate == 0) return 0;
    const std::uint64_t numerator = std::uint64_t{1000000} * scale;
    std::uint64_t q = numerator / rate;
    const std::uint64_t twiceRest = 2 * (numerator % rate);
    if (twiceRest > rate || (twiceRest == rate && (q & 1))) ++q;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(q, 0xFFFFFFFFu));
}

std::vector<std::uint8_t> BuildHeaderBlock(const AviStreamLayout& s, const AviCounts& c) {
    const std::uint32_t bufferSize = c.totalFrames > 0 ? c.largestChunk : s.info.suggestedBufferSize;
    const bool openDml = !c.parts.empty();

    VectorSink strl;
    ByteWriter l(strl);
    Chunk(l, MakeFourcc("strh"), StreamHeaderChunk(s, c, bufferSize));
    Chunk(l, MakeFourcc("strf"), s.format);
    const std::size_t nameLength = strnlen(s.info.name, sizeof s.info.name);
    if (nameLength > 0) {
        std::vector<std::uint8_t> name(s.info.name, s.info.name + nameLength);
        name.push_back(0);
        Chunk(l, MakeFourcc("strn"), name);
    }
    Chunk(l, openDml ? MakeFourcc("indx") : kJunk,
          openDml ? SuperIndex(s, c) : std::vector<std::uint8_t>(kSuperIndexPayload, 0));

    VectorSink hdrl;
    ByteWriter h(hdrl);
    Chunk(h, MakeFourcc("avih"), MainHeader(s, c, bufferSize));
    List(h, MakeFourcc("strl"), strl.bytes());
    if (openDml)
        List(h, MakeFourcc("odml"), OdmlList(c));
    else
        Chunk(h, kJunk, std::vector<std::uint8_t>(kOdmlListPayload, 0));

    VectorSink sink;
    ByteWriter out(sink);
    out.u32le(kRiff);
    out.u32le(c.firstRiffSize);
    out.u32le(MakeFourcc("AVI "));
    List(out, MakeFourcc("hdrl"), hdrl.bytes());
    out.u32le(kList);
    out.u32le(c.firstMoviSize);
    out.u32le(MakeFourcc("movi"));
    return std::move(sink.bytes());
}

std::vector<std::uint8_t> BuildIdx1(std::uint32_t chunkId, std::span<const FrameIndexEntry> frames,
                                    std::uint64_t moviCode) {
    VectorSink sink;
    ByteWriter out(sink);
    out.u32le(MakeFourcc("idx1"));
    out.u32le(static_cast<std::uint32_t>(frames.size() * kIdx1Entry));
    for (const FrameIndexEntry& f : frames) {
        out.u32le(chunkId);
        out.u32le(kIdx1KeyFrame);
        out.u32le(static_cast<std::uint32_t>(f.offset - moviCode));
        out.u32le(f.size);
    }
    return std::move(sink.bytes());
}

std::vector<std::uint8_t> BuildStandardIndex(std::uint32_t chunkId, std::span<const FrameIndexEntry> frames,
                                             std::uint64_t moviCode) {
    VectorSink sink;
    ByteWriter out(sink);
    out.u32le(MakeFourcc("ix00"));
    out.u32le(static_cast<std::uint32_t>(kStandardIndexHeader - 8 + frames.size() * kStandardIndexEntry));
    out.u16le(2);  // wLongsPerEntry
    out.u8(0);     // bIndexSubType
    out.u8(kIndexOfChunks);
    out.u32le(static_cast<std::uint32_t>(frames.size()));
    out.u32le(chunkId);
    out.u32le(static_cast<std::uint32_t>(moviCode));  // qwBaseOffset
    out.u32le(static_cast<std::uint32_t>(moviCode >> 32));
    out.u32le(0);
    // Bit 31 of a size would mark a frame that is not a key frame; every
    // frame here is one.
    for (const FrameIndexEntry& f : frames) {
        out.u32le(static_cast<std::uint32_t>(f.offset + 8 - moviCode));
        out.u32le(f.size);
    }
    return std::move(sink.bytes());
}

}  // namespace crossmeld::avi
