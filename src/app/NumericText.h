#pragma once
// Reading the main window's text fields and stored values as numbers and
// booleans. The accepted syntax is a general number: optional surrounding
// spaces, an optional sign, digits with at most one decimal point ('.') and
// at least one digit, and an optional exponent (e or E, optional sign,
// digits). Empty text is not a number.

#include <cstdint>
#include <string_view>

namespace crossmeld {

bool IsNumericText(std::string_view text);

// The value of numeric text. Error(TypeMismatch) when the text is not a
// number, Error(Overflow) when it lies beyond the double range.
double TextToNumber(std::string_view text);

// The value as a 16-bit integer: fractions round to the nearest integer,
// halves to the even neighbour (12.5 -> 12, 13.5 -> 14); Error(Overflow)
// outside -32768 .. 32767, Error(TypeMismatch) for text that is no number.
std::int16_t TextToInt16(std::string_view text);

// True or False in any letter case (surrounding spaces allowed), or a number
// (nonzero is true); anything else is Error(TypeMismatch).
bool TextToBoolean(std::string_view text);

}  // namespace crossmeld
