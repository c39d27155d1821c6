#pragma once
// Windows bitmap files: the decoder behind the picture loader and the DIB
// loader, and the 24-bit writer behind the picture saver.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/PictureLimits.h"
#include "raster/Surface.h"

namespace crossmeld {

// Decodes a BMP file (or a DIB: a BITMAPINFOHEADER-family header without the
// file header when isDib is true) into a surface. Windows and OS/2 headers;
// 1, 4, 8, 16, 24, 32 bits; RLE4, RLE8; BITFIELDS; top-down or bottom-up.
// Depths the surface can hold directly (1/4/8 with their table, 16 as 5-5-5,
// 24, 32 without alpha) keep their depth and the file's row order; others
// become 32-bit surfaces. Alpha (bit-field files with an alpha mask) is
// composited over black; colour indices past the file's table show black.
// Raises Error(InvalidPicture) with a description on anything it cannot read.
std::shared_ptr<Surface> DecodeBitmapFile(std::span<const std::uint8_t> file, bool isDib = false);

// The surface as a 24-bit bottom-up Windows bitmap file (BITMAPINFOHEADER).
std::vector<std::uint8_t> EncodeBitmapFile24(const Surface& surface);

}  // namespace crossmeld
