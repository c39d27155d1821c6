#pragma once
// Pixel words of 16-, 24- and 32-bit bitmap files with any channel masks,
// converted to a 32-bit surface.

#include <cstdint>
#include <span>

#include "formats/bmp/BmpHeaders.h"
#include "raster/Surface.h"

namespace crossmeld {

// A channel value of the given width scaled to 0..255, rounded to nearest.
std::uint8_t WidenChannel(std::uint32_t value, int bits);

// Converts the pixel data (validated by ReadBmpLayout) into a 32-bit surface
// of the layout's size and row order. Each channel is widened to eight bits
// with WidenChannel. When the layout has an alpha channel, colours are
// composited over black (multiplied by alpha, rounded once); a picture whose
// alpha values are all 0 is taken as opaque, since such files use the alpha
// field as filler.
void DecodeBmpBitfields(std::span<const std::uint8_t> pixels, const BmpLayout& layout, Surface& surface);

}  // namespace crossmeld
