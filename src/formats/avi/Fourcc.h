#pragma once
// Four-character codes: four bytes read as one little-endian 32-bit value,
// so that 'vids' is 0x73646976 and the code's text is its bytes in memory
// order.

#include <cstdint>

namespace crossmeld::avi {

constexpr std::uint32_t MakeFourcc(char a, char b, char c, char d) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr std::uint32_t MakeFourcc(const char (&code)[5]) noexcept {
    return MakeFourcc(code[0], code[1], code[2], code[3]);
}

// Codes of the container and the two codecs.
inline constexpr std::uint32_t kStreamTypeVideo = MakeFourcc("vids");
inline constexpr std::uint32_t kHandlerDib = MakeFourcc("DIB ");
inline constexpr std::uint32_t kHandlerMjpg = MakeFourcc("MJPG");

}  // namespace crossmeld::avi
