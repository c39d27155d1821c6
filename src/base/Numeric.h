#pragma once
// Numeric conventions shared by the whole program.
//
// Every conversion from floating point to an integer type rounds to the
// nearest value with halves going to the even neighbour (2.5 -> 2, 3.5 -> 4)
// and raises an overflow error when the rounded value does not fit the
// target. "Single precision" steps are real float roundings. Integer
// arithmetic on 32-bit values that must not wrap goes through the checked_*
// helpers. Nobody writes (int) or std::round on such values.

#include <cstdint>

namespace crossmeld {

// Round to nearest, ties to even, as a double holding an integral value.
double RoundHalfEven(double value) noexcept;

std::uint8_t ToByte(double value);    // 0 .. 255
std::int16_t ToInt16(double value);   // -32768 .. 32767
std::int32_t ToInt32(double value);   // -2^31 .. 2^31 - 1

// A single-precision rounding step: the double value held as a float.
// Overflow when the magnitude is beyond the float range.
float ToSingle(double value);

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
