#pragma once
// Where the frames of one stream lie in an AVI file. Three sources are
// tried in this order by the reader: the OpenDML super index ('indx' in the
// stream's header list, pointing at one 'ix##' standard index per RIFF
// part), the classic 'idx1' of the first RIFF, and finally a walk over the
// chunks of every movie list (a file cut short has no index at its end).
// Each index reader returns nothing when its index cannot be used (it points
// outside the file, has the wrong type, or is cut short), so the next one
// is tried.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "formats/avi/AviSource.h"

namespace crossmeld::avi {

// The most frames a stream may have (about 155 hours at 30 frames per
// second); a stream with more is refused (Error OutOfMemory) before its
// entries are kept.
inline constexpr std::size_t kMaxAviFrames = std::size_t{1} << 24;

// The data chunks of stream number n: the two digits of n followed by 'db'
// (uncompressed) or 'dc' (compressed); writers use either for either.
class StreamChunks {
public:
    explicit StreamChunks(int number) noexcept;
    bool Matches(std::uint32_t id) const noexcept;

private:
    std::uint32_t m_digits;
};

struct AviFrameEntry {
    std::uint64_t chunk = 0;  // offset of the frame's chunk header in the file
    std::uint32_t size = 0;   // data bytes as the index gives them
};

// A movie list: the offset of its 'movi' code and the end of its data
// (clipped to the file).
struct MoviList {
    std::uint64_t code = 0;
    std::uint64_t end = 0;
};

// indx: the payload of the stream's 'indx' chunk.
std::optional<std::vector<AviFrameEntry>> ReadSuperIndex(AviSource& source, std::span<const std::uint8_t> indx,
                                                         StreamChunks stream);

// idx1 at dataOffset (its payload) of size bytes. Entry offsets count from
// the first movie list's 'movi' code, or (as some writers have it) from the
// start of the file; the first entry of the stream decides which.
std::optional<std::vector<AviFrameEntry>> ReadIdx1(AviSource& source, std::uint64_t dataOffset, std::uint32_t size,
                                                   std::uint64_t moviCode, StreamChunks stream);

// True when each frame's chunk starts after the end of the one before (as
// its index size gives it): frames in file order, no chunk listed twice and
// no two overlapping. An index that fails this is not used, so that the data
// a file's frames decode from is never more than the file itself (a small
// file whose index names one large chunk many times would otherwise decode
// it many times).
bool InFileOrder(std::span<const AviFrameEntry> frames) noexcept;

// Every chunk of the stream in the movie lists (and their 'rec ' groups), in
// file order. A chunk that runs past its list (a file cut short) is kept as
// the last entry; reading it fails later.
std::vector<AviFrameEntry> WalkMovieLists(AviSource& source, std::span<const MoviList> lists, StreamChunks stream);

}  // namespace crossmeld::avi
