#include "raster/Span.h"

#include <cstring>

namespace crossmeld::raster {

namespace {

void FillBits1(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t raw) noexcept {
    const std::uint8_t fill = (raw & 1) ? 0xFF : 0x00;
    // Bits of the partial first and last bytes, most significant bit first.
    auto put = [&](std::int32_t byte, std::uint8_t mask) {
        row[byte] = static_cast<std::uint8_t>((row[byte] & ~mask) | (fill & mask));
    };
    std::int32_t first = x0 >> 3, last = (x1 - 1) >> 3;
    std::uint8_t headMask = static_cast<std::uint8_t>(0xFFu >> (x0 & 7));
    std::uint8_t tailMask = static_cast<std::uint8_t>(0xFFu << (7 - ((x1 - 1) & 7)));
    if (first == last) {
        put(first, static_cast<std::uint8_t>(headMask & tailMask));
        return;
    }
    put(first, headMask);
    if (last > first + 1) std::memset(row + first + 1, fill, static_cast<std::size_t>(last - first - 1));
    put(last, tailMask);
}

void FillBits4(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t raw) noexcept {
    const std::uint8_t v = raw & 0x0F;
    if (x0 & 1) {
        row[x0 >> 1] = static_cast<std::uint8_t>((row[x0 >> 1] & 0xF0) | v);
        ++x0;
    }
    if (x0 < x1 && (x1 & 1)) {
        --x1;
        row[x1 >> 1] = static_cast<std::uint8_t>((row[x1 >> 1] & 0x0F) | (v << 4));
    }
    if (x0 < x1) std::memset(row + (x0 >> 1), (v << 4) | v, static_cast<std::size_t>((x1 - x0) >> 1));
}

// Fills n pixels of `size` bytes at p with the first pixel's bytes by doubling
// copies, which keeps long runs at memcpy speed for three-byte pixels too.
void Replicate(std::uint8_t* p, std::size_t size, std::size_t n) noexcept {
    std::size_t done = size, total = size * n;
    while (done < total) {
        std::size_t chunk = done < total - done ? done : total - done;
        std::memcpy(p + done, p, chunk);
        done += chunk;
    }
}

}  // namespace

void StorePixel(Surface& s, std::int32_t x, std::int32_t y, std::uint32_t raw) noexcept {
    if (s.bpp() == 32) {
        std::uint8_t* p = s.row(y) + 4 * static_cast<std::size_t>(x);
        p[0] = static_cast<std::uint8_t>(raw);
        p[1] = static_cast<std::uint8_t>(raw >> 8);
        p[2] = static_cast<std::uint8_t>(raw >> 16);
        p[3] = static_cast<std::uint8_t>(raw >> 24);
        return;
    }
    s.SetRaw(x, y, raw);
}

void FillSpan(Surface& s, std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t raw) noexcept {
    if (x0 >= x1) return;
    std::uint8_t* row = s.row(y);
    const std::size_t n = static_cast<std::size_t>(x1 - x0);
    switch (s.bpp()) {
        case 1:
            FillBits1(row, x0, x1, raw);
            break;
        case 4:
            FillBits4(row, x0, x1, raw);
            break;
        case 8:
            std::memset(row + x0, static_cast<int>(raw & 0xFF), n);
            break;
        case 16: {
            std::uint8_t* p = row + 2 * static_cast<std::size_t>(x0);
            p[0] = static_cast<std::uint8_t>(raw);
            p[1] = static_cast<std::uint8_t>(raw >> 8);
            Replicate(p, 2, n);
            break;
        }
        case 24: {
            std::uint8_t* p = row + 3 * static_cast<std::size_t>(x0);
            p[0] = static_cast<std::uint8_t>(raw);
            p[1] = static_cast<std::uint8_t>(raw >> 8);
            p[2] = static_cast<std::uint8_t>(raw >> 16);
            Replicate(p, 3, n);
            break;
        }
        default: {
            std::uint8_t* p = row + 4 * static_cast<std::size_t>(x0);
            p[0] = static_cast<std::uint8_t>(raw);
            p[1] = static_cast<std::uint8_t>(raw >> 8);
            p[2] = static_cast<std::uint8_t>(raw >> 16);
            p[3] = static_cast<std::uint8_t>(raw >> 24);
            Replicate(p, 4, n);
            break;
        }
    }
}

}  // namespace crossmeld::raster
