#pragma once
// The size check every picture decoder applies to a declared size before it
// allocates anything.

#include <cstdint>

namespace crossmeld {

// Limits applied before any allocation: a side above kMaxPictureSide pixels
// or an area above kMaxPicturePixels is refused as an invalid picture.
inline constexpr std::int64_t kMaxPictureSide = 32767;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;

// Raises Error(InvalidPicture) when a side is below 1 or above
// kMaxPictureSide, or the area is above maxPixels.
void CheckPictureSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
