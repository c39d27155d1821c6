#pragma once
// The header and index blocks of a RIFF AVI file with one video stream,
// built in memory. The header block runs from the file's start to the
// 'movi' code of the first movie list and has the same length whatever the
// counts, so the writer can put a first version down before the frames and
// overwrite it with the final one at the end:
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       avih                    main header
//       LIST 'strl'
//         strh                  stream header
//         strf                  stream format (information header + colours)
//         strn                  stream name, only when the caller gave one
//         indx | JUNK           super index once the file has AVIX parts
//       LIST 'odml' | JUNK      total frame count (dmlh) once it has parts
//     LIST 'movi'
//
// Frame chunks follow; idx1 closes the first RIFF. A file that outgrows one
// RIFF continues in 'RIFF' 'AVIX' parts, and every part then ends its movie
// list with a standard index 'ix00' that the super index points at.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/avi/AviTypes.h"

namespace crossmeld::avi {

// Entries the super index has room for: the most RIFF parts a file can have.
inline constexpr std::size_t kSuperIndexEntries = 256;
inline constexpr std::uint32_t kSuperIndexPayload = 24 + 16 * kSuperIndexEntries;
inline constexpr std::uint32_t kOdmlListPayload = 4 + 8 + 248;
inline constexpr std::uint32_t kStandardIndexHeader = 32;  // chunk header included
inline constexpr std::uint32_t kStandardIndexEntry = 8;
inline constexpr std::uint32_t kIdx1Entry = 16;
// The flag of an idx1 entry that marks a key frame (every frame written here).
inline constexpr std::uint32_t kIdx1KeyFrame = 0x10;

// What the headers say about the stream; fixed once the format is set.
struct AviStreamLayout {
    StreamHeader info;                // as the caller gave it
    std::uint32_t handler = 0;         // 'DIB ' or 'MJPG'
    std::vector<std::uint8_t> format;  // strf payload
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t chunkId = 0;  // '00db' or '00dc'
};

struct SuperIndexEntry {
    std::uint64_t offset = 0;    // of the part's ix00 chunk header in the file
    std::uint32_t size = 0;      // of that chunk, header included
    std::uint32_t duration = 0;  // frames in the part
};

// Values known only as the frames are written.
struct AviCounts {
    std::uint32_t totalFrames = 0;
    std::uint32_t firstRiffFrames = 0;
    std::uint32_t largestChunk = 0;  // data bytes of the largest frame chunk
    std::uint32_t firstRiffSize = 0;
    std::uint32_t firstMoviSize = 0;
    std::vector<SuperIndexEntry> parts;  // empty for a file of one RIFF
};

struct FrameIndexEntry {
    std::uint64_t offset = 0;  // of the frame's chunk header in the file
    std::uint32_t size = 0;    // data bytes, without the pad byte
};

// 1,000,000 * scale / rate microseconds, rounded to nearest (halves to even).
std::uint32_t MicroSecondsPerFrame(std::uint32_t scale, std::uint32_t rate) noexcept;

std::vector<std::uint8_t> BuildHeaderBlock(const AviStreamLayout& stream, const AviCounts& counts);

// idx1 of the first RIFF: a key-frame entry per frame, offsets measured from
// the 'movi' code of the first movie list.
std::vector<std::uint8_t> BuildIdx1(std::uint32_t chunkId, std::span<const FrameIndexEntry> frames,
                                    std::uint64_t moviCode);

// ix00 of one part: entries point at the frames' data, measured from the
// part's 'movi' code (the base offset).
std::vector<std::uint8_t> BuildStandardIndex(std::uint32_t chunkId, std::span<const FrameIndexEntry> frames,
                                             std::uint64_t moviCode);

}  // namespace crossmeld::avi
