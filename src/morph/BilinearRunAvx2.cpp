// The 16-pixel kernel of a run: the integer steps of BilinearSample.h with
// each channel of 16 pixels in one vector of 16-bit values. Built for AVX2
// through function attributes and chosen at run time, so the rest of the
// program keeps the baseline instruction set.
#include "morph/BilinearRun.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CROSSMELD_HAVE_AVX2_KERNEL 1
#include <immintrin.h>
#endif

namespace crossmeld::MeshWarp {

#if defined(CROSSMELD_HAVE_AVX2_KERNEL)

namespace {

// Positions within this bound convert to 32 bits as they are.
constexpr double kFitLimit = 1073741824.0;

#define CROSSMELD_AVX2 __attribute__((target("avx2")))
#define CROSSMELD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Fixed-point coordinates of 8 pixels (j0 .. j0 + 3 in ja, the next 4 in jb).
// When every position of the run is known to fit 32 bits (kFits), they are
// converted first and clamped as integers, which gives the same values.
template <bool kFits>
CROSSMELD_AVX2_INLINE __m256i Coordinates(__m256d start, __m256d step, __m256d max, __m256i maxFixed, __m256d ja,
                                          __m256d jb) {
    __m256d a = _mm256_add_pd(start, _mm256_mul_pd(ja, step));
    __m256d b = _mm256_add_pd(start, _mm256_mul_pd(jb, step));
    if constexpr (!kFits) {
        const __m256d low = _mm256_set1_pd(0.5);
        a = _mm256_min_pd(_mm256_max_pd(a, low), max);
        b = _mm256_min_pd(_mm256_max_pd(b, low), max);
    }
    const __m256i v =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm256_cvttpd_epi32(a)), _mm256_cvttpd_epi32(b), 1);
    if constexpr (!kFits) return v;
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), maxFixed);
}

// Cell and fraction per lane, as SplitCoordinate.
CROSSMELD_AVX2_INLINE __m256i Split(__m256i fixed, __m256i lastCell, __m256i& fraction) {
    const __m256i cell = _mm256_min_epi32(_mm256_srli_epi32(fixed, kFracBits), lastCell);
    fraction = _mm256_sub_epi32(fixed, _mm256_slli_epi32(cell, kFracBits));
    return cell;
}

// A pixel's left and right neighbours are one 8-byte load per row. Pixels
// 0, 1, 4, 5 go to one vector and 2, 3, 6, 7 to another, so that the even
// and odd 32-bit values of the two are the left and right neighbours of
// pixels 0 .. 7 in order.
CROSSMELD_AVX2_INLINE __m128i Neighbours(const std::uint8_t* row, std::uint32_t a, std::uint32_t b) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::size_t>(a)));
    const double* hi = reinterpret_cast<const double*>(row + 4 * static_cast<std::size_t>(b));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo), hi));
}
CROSSMELD_AVX2_INLINE void LeftRight(const std::uint8_t* row, const std::uint32_t* index, __m256i& left,
                                     __m256i& right) {
    const __m256 a = _mm256_castsi256_ps(_mm256_inserti128_si256(
        _mm256_castsi128_si256(Neighbours(row, index[0], index[1])), Neighbours(row, index[4], index[5]), 1));
    const __m256 b = _mm256_castsi256_ps(_mm256_inserti128_si256(
        _mm256_castsi128_si256(Neighbours(row, index[2], index[3])), Neighbours(row, index[6], index[7]), 1));
    left = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0x88));
    right = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0xDD));
}

