#pragma once
// Byte values of the GIF block structure, shared by the reader and the
// writer, and the colour table of a frame's transparency mask.

#include <cstdint>

namespace crossmeld::gif {

inline constexpr std::uint8_t kExtensionIntroducer = 0x21;  // "!"
inline constexpr std::uint8_t kImageSeparator = 0x2C;       // ","
inline constexpr std::uint8_t kTrailer = 0x3B;              // ";"
inline constexpr std::uint8_t kGraphicControlLabel = 0xF9;
inline constexpr std::uint8_t kApplicationLabel = 0xFF;
inline constexpr std::uint8_t kBlockTerminator = 0;

// The AND surface's two-entry colour table: black (opaque), then white
// (transparent).
inline constexpr std::uint8_t kMaskTable[8] = {0, 0, 0, 0, 255, 255, 255, 0};

}  // namespace crossmeld::gif
