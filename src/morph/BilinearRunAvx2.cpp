// The 8-pixel kernel of a run: the integer steps of BilinearSample.h with
// the channels held apart, 8 pixels per 32-bit lane vector. Built for AVX2
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

#define CROSSMELD_AVX2 __attribute__((target("avx2")))
#define CROSSMELD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Fixed-point coordinates of pixels j .. j + 7 (jlo, jhi) for one axis.
CROSSMELD_AVX2_INLINE __m256i Coordinates(double start, double step, double max, __m256d jlo, __m256d jhi) {
    const __m256d s = _mm256_set1_pd(start), a = _mm256_set1_pd(step);
    const __m256d low = _mm256_set1_pd(0.5), high = _mm256_set1_pd(max);
    const __m256d p0 = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(s, _mm256_mul_pd(jlo, a)), low), high);
    const __m256d p1 = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(s, _mm256_mul_pd(jhi, a)), low), high);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm256_cvttpd_epi32(p0)), _mm256_cvttpd_epi32(p1), 1);
}

// Cell and weight pair (kFracOne - f, f) per lane, as SplitCoordinate.
CROSSMELD_AVX2_INLINE __m256i Split(__m256i fixed, std::int32_t size, __m256i& weights) {
    const __m256i cell = _mm256_min_epi32(_mm256_srli_epi32(fixed, kFracBits), _mm256_set1_epi32(size - 2));
    const __m256i f = _mm256_sub_epi32(fixed, _mm256_slli_epi32(cell, kFracBits));
    weights = _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(kFracOne), f), _mm256_slli_epi32(f, 16));
    return cell;
}

// Byte c of every pixel of a into the low 16 bits and of b into the high 16 bits.
template <char c>
CROSSMELD_AVX2_INLINE __m256i ChannelPairs(__m256i a, __m256i b) {
    constexpr char z = -128, c0 = c, c1 = c + 4, c2 = c + 8, c3 = c + 12;
    const __m256i low = _mm256_setr_epi8(c0, z, z, z, c1, z, z, z, c2, z, z, z, c3, z, z, z, c0, z, z, z, c1, z, z,
                                         z, c2, z, z, z, c3, z, z, z);
    const __m256i high = _mm256_setr_epi8(z, z, c0, z, z, z, c1, z, z, z, c2, z, z, z, c3, z, z, z, c0, z, z, z, c1,
                                          z, z, z, c2, z, z, z, c3, z);
    return _mm256_or_si256(_mm256_shuffle_epi8(a, low), _mm256_shuffle_epi8(b, high));
}

// Each pixel's left and right neighbours are one 8-byte load per row;
// pixels 0, 1, 4, 5 go to one vector and 2, 3, 6, 7 to another, so that the
// even and odd 32-bit values of the two are the left and right neighbours of
// pixels 0 .. 7 in order.
CROSSMELD_AVX2_INLINE __m128i Neighbours(const std::uint8_t* row, std::int32_t a, std::int32_t b) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::size_t>(a)));
    const double* hi = reinterpret_cast<const double*>(row + 4 * static_cast<std::size_t>(b));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo), hi));
}
CROSSMELD_AVX2_INLINE void LeftRight(const std::uint8_t* row, const std::int32_t* index, __m256i& left, __m256i& right) {
    const __m256 a = _mm256_castsi256_ps(
        _mm256_inserti128_si256(_mm256_castsi128_si256(Neighbours(row, index[0], index[1])), Neighbours(row, index[4], index[5]), 1));
    const __m256 b = _mm256_castsi256_ps(
        _mm256_inserti128_si256(_mm256_castsi128_si256(Neighbours(row, index[2], index[3])), Neighbours(row, index[6], index[7]), 1));
    left = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0x88));
    right = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0xDD));
}

// Channel c down the left and right columns (rounded to 7 fraction bits),
// then across.
template <char c>
CROSSMELD_AVX2_INLINE __m256i Channel(__m256i p00, __m256i p10, __m256i p01, __m256i p11, __m256i wx, __m256i wy) {
    const __m256i round7 = _mm256_set1_epi32(64);
    const __m256i left = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(ChannelPairs<c>(p00, p01), wy), round7), 7);
    const __m256i right = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(ChannelPairs<c>(p10, p11), wy), round7), 7);
    return _mm256_madd_epi16(_mm256_or_si256(left, _mm256_slli_epi32(right, 16)), wx);
}

