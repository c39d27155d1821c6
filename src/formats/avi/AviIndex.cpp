#include "formats/avi/AviIndex.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {
namespace {

constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr std::uint32_t kSuperIndexHeader = 24;
constexpr std::uint32_t kStandardIndexHeader = 24;  // after the chunk header
// idx1 is read in blocks of this many 16-byte entries.
constexpr std::size_t kIdx1Block = 4096;

void CheckFrameCount(std::size_t count) {
    if (count > kMaxAviFrames)
        throw Error(ErrorKind::OutOfMemory,
                    "the video stream has more than " + std::to_string(kMaxAviFrames) + " frames");
}

// The chunk header at offset: its code and size, or nothing past the end.
struct ChunkHead {
    std::uint32_t id = 0;
    std::uint32_t size = 0;
};

std::optional<ChunkHead> ReadHead(AviSource& source, std::uint64_t offset) {
    std::array<std::uint8_t, 8> bytes{};
    if (!source.ReadAt(offset, bytes)) return std::nullopt;
    ByteReader in(bytes);
    ChunkHead head;
    head.id = in.u32le();
    head.size = in.u32le();
    return head;
}

std::uint64_t U64le(ByteReader& in) {
    const std::uint64_t low = in.u32le();
    return low | std::uint64_t{in.u32le()} << 32;
}

// One 'ix##' standard index at offset: appends its entries, or returns
// false. Indexes must follow each other without overlapping (from `from`
// on, which becomes the end of this one), so that a super index naming one
// index many times cannot make a small file read and list it over and over.
bool ReadStandardIndex(AviSource& source, std::uint64_t offset, std::uint64_t& from, std::vector<AviFrameEntry>& out) {
    if (offset < from) return false;
    const auto head = ReadHead(source, offset);
    if (!head || (head->id & 0xFFFF) != (MakeFourcc("ix00") & 0xFFFF)) return false;
    if (head->size < kStandardIndexHeader || head->size > source.Size() - offset - 8) return false;
    from = offset + 8 + head->size;
    std::vector<std::uint8_t> payload(head->size);
    if (!source.ReadAt(offset + 8, payload)) return false;
    ByteReader in(payload);
    const std::uint16_t longsPerEntry = in.u16le();
    const std::uint8_t subType = in.u8();
    const std::uint8_t type = in.u8();
    const std::uint32_t entries = in.u32le();
    in.skip(4);  // dwChunkId: the index sits in this stream's super index
    const std::uint64_t base = U64le(in);
    in.skip(4);
    // Two longs per entry, whole frames (a sub-type of 1 would index fields).
    if (longsPerEntry != 2 || subType != 0 || type != kIndexOfChunks) return false;
    if (entries > in.remaining() / 8) return false;
    CheckFrameCount(out.size() + entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t dataOffset = in.u32le();
        const std::uint32_t size = in.u32le();
        const std::uint64_t data = base + dataOffset;
        if (base > UINT64_MAX - dataOffset || data < 8) return false;
        // Bit 31 of the size marks a frame that is not a key frame.
        out.push_back({data - 8, size & 0x7FFFFFFFu});
    }
    return true;
}

}  // namespace

StreamChunks::StreamChunks(int number) noexcept
    : m_digits(static_cast<std::uint32_t>('0' + number / 10 % 10) |
               static_cast<std::uint32_t>('0' + number % 10) << 8) {}

bool StreamChunks::Matches(std::uint32_t id) const noexcept {
    const std::uint32_t kind = id >> 16;
    return (id & 0xFFFF) == m_digits && (kind == (MakeFourcc("00db") >> 16) || kind == (MakeFourcc("00dc") >> 16));
}

