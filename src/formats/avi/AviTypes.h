#pragma once
// The records and flag values of the AVI library: the stream header and the
// main header's flags. Every record value-initialises to zero.

#include <cstdint>

namespace crossmeld::avi {

// Main header flags.
inline constexpr std::uint32_t kMainHeaderHasIndex = 0x10;
inline constexpr std::uint32_t kMainHeaderInterleaved = 0x100;

struct FrameRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The stream header: what the writer stores and the reader reports.
struct StreamHeader {
    std::uint32_t type = 0;
    std::uint32_t handler = 0;
    std::uint32_t flags = 0;
    std::uint32_t caps = 0;
    std::uint16_t priority = 0;
    std::uint16_t language = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;  // rate / scale = samples per second
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t quality = 0;
    std::uint32_t sampleSize = 0;
    FrameRect frameRect;
    std::uint32_t editCount = 0;
    std::uint32_t formatChangeCount = 0;
    char name[64] = {};
};

}  // namespace crossmeld::avi
