#pragma once
// The bitmap information header (BITMAPINFOHEADER): the 40 little-endian
// bytes that give a device-independent bitmap's size, depth and compression
// in bitmap files, packed DIBs and video frame formats. The longer Windows
// headers (52 to 124 bytes) start with these fields.

#include <cstdint>
#include <span>

namespace crossmeld {

class ByteWriter;

inline constexpr std::uint32_t kBitmapInfoHeaderSize = 40;

struct BitmapInfoHeader {
    std::uint32_t size = 0;  // of the whole header, 40 or more
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative when the rows are stored top-down
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t colorsImportant = 0;
};

// The header in the first 40 bytes; fewer raise Error(InvalidPicture).
BitmapInfoHeader ParseBitmapInfoHeader(std::span<const std::uint8_t> bytes);

// Writes the header's 40 bytes.
void WriteBitmapInfoHeader(ByteWriter& out, const BitmapInfoHeader& header);

}  // namespace crossmeld
