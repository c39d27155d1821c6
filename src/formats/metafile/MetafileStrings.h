#pragma once
// Text in metafile records: UTF-16 (EMF) and 8-bit ANSI code page 1252
// (WMF, EMF ANSI records), as code points; face names as UTF-8.

#include <cstdint>
#include <span>
#include <string>

namespace crossmeld::metafile {

// Unpaired surrogates become U+FFFD.
std::u32string DecodeUtf16(std::span<const std::uint8_t> littleEndian);
std::u32string DecodeAnsi(std::span<const std::uint8_t> bytes);
std::string ToUtf8(const std::u32string& text);
// Up to the first NUL.
std::u32string UntilNul(std::u32string text);

}  // namespace crossmeld::metafile