// The channels of 16 pixels (8 in a, 8 in b) as 16-bit values. Lane order: pixels 0-3, 8-11 | 4-7, 12-15, the
// order _mm256_packus_epi32 gives, so the fractions packed the same way match.
struct Planes {
    __m256i c[3];
};
CROSSMELD_AVX2_INLINE Planes Channels(__m256i a, __m256i b) {
    constexpr char z = -128;
    // Per 128-bit lane: blue of 4 pixels, then green; red, then nothing.
    const __m256i blueGreen = _mm256_setr_epi8(0, z, 4, z, 8, z, 12, z, 1, z, 5, z, 9, z, 13, z,  //
                                               0, z, 4, z, 8, z, 12, z, 1, z, 5, z, 9, z, 13, z);
    const __m256i red = _mm256_setr_epi8(2, z, 6, z, 10, z, 14, z, z, z, z, z, z, z, z, z,  //
                                         2, z, 6, z, 10, z, 14, z, z, z, z, z, z, z, z, z);
    const __m256i bgA = _mm256_shuffle_epi8(a, blueGreen), bgB = _mm256_shuffle_epi8(b, blueGreen);
    const __m256i rA = _mm256_shuffle_epi8(a, red), rB = _mm256_shuffle_epi8(b, red);
    Planes p;
    p.c[0] = _mm256_unpacklo_epi64(bgA, bgB);
    p.c[1] = _mm256_unpackhi_epi64(bgA, bgB);
    p.c[2] = _mm256_unpacklo_epi64(rA, rB);
    return p;
}

// Lerp of BilinearSample.h on 16 lanes, for whole bytes a and b.
CROSSMELD_AVX2_INLINE __m256i LerpBytes(__m256i a, __m256i b, __m256i f) {
    const __m256i d = _mm256_slli_epi16(_mm256_sub_epi16(b, a), kValueBits + 1);
    return _mm256_add_epi16(_mm256_slli_epi16(a, kValueBits), _mm256_mulhrs_epi16(d, f));
}

// Lerp of BilinearSample.h on 16 lanes.
CROSSMELD_AVX2_INLINE __m256i Lerp16(__m256i a, __m256i b, __m256i f) {
    const __m256i d = _mm256_sub_epi16(b, a);
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_add_epi16(d, d), f));
}

// One picture read at the 16 pixels' positions: three channel planes.
CROSSMELD_AVX2_INLINE Planes Sample(const SampleSource& src, __m256i xa, __m256i ya, __m256i xb, __m256i yb) {
    const __m256i lastX = _mm256_set1_epi32(src.width - 2), lastY = _mm256_set1_epi32(src.height - 2);
    const __m256i width = _mm256_set1_epi32(src.width);
    __m256i fxa, fya, fxb, fyb;
    const __m256i cxa = Split(xa, lastX, fxa), cya = Split(ya, lastY, fya);
    const __m256i cxb = Split(xb, lastX, fxb), cyb = Split(yb, lastY, fyb);
    alignas(32) std::uint32_t index[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_add_epi32(_mm256_mullo_epi32(cya, width), cxa));
    _mm256_store_si256(reinterpret_cast<__m256i*>(index + 8), _mm256_add_epi32(_mm256_mullo_epi32(cyb, width), cxb));
    // Plain loads of the indices beat extracting them from the vector.
    asm volatile("" : : "r"(index) : "memory");
    const std::uint8_t* row0 = src.bits;
    const std::uint8_t* row1 = src.bits + 4 * static_cast<std::size_t>(src.width);
    const __m256i fx = _mm256_packus_epi32(fxa, fxb), fy = _mm256_packus_epi32(fya, fyb);
    // Row by row, so that fewer vectors are live at once.
    __m256i la, ra, lb, rb;
    LeftRight(row0, index, la, ra);
    LeftRight(row0, index + 8, lb, rb);
    const Planes p00 = Channels(la, lb), p10 = Channels(ra, rb);
    LeftRight(row1, index, la, ra);
    LeftRight(row1, index + 8, lb, rb);
    const Planes p01 = Channels(la, lb), p11 = Channels(ra, rb);
    Planes out;
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c)
        out.c[c] = Lerp16(LerpBytes(p00.c[c], p01.c[c], fy), LerpBytes(p10.c[c], p11.c[c], fy), fx);
    return out;
}

