#pragma once
// Icon (.ico) and cursor (.cur) files: the picture loader reads them like
// any other picture, and the window takes its hand pointer from a cursor
// file.

#include <cstdint>
#include <memory>
#include <span>

#include "raster/Surface.h"

namespace crossmeld {

struct IconImage {
    // 32-bit top-down; the fourth byte of each pixel is its opacity
    // (0 transparent ... 255 opaque).
    std::shared_ptr<Surface> image;
    std::int32_t hotspotX = 0;  // cursors only; 0 for icons
    std::int32_t hotspotY = 0;
};

// Decodes the largest image of the file (the first of equal size). Images
// may be bitmaps (1, 4, 8, 24 or 32 bits with the AND mask or, for 32 bits,
// their own opacity) or PNG (taken as opaque). Raises
// Error(InvalidPicture) on anything it cannot read.
IconImage DecodeIconFile(std::span<const std::uint8_t> file);

// True when the bytes start like an icon or cursor directory.
bool LooksLikeIconFile(std::span<const std::uint8_t> file);

// The image flattened over white, as a picture shows it.
std::shared_ptr<Surface> FlattenIcon(const IconImage& icon);

}  // namespace crossmeld
