#pragma once
// The code numbering of a GIF LZW stream, shared by the encoder and the
// decoder. For a minimum code size m the codes start m + 1 bits wide; codes
// below 2^m are single pixels, 2^m clears the dictionary, 2^m + 1 ends the
// data, and dictionary strings take the codes from 2^m + 2 up to 4095, the
// width growing to at most 12 bits.

#include <cstdint>

namespace crossmeld {

struct LzwCodeSpace {
    static constexpr std::int32_t kMaxCodes = 4096;  // codes 0 .. 4095
    static constexpr std::int32_t kMaxWidth = 12;
    // Pixels are bytes, so a minimum code size of 2 .. 8 covers every table.
    static constexpr std::int32_t kMinInitialWidth = 3;
    static constexpr std::int32_t kMaxInitialWidth = 9;

    explicit constexpr LzwCodeSpace(std::int32_t initialWidth)
        : InitialWidth(initialWidth),
          ClearCode(std::int32_t{1} << (initialWidth - 1)),
          EndCode(ClearCode + 1),
          FirstFreeCode(ClearCode + 2) {}

    static constexpr bool ValidInitialWidth(std::int32_t width) {
        return width >= kMinInitialWidth && width <= kMaxInitialWidth;
    }
    // The largest code that fits a width.
    static constexpr std::int32_t LargestCode(std::int32_t width) { return (std::int32_t{1} << width) - 1; }

    std::int32_t InitialWidth;
    std::int32_t ClearCode;
    std::int32_t EndCode;
    std::int32_t FirstFreeCode;
};

}  // namespace crossmeld
