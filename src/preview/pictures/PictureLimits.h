#pragma once
// The size check every picture decoder applies to a declared size before it
// allocates anything.

#include <cstdint>

#include "platform/BitmapFile.h"

namespace crossmeld {

// Raises Error(InvalidPicture) when a side is below 1 or above
// kMaxPictureSide, or the area is above maxPixels.
void CheckPictureSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
