#pragma once
// Reading and writing stored values in a row by depth, for the inner loops of
// the block copies. A 32-bit pixel is read and written whole (all four bytes).

#include <cstdint>

namespace crossmeld::raster {

template <int Bpp>
inline std::uint32_t LoadValue(const std::uint8_t* row, std::int64_t x) noexcept {
    if constexpr (Bpp == 1) {
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    } else if constexpr (Bpp == 4) {
        return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    } else if constexpr (Bpp == 8) {
        return row[x];
    } else if constexpr (Bpp == 16) {
        const std::uint8_t* p = row + 2 * x;
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
    } else if constexpr (Bpp == 24) {
        const std::uint8_t* p = row + 3 * x;
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    } else {
        const std::uint8_t* p = row + 4 * x;
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16) |
               (static_cast<std::uint32_t>(p[3]) << 24);
    }
}

template <int Bpp>
inline void StoreValue(std::uint8_t* row, std::int64_t x, std::uint32_t v) noexcept {
    if constexpr (Bpp == 1) {
        const std::uint8_t bit = static_cast<std::uint8_t>(0x80u >> (x & 7));
        if (v & 1)
            row[x >> 3] |= bit;
        else
            row[x >> 3] &= static_cast<std::uint8_t>(~bit);
    } else if constexpr (Bpp == 4) {
        std::uint8_t& b = row[x >> 1];
        if (x & 1)
            b = static_cast<std::uint8_t>((b & 0xF0) | (v & 0x0F));
        else
            b = static_cast<std::uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
    } else if constexpr (Bpp == 8) {
        row[x] = static_cast<std::uint8_t>(v);
    } else if constexpr (Bpp == 16) {
        std::uint8_t* p = row + 2 * x;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    } else if constexpr (Bpp == 24) {
        std::uint8_t* p = row + 3 * x;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
    } else {
        std::uint8_t* p = row + 4 * x;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }
}

}  // namespace crossmeld::raster