std::optional<std::vector<AviFrameEntry>> ReadSuperIndex(AviSource& source, std::span<const std::uint8_t> indx,
                                                         StreamChunks /*stream*/) {
    std::vector<AviFrameEntry> frames;
    std::vector<std::uint64_t> parts;
    try {
        ByteReader in(indx);
        if (indx.size() < kSuperIndexHeader) return std::nullopt;
        const std::uint16_t longsPerEntry = in.u16le();
        in.skip(1);  // bIndexSubType
        const std::uint8_t type = in.u8();
        const std::uint32_t entries = in.u32le();
        in.skip(16);  // dwChunkId, reserved
        if (longsPerEntry != 4 || type != kIndexOfIndexes || entries == 0) return std::nullopt;
        if (entries > in.remaining() / 16) return std::nullopt;
        for (std::uint32_t i = 0; i < entries; ++i) {
            parts.push_back(U64le(in));
            in.skip(8);  // dwSize, dwDuration: the standard index says both again
        }
        std::uint64_t from = 0;
        for (const std::uint64_t offset : parts) {
            if (!ReadStandardIndex(source, offset, from, frames)) return std::nullopt;
        }
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::InvalidPicture) return std::nullopt;  // cut short
        throw;
    }
    return frames;
}

std::optional<std::vector<AviFrameEntry>> ReadIdx1(AviSource& source, std::uint64_t dataOffset, std::uint32_t size,
                                                   std::uint64_t moviCode, StreamChunks stream) {
    std::vector<AviFrameEntry> frames;
    std::optional<std::uint64_t> base;
    const std::size_t total = size / 16;
    std::vector<std::uint8_t> block;
    for (std::size_t first = 0; first < total; first += kIdx1Block) {
        const std::size_t count = std::min(kIdx1Block, total - first);
        block.resize(count * 16);
        if (!source.ReadAt(dataOffset + first * 16, block)) return std::nullopt;
        ByteReader in(block);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t id = in.u32le();
            in.skip(4);  // flags
            const std::uint32_t offset = in.u32le();
            const std::uint32_t length = in.u32le();
            if (!stream.Matches(id)) continue;
            if (!base) {
                // The entry points at the chunk's header; whichever base finds
                // that header there is the one the writer used.
                const auto relative = ReadHead(source, moviCode + offset);
                const auto absolute = ReadHead(source, offset);
                if (relative && relative->id == id)
                    base = moviCode;
                else if (absolute && absolute->id == id)
                    base = 0;
                else
                    return std::nullopt;
            }
            CheckFrameCount(frames.size() + 1);
            frames.push_back({*base + offset, length});
        }
    }
    return frames;
}

bool InFileOrder(std::span<const AviFrameEntry> frames) noexcept {
    std::uint64_t from = 0;
    for (const AviFrameEntry& f : frames) {
        if (f.chunk < from) return false;
        from = f.chunk + 8 + f.size;
    }
    return true;
}

std::vector<AviFrameEntry> WalkMovieLists(AviSource& source, std::span<const MoviList> lists, StreamChunks stream) {
    std::vector<AviFrameEntry> frames;
    const std::uint64_t fileSize = source.Size();
    // A movie list holds frame chunks directly or grouped in 'rec ' lists;
    // the ranges still to walk, innermost last.
    struct Range {
        std::uint64_t at;
        std::uint64_t end;
    };
    for (const MoviList& list : lists) {
        std::vector<Range> ranges{{list.code + 4, std::min(list.end, fileSize)}};
        while (!ranges.empty()) {
            Range& r = ranges.back();
            if (r.end < 8 || r.at > r.end - 8) {
                ranges.pop_back();
                continue;
            }
            const auto head = ReadHead(source, r.at);
            if (!head) break;
            const std::uint64_t at = r.at;
            const std::uint64_t next = at + 8 + head->size + (head->size & 1);
            r.at = next;
            if (head->id == MakeFourcc("LIST")) {
                std::array<std::uint8_t, 4> type{};
                if (ranges.size() < 3 && head->size >= 4 && source.ReadAt(at + 8, type) &&
                    ByteReader(type).u32le() == MakeFourcc("rec ")) {
                    const std::uint64_t end = std::min(at + 8 + head->size, ranges.back().end);
                    ranges.push_back({at + 12, end});
                }
            } else if (stream.Matches(head->id)) {
                CheckFrameCount(frames.size() + 1);
                frames.push_back({at, head->size});
                if (next > r.end) r.at = r.end;  // cut short: nothing can follow
            }
        }
    }
    return frames;
}

}  // namespace crossmeld::avi