template <bool kFits>
CROSSMELD_AVX2_INLINE void Groups(const RunSources& sources, std::uint8_t* pixels, std::int32_t count,
                                  const double start[4], const double step[4]) {
    __m256d s[4], a[4], m[4];
    __m256i mf[4];
    for (int k = 0; k < 4; ++k) {
        s[k] = _mm256_set1_pd(start[k]);
        a[k] = _mm256_set1_pd(step[k]);
        m[k] = _mm256_set1_pd(sources.max[k]);
        mf[k] = _mm256_set1_epi32(static_cast<std::int32_t>(sources.max[k]));
    }
    const __m256i weight = _mm256_set1_epi16(static_cast<std::int16_t>(sources.wq));
    const __m256i half = _mm256_set1_epi16((1 << (kValueBits - 1)) - 1), one = _mm256_set1_epi16(1);
    const __m256i unused = _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
    const __m256d iota = _mm256_setr_pd(0, 1, 2, 3), four = _mm256_set1_pd(4);
    for (std::int32_t j = 0;; j += kVectorRun) {
        if (j > count - kVectorRun) {
            if (j == count) break;
            j = count - kVectorRun;  // the last group overlaps the one before
        }
        const __m256d j0 = _mm256_add_pd(_mm256_set1_pd(j), iota), j1 = _mm256_add_pd(j0, four);
        const __m256d j2 = _mm256_add_pd(j1, four), j3 = _mm256_add_pd(j2, four);
        __m256i c[8];
        for (int k = 0; k < 4; ++k) {
            c[k] = Coordinates<kFits>(s[k], a[k], m[k], mf[k], j0, j1);
            c[k + 4] = Coordinates<kFits>(s[k], a[k], m[k], mf[k], j2, j3);
        }
        const Planes sp = Sample(sources.start, c[0], c[1], c[4], c[5]);
        const Planes ep = Sample(sources.end, c[2], c[3], c[6], c[7]);
        __m256i v[3];
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            const __m256i x = Lerp16(sp.c[c], ep.c[c], weight);
            // Halves to even, as MixPixel.
            const __m256i odd = _mm256_and_si256(_mm256_srli_epi16(x, kValueBits), one);
            v[c] = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x, half), odd), kValueBits);
        }
        // Back to pixels: blue | green << 8 beside red in each 32-bit value.
        const __m256i blueGreen = _mm256_or_si256(v[0], _mm256_slli_epi16(v[1], 8));
        __m256i* pa = reinterpret_cast<__m256i*>(pixels + 4 * static_cast<std::size_t>(j));
        __m256i* pb = pa + 1;
        const __m256i outA =
            _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(pa), unused), _mm256_unpacklo_epi16(blueGreen, v[2]));
        const __m256i outB =
            _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(pb), unused), _mm256_unpackhi_epi16(blueGreen, v[2]));
        _mm256_storeu_si256(pa, outA);
        _mm256_storeu_si256(pb, outB);
    }
}

}  // namespace

CROSSMELD_AVX2 void MixRunAvx2(const RunSources& sources, std::uint8_t* pixels, std::int32_t count,
                               const double start[4], const double step[4]) {
    if (count < kVectorRun) return;
    // The positions of a run are monotonic in j: its ends bound them all.
    const double last = count - 1;
    bool fits = true;
    for (int k = 0; k < 4; ++k) {
        const double first = start[k], end = start[k] + last * step[k];
        fits = fits && first > -kFitLimit && first < kFitLimit && end > -kFitLimit && end < kFitLimit;
    }
    if (fits)
        Groups<true>(sources, pixels, count, start, step);
    else
        Groups<false>(sources, pixels, count, start, step);
}

bool HaveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

#else

void MixRunAvx2(const RunSources&, std::uint8_t*, std::int32_t, const double*, const double*) {}
bool HaveAvx2() {
    return false;
}

#endif

}  // namespace crossmeld::MeshWarp
