#pragma once
// JPEG decoding through libjpeg-turbo.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/BitmapFile.h"
#include "platform/raster/Surface.h"

namespace crossmeld {

// Decodes a JPEG file into a 24-bit top-down surface: baseline, extended,
// progressive and arithmetic-coded; grey, YCbCr, RGB, CMYK and YCCK; any
// sampling; restart markers. The pixels are exactly those of libjpeg's
// default (accurate integer IDCT, smooth upsampling) decode. CMYK samples are
// read with the Adobe (inverted) polarity, as virtually every CMYK JPEG is
// written, and turned into RGB as (255 - C) x (255 - K) / 255 per channel.
//
// A file that ends early keeps what was decoded; libjpeg fills the rest of
// the picture with grey. Recoverable data errors are likewise accepted.
// Anything else (no image, unsupported process or precision, broken tables,
// a side above kMaxPictureSide or an area above maxPixels) raises
// Error(InvalidPicture) with libjpeg's message or ours.
std::shared_ptr<Surface> DecodeJpeg(std::span<const std::uint8_t> file, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
