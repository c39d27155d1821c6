#include "app/NumericText.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The number without surrounding spaces and without a leading '+', ready for
// from_chars; empty when the text does not have the number syntax.
std::string_view NumberBody(std::string_view text) {
    std::string_view t = TrimSpaces(text);
    std::string_view body = t;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '+') body = t.substr(1);
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (IsDigit(t[i])) {
            ++digits;
        } else if (t[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return {};
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        for (; i < t.size() && IsDigit(t[i]); ++i) ++exponentDigits;
        if (exponentDigits == 0) return {};
    }
    if (i != t.size()) return {};
    return body;
}

// Whether a number body that from_chars found out of range is too large (as
// opposed to too small): the decimal exponent of its first significant digit
// is then positive. Only called for bodies that have the number syntax.
bool IsBeyondRange(std::string_view body) {
    if (!body.empty() && body[0] == '-') body.remove_prefix(1);
    const std::size_t e = body.find_first_of("eE");
    const std::string_view mantissa = body.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = body.substr(e + 1);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
        for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
        if (negative) exponent = -exponent;
    }
    const std::size_t point = mantissa.find('.');
    const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
    long long position = 0;  // decimal exponent of the first nonzero digit
    for (std::size_t i = 0; i < mantissa.size(); ++i) {
        if (mantissa[i] == '.' || mantissa[i] == '0') continue;
        position = i < integerDigits ? static_cast<long long>(integerDigits - i - 1)
                                     : -static_cast<long long>(i - integerDigits);
        break;
    }
    return position + exponent > 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool IsNumericText(std::string_view text) {
    return !NumberBody(text).empty();
}

double TextToNumber(std::string_view text) {
    const std::string_view body = NumberBody(text);
    if (body.empty()) throw Error(ErrorKind::TypeMismatch);
    double value = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large is an overflow; too small to tell from zero reads as zero.
        if (IsBeyondRange(body)) throw Error(ErrorKind::Overflow);
        return 0.0;
    }
    if (ec != std::errc() || end != body.data() + body.size()) throw Error(ErrorKind::TypeMismatch);
    return value;
}

std::int16_t TextToInt16(std::string_view text) {
    return ToInt16(TextToNumber(text));
}

bool TextToBoolean(std::string_view text) {
    const std::string_view t = TrimSpaces(text);
    if (EqualsIgnoringCase(t, "True")) return true;
    if (EqualsIgnoringCase(t, "False")) return false;
    return TextToNumber(t) != 0.0;
}

}  // namespace crossmeld
