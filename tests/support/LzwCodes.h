#pragma once
// Hand-made LZW data for the GIF tests: codes packed least significant bit
// first, each with the width the test gives (no LZW logic of its own).

#include <cstdint>
#include <utility>
#include <vector>

namespace crossmeld::test {

inline std::vector<std::uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
    std::vector<std::uint8_t> out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (auto [code, width] : codes) {
        buffer |= static_cast<std::uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<std::uint8_t>(buffer & 255));
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out.push_back(static_cast<std::uint8_t>(buffer & 255));
    return out;
}

}  // namespace crossmeld::test
