#pragma once
// WMF and EMF files as pictures: the metafile played onto a white 24-bit
// surface of its natural size at 96 dots per inch.
//
// - Placeable WMF: the header's bounding box in its units per inch.
// - WMF without the placeable header: its window extent (the first
//   SetWindowExt record), one logical unit to a pixel.
// - EMF: the header's frame, in 0.01 mm.
//
// The drawing records are played by MetafilePlayer (MetafilePlayer.h gives
// the mapping and what is simplified, MetafileCanvas.h the coverage rules);
// records the player does not know are skipped. A file whose records run
// past its end, whose header or sizes are absurd, or that has no size is
// refused with Error(InvalidPicture); nothing larger than the picture
// (CheckPictureSize, with maxPixels), the file itself, or the path limits of
// MetafilePlayer.h is allocated.

#include <cstdint>
#include <memory>
#include <span>

#include "base/PictureLimits.h"
#include "raster/Surface.h"

namespace crossmeld {

std::shared_ptr<Surface> DecodeWmfPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels = kMaxPicturePixels);
std::shared_ptr<Surface> DecodeEmfPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels = kMaxPicturePixels);

}  // namespace crossmeld
