#pragma once
// Scanline fill of a polygon by the alternate (even-odd) rule.
//
// A pixel is covered when its centre (x + 0.5, y + 0.5) lies inside. Vertices
// are integers, so a centre never lies on a vertex row and horizontal edges
// never touch a centre; a centre exactly on a sloped or vertical edge counts
// as inside for a left edge and outside for a right edge. Polygons that share
// an edge therefore cover each pixel next to it exactly once. Every decision
// is exact integer arithmetic.

#include <cstdint>
#include <span>

#include "raster/DeviceContext.h"

namespace crossmeld::raster {

// Stores `raw` in every covered pixel of the surface (clipped).
void FillPolygon(Surface& surface, std::span<const Point> points, std::uint32_t raw);

}  // namespace crossmeld::raster
