#pragma once
// The EXIF orientation of a JPEG file (how the camera was held) and turning
// a decoded picture upright by it, as viewers and browsers show it.

#include <cstdint>
#include <memory>
#include <span>

#include "raster/Surface.h"

namespace crossmeld {

// The orientation tag (0x0112, a SHORT) of IFD0 in the first APP1 segment
// that starts with "Exif\0\0" before the first scan: 1 to 8. Anything else
// gives 1 (as is): no such segment or tag, another type or count, a value
// outside 1 to 8, and every damaged or hostile block (bad byte order, offsets
// past the end, truncation). Only IFD0 is read, so a looping IFD chain costs
// nothing.
int ReadJpegOrientation(std::span<const std::uint8_t> file);

// The same for the TIFF structure of an EXIF block (what follows "Exif\0\0").
int ReadExifOrientation(std::span<const std::uint8_t> tiff);

// A new 24-bit top-down surface with the picture turned upright: 2 mirror
// left-right, 3 rotate 180 degrees, 4 mirror top-bottom, 5 transpose (mirror
// over the main diagonal), 6 rotate 90 degrees clockwise, 7 transverse
// (mirror over the other diagonal), 8 rotate 90 degrees counter-clockwise;
// 5 to 8 swap width and height. Orientation 1 (or any other value) returns
// the surface itself. Null when the new surface cannot be allocated.
std::shared_ptr<Surface> OrientSurface(std::shared_ptr<Surface> surface, int orientation);

}  // namespace crossmeld
