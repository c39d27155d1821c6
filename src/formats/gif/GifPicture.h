#pragma once
// GIF files as pictures: the first frame drawn on a surface of the logical
// screen's size. Pixels the frame does not cover, and its transparent
// pixels, are white (as transparent PNG pixels and icon backgrounds are).

#include <cstdint>
#include <memory>
#include <span>

#include "raster/Surface.h"

namespace crossmeld {

// Raises Error(InvalidPicture) for a file without a GIF header, without an
// image, whose first image could not be read (refused for its size), or
// whose screen is larger than a picture may be.
std::shared_ptr<Surface> DecodeGifPicture(std::span<const std::uint8_t> file);

}  // namespace crossmeld
