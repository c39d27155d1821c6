#pragma once
// Loading a bitmap file straight into a DIB surface, with the file's own
// depth, colour table and row order (no conversion, unlike the picture
// loader).

#include <cstdint>
#include <string>

#include "raster/DibSurface.h"

namespace crossmeld {

// Returns the file's bits per pixel. Missing file: Error(FileNotFound).
// Zero-length file: 0, the surface unchanged. A file that cannot be read or
// decoded: 0, the surface empty.
std::uint8_t LoadBitmapFileInto(DibSurface& dib, const std::string& path);

}  // namespace crossmeld
