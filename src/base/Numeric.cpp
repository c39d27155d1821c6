#include "base/Numeric.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "base/Error.h"

namespace crossmeld {

void RaiseOverflow() { throw Error(ErrorKind::Overflow); }

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
