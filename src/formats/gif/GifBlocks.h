#pragma once
// The blocks of a GIF file as the writers put them down: header, logical
// screen descriptor, colour tables, the looping application extension,
// graphic control extension and image descriptor. All multi-byte numbers
// are 16-bit little-endian. Shared by the document's writer and the
// streaming writer, so both give the same bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "base/ByteWriter.h"

namespace crossmeld::gif {

inline constexpr std::size_t kPaletteBytes = 1024;  // 256 entries of blue, green, red, reserved

// Raises Error(PathFileAccessError) once a write has failed.
void CheckWritten(const ByteWriter& out);

// The value as a flags byte; Error(Overflow) naming what when it does not fit.
std::uint8_t FlagByte(std::int32_t value, const char* what);

// The colour table size exponent: the smallest g >= 1 with 2^g >= entries.
// Error(SubscriptOutOfRange) past 256 entries.
std::int32_t TableExponent(std::int16_t entries);

// 2^exponent entries of red, green, blue, zero past the meaningful ones,
// from a palette of blue, green, red, reserved entries.
std::vector<std::uint8_t> ColorTable(std::span<const std::uint8_t, kPaletteBytes> palette, std::int16_t entries,
                                     std::int32_t exponent);

// The screen descriptor's flags for a global table of 2^exponent entries.
std::uint8_t ScreenFlags(std::int32_t exponent, bool sorted);

void WriteHeader(ByteWriter& out, const char* version);
void WriteLogicalScreenDescriptor(ByteWriter& out, std::int16_t width, std::int16_t height, std::uint8_t flags,
                                  std::uint8_t background, std::uint8_t aspect);
// The application extension "NETSCAPE2.0" carrying the loop count.
void WriteLoopingExtension(ByteWriter& out, std::int16_t loops);
void WriteGraphicControlExtension(ByteWriter& out, std::uint8_t flags, std::int16_t delay,
                                  std::uint8_t transparentIndex);
void WriteImageDescriptor(ByteWriter& out, std::int16_t left, std::int16_t top, std::int16_t width,
                          std::int16_t height, std::uint8_t flags);

}  // namespace crossmeld::gif
