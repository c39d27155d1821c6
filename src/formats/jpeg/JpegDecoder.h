#pragma once
// JPEG decoding through libjpeg-turbo.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/PictureLimits.h"
#include "raster/Surface.h"

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

// A JPEG file as the picture loader reads it.
struct JpegPicture {
    std::shared_ptr<Surface> surface;  // upright
    // libjpeg's warnings ("Premature end of JPEG file", "Corrupt JPEG data:
    // ..."), each distinct text once, in order, at most 8; warnings after
    // "Premature end of JPEG file" only repeat that damage and are dropped.
    std::vector<std::string> warnings;
    int orientation = 1;  // the EXIF orientation that was applied (1 to 8)
};

// DecodeJpeg, keeping the warnings, then turned upright by the file's EXIF
// orientation (see JpegOrientation.h). Raises as DecodeJpeg does.
JpegPicture DecodeJpegPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
