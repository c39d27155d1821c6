#pragma once
// Shrinking a picture by area averaging, for previews: every target pixel
// is the mean of the source area it covers, with the pixels on its border
// counted by the fraction that lies inside it.

#include <cstdint>
#include <span>
#include <vector>

namespace crossmeld {

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The largest size of the source's aspect that fits in the box, never
// larger than the source itself; each side at least 1 (rounded halves to
// even). 0 x 0 when the source or the box is empty.
PixelSize FitInBox(PixelSize source, PixelSize box);

// Area average of a 32-bit blue, green, red, x picture (4 x W x H bytes, top
// row first, no row filler) into one of the target size, each channel
// rounded halves up; the fourth byte becomes 0. A target larger than the
// source spreads each source pixel over the target pixels it covers. Empty
// when a size is below 1 or the source holds too few bytes.
std::vector<std::uint8_t> AreaDownscale(std::span<const std::uint8_t> bgrx, PixelSize source, PixelSize target);

}  // namespace crossmeld
