#pragma once
// The frame format a caller hands to the AVI writer: a bitmap-information
// block (information header, then the colour table) describing uncompressed
// DIB frames of 8, 16 (5-5-5), 24 or 32 bits per pixel. Rows are padded to
// four bytes; a positive height means the last row comes first in memory.

#include <cstdint>
#include <span>
#include <vector>

#include "formats/bmp/BitmapInfoHeader.h"

namespace crossmeld {

inline constexpr std::uint32_t kUncompressedRgb = 0;

struct DibFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;  // always positive
    bool topDown = false;     // the block gave a negative height
    std::uint16_t bitCount = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t stride = 0;     // bytes per row, padded to four
    std::uint32_t frameSize = 0;  // stride * height
    // Colour table entries (blue, green, red, reserved) of an 8-bit format.
    std::vector<std::uint8_t> colourTable;
    std::uint32_t clrImportant = 0;

    // Offset of the row that shows y-th from the top.
    std::size_t RowOffset(std::int32_t y) const noexcept {
        const std::int32_t stored = topDown ? y : height - 1 - y;
        return static_cast<std::size_t>(stored) * stride;
    }
};

// Parses and checks the block. Raises Error (InvalidPicture) naming the
// fault for anything that cannot be written: a short block, a compressed or
// bit-field format, another depth, a zero size, a colour table beyond the
// block, or frames of 2 GiB or more.
DibFormat ParseDibFormat(std::span<const std::uint8_t> block);

// A 40-byte information header for the format as stored in the file:
// bottom-up (positive height), with the given compression, depth and image
// size; the 8-bit colour table follows when withColourTable is set.
std::vector<std::uint8_t> BuildStoredFormat(const DibFormat& format, std::uint32_t compression, std::uint16_t bitCount,
                                            std::uint32_t sizeImage, bool withColourTable);

// One row of a frame converted to blue, green, red triples (width * 3 bytes).
// 16-bit pixels widen each 5-bit channel by repeating its top bits.
void RowToBgr(const DibFormat& format, std::span<const std::uint8_t> row, std::uint8_t* bgr);

}  // namespace crossmeld
