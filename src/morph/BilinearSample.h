#pragma once
// The fixed-point arithmetic of the smooth warp: one picture read at a
// fractional position by bilinear interpolation, and the mix of the start
// and end samples, per colour channel in 16-bit steps.
//
// Positions carry kFracBits (14) fraction bits. Channel values are held
// with 6 fraction bits (at most 255 * 64, so a doubled difference fits 16
// signed bits). Every interpolation is a + Scale(2 (b - a), f) with f in
// [0, 2^14], where Scale(d, f) = (d f + 2^14) >> 15 rounds to the nearest
// 1/64 level: down both columns, across, then between start and end with
// the frame weight in kFracBits bits; the result is rounded halves to even.
// Error bound before that last rounding: 2^-7 level per interpolation
// (three deep), 255 * 2^-14 for each position axis and 255 * 2^-15 for the
// weight, about 0.06 level in all; so every channel is within one level of
// round((1 - w) S + w E). Whole or half-pixel positions with a weight of 0,
// 1/2 or 1 are exact.
//
// The vector kernel (BilinearRunAvx2.cpp) does the same integer steps.

#include <cstdint>

namespace crossmeld::MeshWarp {

inline constexpr int kFracBits = 14;
inline constexpr std::int32_t kFracOne = 1 << kFracBits;
inline constexpr int kValueBits = 6;

// A picture as the kernels read it: at least 2 x 2 pixels, 4 bytes each,
// rows of 4 * width bytes.
struct SampleSource {
    const std::uint8_t* bits = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Cell and fraction of a fixed-point coordinate in [0, (size - 1) << kFracBits]:
// the last cell is size - 2, so its right (lower) neighbour always exists.
struct CellFraction {
    std::int32_t cell;
    std::int32_t fraction;  // 0 .. kFracOne
};
inline CellFraction SplitCoordinate(std::int32_t fixed, std::int32_t size) noexcept {
    std::int32_t cell = fixed >> kFracBits;
    if (cell > size - 2) cell = size - 2;
    return {cell, fixed - (cell << kFracBits)};
}

// (d f + 2^14) >> 15 for 16-bit d and f: the rounding multiply of the kernel.
inline std::int32_t Scale(std::int32_t d, std::int32_t f) noexcept {
    return (d * f + (1 << 14)) >> 15;
}

inline std::int32_t Lerp(std::int32_t a, std::int32_t b, std::int32_t f) noexcept {
    return a + Scale((b - a) * 2, f);
}

// The sample of channel c at a fixed-point position, with kValueBits fraction bits.
inline std::int32_t SampleChannel(const SampleSource& src, CellFraction x, CellFraction y, int c) noexcept {
    const std::uint8_t* p0 = src.bits + 4 * (static_cast<std::size_t>(y.cell) * static_cast<std::size_t>(src.width) +
                                             static_cast<std::size_t>(x.cell));
    const std::uint8_t* p1 = p0 + 4 * static_cast<std::size_t>(src.width);
    const std::int32_t left = Lerp(p0[c] << kValueBits, p1[c] << kValueBits, y.fraction);
    const std::int32_t right = Lerp(p0[c + 4] << kValueBits, p1[c + 4] << kValueBits, y.fraction);
    return Lerp(left, right, x.fraction);
}

// Channels 0..2 of the mixed pixel (low three bytes) for the fixed-point
// positions (sx, sy) in the start and (ex, ey) in the end picture and the
// end picture's weight wq (kFracBits fraction bits).
inline std::uint32_t MixPixel(const SampleSource& start, const SampleSource& end, std::int32_t sx, std::int32_t sy,
                              std::int32_t ex, std::int32_t ey, std::int32_t wq) noexcept {
    const CellFraction csx = SplitCoordinate(sx, start.width), csy = SplitCoordinate(sy, start.height);
    const CellFraction cex = SplitCoordinate(ex, end.width), cey = SplitCoordinate(ey, end.height);
    std::uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) {
        const std::int32_t v = Lerp(SampleChannel(start, csx, csy, c), SampleChannel(end, cex, cey, c), wq);
        // Halves to even: add 31 plus the bit that becomes the lowest.
        pixel |= static_cast<std::uint32_t>((v + 31 + ((v >> kValueBits) & 1)) >> kValueBits) << (8 * c);
    }
    return pixel;
}

}  // namespace crossmeld::MeshWarp
