#pragma once
// 128-bit integers for the exact coverage arithmetic of the rasterisers:
// products of two 33-bit coordinate differences overflow 64 bits.

#include <cstdint>

namespace crossmeld::raster {

__extension__ using Int128 = __int128;
__extension__ using UInt128 = unsigned __int128;

// Division rounding up / down, for a positive divisor.
constexpr Int128 CeilDiv(Int128 a, Int128 d) noexcept {
    Int128 q = a / d;
    return (a % d > 0) ? q + 1 : q;
}
constexpr Int128 FloorDiv(Int128 a, Int128 d) noexcept {
    Int128 q = a / d;
    return (a % d < 0) ? q - 1 : q;
}

}  // namespace crossmeld::raster
