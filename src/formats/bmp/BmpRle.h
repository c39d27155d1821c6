#pragma once
// Run-length encoded pixel data of 8- and 4-bit bitmap files.

#include <cstdint>
#include <span>

#include "raster/Surface.h"

namespace crossmeld {

// Decodes RLE8 (rle4 false) or RLE4 data into a surface of 8 or 4 bits per
// pixel whose first file row is its bottom row. Pixels the data skips (delta,
// end of line, end of bitmap) keep index 0. Data that ends without an
// end-of-bitmap code leaves the rest undecoded. Runs may extend into the
// row's four-byte padding (those pixels are dropped); a run past the padded
// row or the last row, or a delta that leaves the picture, raises
// Error(InvalidPicture).
void DecodeBmpRle(std::span<const std::uint8_t> data, Surface& surface, bool rle4);

}  // namespace crossmeld
