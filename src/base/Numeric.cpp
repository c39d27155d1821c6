#include "base/Numeric.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "base/Error.h"

namespace crossmeld {

double RoundHalfEven(double value) noexcept {
    // Explicit ties-to-even, so the result never depends on the floating-point
    // environment's rounding mode. At or beyond 2^52 in magnitude every double
    // is a whole number (NaN and infinities pass through as well).
    if (!(std::fabs(value) < 4503599627370496.0)) return value;
    const double floor = std::floor(value);
    const double diff = value - floor;  // exact below 2^52
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return (static_cast<std::int64_t>(floor) & 1) == 0 ? floor : floor + 1.0;
}

namespace {

template <typename T>
T ToIntegral(double value) {
    if (std::isnan(value)) throw Error(ErrorKind::Overflow);
    double r = RoundHalfEven(value);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        throw Error(ErrorKind::Overflow);
    return static_cast<T>(r);
}

}  // namespace

std::uint8_t ToByte(double value) { return ToIntegral<std::uint8_t>(value); }
std::int16_t ToInt16(double value) { return ToIntegral<std::int16_t>(value); }
std::int32_t ToInt32(double value) { return ToIntegral<std::int32_t>(value); }

float ToSingle(double value) {
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(FLT_MAX)) {
        // Values that round to FLT_MAX are still representable.
        float f = static_cast<float>(value);
        if (std::isinf(f)) throw Error(ErrorKind::Overflow);
        return f;
    }
    return static_cast<float>(value);
}

std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw Error(ErrorKind::Overflow);
    return r;
}

std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throw Error(ErrorKind::Overflow);
    return r;
}

std::int32_t CheckedMul(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw Error(ErrorKind::Overflow);
    return r;
}

std::int32_t CheckedDiv(std::int32_t a, std::int32_t b) {
    if (b == 0) throw Error(ErrorKind::DivisionByZero);
    if (a == std::numeric_limits<std::int32_t>::min() && b == -1) throw Error(ErrorKind::Overflow);
    return a / b;
}

std::int16_t CheckedInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw Error(ErrorKind::Overflow);
    return static_cast<std::int16_t>(value);
}

std::int32_t CheckedInt32(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw Error(ErrorKind::Overflow);
    return static_cast<std::int32_t>(value);
}

}  // namespace crossmeld
