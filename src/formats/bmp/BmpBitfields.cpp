#include "formats/bmp/BmpBitfields.h"

#include "base/ByteReader.h"

namespace crossmeld {
namespace {

std::uint32_t Extract(std::uint32_t word, const BmpChannel& c) {
    return (word & c.mask) >> c.shift;
}

std::uint64_t MaxOf(int bits) {
    return (std::uint64_t{1} << bits) - 1;
}

// round(value / max * alpha / alphaMax * 255). The masks are disjoint within
// 32 bits, so value * alpha stays below 2^32 and nothing overflows.
std::uint8_t WidenOverBlack(std::uint32_t value, int bits, std::uint32_t alpha, int alphaBits) {
    const std::uint64_t den = MaxOf(bits) * MaxOf(alphaBits);
    return static_cast<std::uint8_t>((2 * std::uint64_t{value} * alpha * 255 + den) / (2 * den));
}

// Calls fn(storedRow, x, word) for every pixel, rows in storage order.
template <typename Fn>
void ForEachWord(std::span<const std::uint8_t> pixels, const BmpLayout& layout, Fn&& fn) {
    const std::size_t bytesPerPixel = static_cast<std::size_t>(layout.bpp) / 8;
    const std::size_t stride = static_cast<std::size_t>(Surface::StrideFor(layout.width, layout.bpp));
    const std::size_t rowBytes = bytesPerPixel * static_cast<std::size_t>(layout.width);
    ByteReader in(pixels);
    for (std::int32_t row = 0; row < layout.height; ++row) {
        in.seek(static_cast<std::size_t>(row) * stride);
        const auto bytes = in.bytes(rowBytes);
        for (std::int32_t x = 0; x < layout.width; ++x) {
            const std::uint8_t* p = bytes.data() + static_cast<std::size_t>(x) * bytesPerPixel;
            std::uint32_t word = 0;
            for (std::size_t i = 0; i < bytesPerPixel; ++i) word |= static_cast<std::uint32_t>(p[i]) << (8 * i);
            fn(row, x, word);
        }
    }
}

}  // namespace

std::uint8_t WidenChannel(std::uint32_t value, int bits) {
    if (bits == 8) return static_cast<std::uint8_t>(value);
    const std::uint64_t max = MaxOf(bits);
    return static_cast<std::uint8_t>((2 * std::uint64_t{value} * 255 + max) / (2 * max));
}

void DecodeBmpBitfields(std::span<const std::uint8_t> pixels, const BmpLayout& layout, Surface& surface) {
    bool useAlpha = false;
    if (layout.alpha.bits > 0)
        ForEachWord(pixels, layout, [&](std::int32_t, std::int32_t, std::uint32_t word) {
            if (Extract(word, layout.alpha) != 0) useAlpha = true;
        });
    const std::size_t stride = static_cast<std::size_t>(surface.stride());
    ForEachWord(pixels, layout, [&](std::int32_t row, std::int32_t x, std::uint32_t word) {
        std::uint8_t* out = surface.bits() + static_cast<std::size_t>(row) * stride + 4 * static_cast<std::size_t>(x);
        const std::uint32_t r = Extract(word, layout.red), g = Extract(word, layout.green),
                            b = Extract(word, layout.blue);
        if (useAlpha) {
            const std::uint32_t a = Extract(word, layout.alpha);
            out[0] = WidenOverBlack(b, layout.blue.bits, a, layout.alpha.bits);
            out[1] = WidenOverBlack(g, layout.green.bits, a, layout.alpha.bits);
            out[2] = WidenOverBlack(r, layout.red.bits, a, layout.alpha.bits);
        } else {
            out[0] = WidenChannel(b, layout.blue.bits);
            out[1] = WidenChannel(g, layout.green.bits);
            out[2] = WidenChannel(r, layout.red.bits);
        }
        out[3] = 0;
    });
}

}  // namespace crossmeld
