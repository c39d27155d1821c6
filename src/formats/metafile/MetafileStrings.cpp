#include "formats/metafile/MetafileStrings.h"

namespace crossmeld::metafile {
namespace {

// Code page 1252 at 0x80 .. 0x9F; the other bytes are Latin-1.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

}  // namespace

std::u32string DecodeUtf16(std::span<const std::uint8_t> in) {
    std::u32string out;
    out.reserve(in.size() / 2);
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        char32_t u = in[i] | (in[i + 1] << 8);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < in.size()) {
            const char32_t low = in[i + 2] | (in[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                out.push_back(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        out.push_back(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    return out;
}

std::u32string DecodeAnsi(std::span<const std::uint8_t> bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) out.push_back(b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : char32_t{b});
    return out;
}

std::string ToUtf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u32string UntilNul(std::u32string text) {
    if (auto n = text.find(U'\0'); n != std::u32string::npos) text.resize(n);
    return text;
}

}  // namespace crossmeld::metafile