// The samples of the three channels, 21 fraction bits, as SamplePortable.
CROSSMELD_AVX2_INLINE void Sample(const SampleSource& src, __m256i x, __m256i y, __m256i out[3]) {
    __m256i wx, wy;
    const __m256i cx = Split(x, src.width, wx);
    const __m256i cy = Split(y, src.height, wy);
    alignas(32) std::int32_t index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                       _mm256_add_epi32(_mm256_mullo_epi32(cy, _mm256_set1_epi32(src.width)), cx));
    const std::uint8_t* row0 = src.bits;
    const std::uint8_t* row1 = src.bits + 4 * static_cast<std::size_t>(src.width);
    __m256i p00, p10, p01, p11;
    LeftRight(row0, index, p00, p10);
    LeftRight(row1, index, p01, p11);
    out[0] = Channel<0>(p00, p10, p01, p11, wx, wy);
    out[1] = Channel<1>(p00, p10, p01, p11, wx, wy);
    out[2] = Channel<2>(p00, p10, p01, p11, wx, wy);
}

// One channel of the mix, halves to even, as MixPortable.
CROSSMELD_AVX2_INLINE __m256i Mix(__m256i s, __m256i e, __m256i weights) {
    const __m256i round14 = _mm256_set1_epi32(1 << 13);
    const __m256i s7 = _mm256_srai_epi32(_mm256_add_epi32(s, round14), 14);
    const __m256i e7 = _mm256_srai_epi32(_mm256_add_epi32(e, round14), 14);
    const __m256i v = _mm256_madd_epi16(_mm256_or_si256(s7, _mm256_slli_epi32(e7, 16)), weights);
    const __m256i odd = _mm256_and_si256(_mm256_srli_epi32(v, 21), _mm256_set1_epi32(1));
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(v, _mm256_set1_epi32((1 << 20) - 1)), odd), 21);
}

}  // namespace

CROSSMELD_AVX2 std::int32_t MixRunAvx2(const RunSources& sources, std::uint8_t* pixels, std::int32_t count,
                                       const double start[4], const double step[4]) {
    const __m256i weights =
        _mm256_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(sources.wq) << 16) |
                                                    static_cast<std::uint32_t>(kFracOne - sources.wq)));
    const __m256i unused = _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
    __m256d jlo = _mm256_setr_pd(0, 1, 2, 3), jhi = _mm256_setr_pd(4, 5, 6, 7);
    const __m256d eight = _mm256_set1_pd(8);
    std::int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        __m256i s[3], e[3];
        Sample(sources.start, Coordinates(start[0], step[0], sources.max[0], jlo, jhi),
               Coordinates(start[1], step[1], sources.max[1], jlo, jhi), s);
        Sample(sources.end, Coordinates(start[2], step[2], sources.max[2], jlo, jhi),
               Coordinates(start[3], step[3], sources.max[3], jlo, jhi), e);
        __m256i* px = reinterpret_cast<__m256i*>(pixels + 4 * static_cast<std::size_t>(j));
        __m256i out = _mm256_and_si256(_mm256_loadu_si256(px), unused);
        out = _mm256_or_si256(out, Mix(s[0], e[0], weights));
        out = _mm256_or_si256(out, _mm256_slli_epi32(Mix(s[1], e[1], weights), 8));
        out = _mm256_or_si256(out, _mm256_slli_epi32(Mix(s[2], e[2], weights), 16));
        _mm256_storeu_si256(px, out);
        jlo = _mm256_add_pd(jlo, eight);
        jhi = _mm256_add_pd(jhi, eight);
    }
    return j;
}

bool HaveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

#else

std::int32_t MixRunAvx2(const RunSources&, std::uint8_t*, std::int32_t, const double*, const double*) { return 0; }
bool HaveAvx2() { return false; }

#endif

}  // namespace crossmeld::MeshWarp
