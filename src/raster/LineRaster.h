#pragma once
// One-pixel lines. A line from a to b visits n = max(|dx|, |dy|) pixels, one
// per step along the longer axis, starting at a and stopping before b. At
// step i the shorter axis has moved i * |d| / n pixels, rounded to nearest
// with exact halves kept toward a. Clipping picks the visible steps by
// arithmetic, so lines far outside the surface cost nothing.

#include <cstdint>

#include "raster/DeviceContext.h"

namespace crossmeld::raster {

void DrawLine(Surface& surface, Point a, Point b, std::uint32_t raw);

}  // namespace crossmeld::raster
