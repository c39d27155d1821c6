#pragma once
// The fade engine's pixel array: a 32-bit top-down bitmap header and the
// bytes indexed (channel, x, y), channel 0 blue, 1 green, 2 red, 3 unused.
// Byte (c, x, y) lies at c + 4 * (x + W * y): exactly the memory of a 32-bit
// top-down bitmap, so a whole picture moves in one copy.

#include <cstdint>
#include <vector>

#include "formats/bmp/BitmapInfoHeader.h"

namespace crossmeld {

struct PixelGrid {
    BitmapInfoHeader Header;
    std::vector<std::uint8_t> Bits;

    std::int32_t GridWidth() const noexcept { return Header.width; }
    std::int32_t GridHeight() const noexcept { return -Header.height; }
    // Offset of byte (c, x, y); no bounds check.
    static std::size_t Offset(std::int32_t c, std::int32_t x, std::int32_t y, std::int32_t width) noexcept {
        return static_cast<std::size_t>(c) + 4 * (static_cast<std::size_t>(x) + static_cast<std::size_t>(width) * static_cast<std::size_t>(y));
    }
};

}  // namespace crossmeld
