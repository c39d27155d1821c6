#pragma once
// PNG decoding through libpng.

#include <cstdint>
#include <memory>
#include <span>

#include "base/PictureLimits.h"
#include "raster/Surface.h"

namespace crossmeld {

// True when the bytes start with the 8-byte PNG signature (89 "PNG" 0D 0A
// 1A 0A).
bool HasPngSignature(std::span<const std::uint8_t> bytes);

// Decodes a PNG file into a 24-bit top-down surface: every colour type and
// bit depth, palettes, interlacing. 16-bit samples keep their high byte.
// Transparency (an alpha channel or a tRNS chunk) is flattened over white,
// the way a picture with holes looks on a page:
// out = (c x a + 255 x (255 - a)) / 255, rounded. Gamma and colour-profile
// chunks are ignored.
//
// A broken file is refused with Error(InvalidPicture) and libpng's message:
// a bad signature, invalid header values, a CRC error in any chunk, a broken
// compressed stream, missing or truncated image data, a side above
// kMaxPictureSide or an area above maxPixels. Chunks after the image data are
// not read.
std::shared_ptr<Surface> DecodePng(std::span<const std::uint8_t> file, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
