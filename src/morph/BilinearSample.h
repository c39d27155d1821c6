#pragma once
// The fixed-point arithmetic of the smooth warp: one picture read at a
// fractional position by bilinear interpolation, and the mix of the start
// and end samples, for the three colour channels of a 32-bit pixel at once.
//
// Positions carry kFracBits fraction bits. The vertical step keeps all of
// them, its result is rounded to 7 fraction bits (so that it fits signed 16
// bits for the horizontal step), and the sample comes out with 21 fraction
// bits. The mix rounds each sample to 7 fraction bits, weighs it with the
// frame weight held in kFracBits bits and rounds halves to even. The error
// of every step is bounded (position 2^-15 px per axis, i.e. at most 255 *
// 2^-14 levels; each rounding to 7 bits 2^-8; the weight 255 * 2^-15), so a
// channel stays within 0.04 of the exact (1 - w) S + w E before the final
// rounding, and within one level after it. With whole positions and a
// weight of 0, 1/2 or 1 every step is exact.
//
// The SSE2 kernel and the portable one compute the same integers.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace crossmeld::MeshWarp {

inline constexpr int kFracBits = 14;
inline constexpr std::int32_t kFracOne = 1 << kFracBits;

// A picture as the kernel reads it: at least 2 x 2 pixels, 4 bytes each,
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

// Rounds v / 2^shift to the nearest integer, halves to even (v >= 0).
inline std::int32_t ShiftHalfEven(std::int32_t v, int shift) noexcept {
    return (v + ((1 << (shift - 1)) - 1) + ((v >> shift) & 1)) >> shift;
}

// Portable kernel: the sample of channel c (0..2) with 21 fraction bits.
inline void SamplePortable(const SampleSource& src, std::int32_t fx, std::int32_t fy, std::int32_t out[3]) noexcept {
    const CellFraction cx = SplitCoordinate(fx, src.width);
    const CellFraction cy = SplitCoordinate(fy, src.height);
    const std::uint8_t* p0 = src.bits + 4 * (static_cast<std::size_t>(cy.cell) * static_cast<std::size_t>(src.width) +
                                             static_cast<std::size_t>(cx.cell));
    const std::uint8_t* p1 = p0 + 4 * static_cast<std::size_t>(src.width);
    for (int c = 0; c < 3; ++c) {
        // Down each of the two columns, rounded to 7 fraction bits.
        const std::int32_t left = (p0[c] * (kFracOne - cy.fraction) + p1[c] * cy.fraction + 64) >> 7;
        const std::int32_t right = (p0[c + 4] * (kFracOne - cy.fraction) + p1[c + 4] * cy.fraction + 64) >> 7;
        out[c] = left * (kFracOne - cx.fraction) + right * cx.fraction;
    }
}

// Portable mix of two samples (21 fraction bits) with the weight wq of the
// end sample (kFracBits bits) into the three low bytes of a pixel.
inline std::uint32_t MixPortable(const std::int32_t s[3], const std::int32_t e[3], std::int32_t wq) noexcept {
    std::uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) {
        const std::int32_t s7 = (s[c] + (1 << 13)) >> 14;
        const std::int32_t e7 = (e[c] + (1 << 13)) >> 14;
        const std::int32_t v = ShiftHalfEven(s7 * (kFracOne - wq) + e7 * wq, 21);
        pixel |= static_cast<std::uint32_t>(v) << (8 * c);
    }
    return pixel;
}

#if defined(__SSE2__)

// Two 16-bit weights (kFracOne - f, f) in every 32-bit lane.
inline __m128i WeightPairs(std::int32_t f) noexcept {
    return _mm_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(f) << 16) |
                                                    static_cast<std::uint32_t>(kFracOne - f)));
}

// SSE2 kernel: lanes blue, green, red, unused, each with 21 fraction bits.
inline __m128i SampleSse2(const SampleSource& src, std::int32_t fx, std::int32_t fy) noexcept {
    const CellFraction cx = SplitCoordinate(fx, src.width);
    const CellFraction cy = SplitCoordinate(fy, src.height);
    const std::uint8_t* p0 = src.bits + 4 * (static_cast<std::size_t>(cy.cell) * static_cast<std::size_t>(src.width) +
                                             static_cast<std::size_t>(cx.cell));
    const __m128i zero = _mm_setzero_si128();
    const __m128i row0 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0)), zero);
    const __m128i row1 = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0 + 4 * static_cast<std::size_t>(src.width))), zero);
    const __m128i wy = WeightPairs(cy.fraction);
    const __m128i round7 = _mm_set1_epi32(64);
    // Down the left and right columns: lanes b, g, r, x.
    const __m128i left = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(row0, row1), wy), round7), 7);
    const __m128i right = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(row0, row1), wy), round7), 7);
    // Pairs (left, right) per channel, then across.
    const __m128i pairs = _mm_packs_epi32(_mm_unpacklo_epi32(left, right), _mm_unpackhi_epi32(left, right));
    return _mm_madd_epi16(pairs, WeightPairs(cx.fraction));
}

inline std::uint32_t MixSse2(__m128i s, __m128i e, __m128i weights) noexcept {
    const __m128i round14 = _mm_set1_epi32(1 << 13);
    s = _mm_srai_epi32(_mm_add_epi32(s, round14), 14);
    e = _mm_srai_epi32(_mm_add_epi32(e, round14), 14);
    __m128i v = _mm_madd_epi16(_mm_packs_epi32(_mm_unpacklo_epi32(s, e), _mm_unpackhi_epi32(s, e)), weights);
    // Halves to even: add 2^20 - 1 plus the bit that becomes the lowest.
    const __m128i odd = _mm_and_si128(_mm_srli_epi32(v, 21), _mm_set1_epi32(1));
    v = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(v, _mm_set1_epi32((1 << 20) - 1)), odd), 21);
    v = _mm_packs_epi32(v, v);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v))) & 0x00FFFFFFu;
}

#endif

// The mixed pixel (channels 0..2 in the low three bytes) at fixed-point
// positions (sx, sy) in the start picture and (ex, ey) in the end picture.
class SampleMixer {
public:
    SampleMixer(const SampleSource& start, const SampleSource& end, std::int32_t wq) noexcept
        : m_start(start), m_end(end), m_wq(wq) {
#if defined(__SSE2__)
        m_weights = WeightPairs(wq);
#endif
    }
    std::uint32_t operator()(std::int32_t sx, std::int32_t sy, std::int32_t ex, std::int32_t ey) const noexcept {
#if defined(__SSE2__)
        return MixSse2(SampleSse2(m_start, sx, sy), SampleSse2(m_end, ex, ey), m_weights);
#else
        return Portable(sx, sy, ex, ey);
#endif
    }
    std::uint32_t Portable(std::int32_t sx, std::int32_t sy, std::int32_t ex, std::int32_t ey) const noexcept {
        std::int32_t s[3], e[3];
        SamplePortable(m_start, sx, sy, s);
        SamplePortable(m_end, ex, ey, e);
        return MixPortable(s, e, m_wq);
    }

private:
    SampleSource m_start;
    SampleSource m_end;
    std::int32_t m_wq;
#if defined(__SSE2__)
    __m128i m_weights;
#endif
};

}  // namespace crossmeld::MeshWarp
