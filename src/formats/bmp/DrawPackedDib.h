#pragma once
// Draws a packed DIB (information header, colour table, pixels) into a
// drawing context, scaled by nearest neighbour: rows and columns are
// dropped or repeated, never blended, as StretchBlock does it.
//
//   DrawPackedDib(dc, {0, 0, width, height}, frame);   // the whole frame, scaled
//
// The DIB is uncompressed, 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel,
// with bottom-up or top-down rows (a negative biHeight), as the AVI frame
// reader delivers frames.

#include <cstdint>
#include <span>

#include "raster/DeviceContext.h"

namespace crossmeld {

// Draws the source rectangle of the DIB, counted from its top-left pixel
// whatever its row order, onto the target rectangle of the context, clipped
// to both. An empty rectangle draws nothing. False for a context without a
// surface, a rectangle whose right is left of its left (or bottom above its
// top), or a DIB that is not one of the kinds above or is shorter than its
// header says.
bool DrawPackedDib(DeviceContext& dc, const Rect& target, std::span<const std::uint8_t> dib,
                   const Rect& source) noexcept;

// The whole DIB onto the target rectangle.
bool DrawPackedDib(DeviceContext& dc, const Rect& target, std::span<const std::uint8_t> dib) noexcept;

}  // namespace crossmeld
