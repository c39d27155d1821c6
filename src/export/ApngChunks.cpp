#include "export/ApngChunks.h"

#include <zlib.h>

#include <algorithm>

#include "base/Error.h"

namespace crossmeld::apng {

namespace {

std::uint32_t U32be(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

}  // namespace

std::vector<std::uint8_t> Chunk(const char (&type)[5], std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 12);
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + 4, static_cast<uInt>(data.size() + 4));
    PutU32(out, static_cast<std::uint32_t>(crc));
    return out;
}

std::vector<std::uint8_t> AnimationControl(std::uint32_t frames, std::uint32_t plays) {
    std::vector<std::uint8_t> data;
    PutU32(data, frames);
    PutU32(data, plays);
    return Chunk("acTL", data);
}

std::vector<std::uint8_t> FrameControl(std::uint32_t sequence, std::uint32_t width, std::uint32_t height,
                                       std::uint16_t delayNumerator, std::uint16_t delayDenominator) {
    std::vector<std::uint8_t> data;
    PutU32(data, sequence);
    PutU32(data, width);
    PutU32(data, height);
    PutU32(data, 0);  // x offset
    PutU32(data, 0);  // y offset
    PutU16(data, delayNumerator);
    PutU16(data, delayDenominator);
    data.push_back(0);  // dispose: none
    data.push_back(0);  // blend: source
    return Chunk("fcTL", data);
}

std::vector<std::uint8_t> FrameData(std::uint32_t sequence, std::span<const std::uint8_t> idat) {
    std::vector<std::uint8_t> data;
    data.reserve(idat.size() + 4);
    PutU32(data, sequence);
    data.insert(data.end(), idat.begin(), idat.end());
    return Chunk("fdAT", data);
}

std::vector<ChunkView> SplitChunks(std::span<const std::uint8_t> png) {
    if (png.size() < kPngSignature.size() || !std::equal(kPngSignature.begin(), kPngSignature.end(), png.begin()))
        throw Error(ErrorKind::InvalidPicture, "Not a PNG file");
    std::vector<ChunkView> chunks;
    std::size_t at = kPngSignature.size();
    while (at < png.size()) {
        if (png.size() - at < 12) throw Error(ErrorKind::InvalidPicture, "A PNG chunk is cut short");
        const std::uint32_t length = U32be(&png[at]);
        if (length > png.size() - at - 12) throw Error(ErrorKind::InvalidPicture, "A PNG chunk is cut short");
        ChunkView chunk;
        chunk.type.assign(reinterpret_cast<const char*>(&png[at + 4]), 4);
        chunk.data = png.subspan(at + 8, length);
        chunk.whole = png.subspan(at, std::size_t{length} + 12);
        chunks.push_back(std::move(chunk));
        at += std::size_t{length} + 12;
    }
    return chunks;
}

}  // namespace crossmeld::apng
