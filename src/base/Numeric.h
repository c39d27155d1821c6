#pragma once
// Numeric conventions shared by the whole program.
//
// Every conversion from floating point to an integer type rounds to the
// nearest value with halves going to the even neighbour (2.5 -> 2, 3.5 -> 4)
// and raises an overflow error when the rounded value does not fit the
// target. "Single precision" steps are real float roundings. Integer
// arithmetic on 32-bit values that must not wrap goes through the checked_*
// helpers. Nobody writes (int) or std::round on such values.
//
// The conversions are inline: the engine makes several per pixel. Only
// their error paths are out of line.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace crossmeld {

// Raises Error(Overflow).
[[noreturn]] void RaiseOverflow();

// Round to nearest, ties to even, as a double holding an integral value.
// Explicit ties-to-even, so the result never depends on the floating-point
// environment's rounding mode. At or beyond 2^52 in magnitude every double
// is a whole number (NaN and infinities pass through as well).
inline double RoundHalfEven(double value) noexcept {
    if (!(std::fabs(value) < 4503599627370496.0)) return value;
    const double floor = std::floor(value);
    const double diff = value - floor;  // exact below 2^52
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return (static_cast<std::int64_t>(floor) & 1) == 0 ? floor : floor + 1.0;
}

template <typename T>
inline T ToIntegral(double value) {
    const double r = RoundHalfEven(value);
    // NaN fails both comparisons' negation.
    if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
          r <= static_cast<double>(std::numeric_limits<T>::max())))
        RaiseOverflow();
    return static_cast<T>(r);
}

inline std::uint8_t ToByte(double value) { return ToIntegral<std::uint8_t>(value); }    // 0 .. 255
inline std::int16_t ToInt16(double value) { return ToIntegral<std::int16_t>(value); }   // -32768 .. 32767
inline std::int32_t ToInt32(double value) { return ToIntegral<std::int32_t>(value); }   // -2^31 .. 2^31 - 1

// A single-precision rounding step: the double value held as a float.
// Overflow when the magnitude is beyond the float range.
inline float ToSingle(double value) {
    const float f = static_cast<float>(value);
    // Values that round to FLT_MAX are still representable; a finite value
    // that rounds to infinity is not.
    if (std::isinf(f) && std::isfinite(value)) RaiseOverflow();
    return f;
}

std::int32_t CheckedAdd(std::int32_t a, std::int32_t b);
std::int32_t CheckedSub(std::int32_t a, std::int32_t b);
std::int32_t CheckedMul(std::int32_t a, std::int32_t b);
// Integer division truncating toward zero; division by zero error on b == 0,
// overflow on INT32_MIN / -1.
std::int32_t CheckedDiv(std::int32_t a, std::int32_t b);

// Narrowing of an integer to 16 bits with an overflow error.
std::int16_t CheckedInt16(std::int64_t value);
std::int32_t CheckedInt32(std::int64_t value);

}  // namespace crossmeld
