#pragma once
// Ellipse inscribed in the box l <= x < r, t <= y < b.
//
// The ideal ellipse touches the box's outer edges; a pixel belongs to the
// ellipse when its centre lies inside or on it. In doubled coordinates about
// the box centre, X = 2x + 1 - (l + r), Y = 2y + 1 - (t + b), W = r - l,
// H = b - t, that is X^2 H^2 + Y^2 W^2 <= W^2 H^2, evaluated exactly. Each row
// is one run; the outline is the part of the run not covered by both
// neighbouring rows' runs (at least its two end pixels, the whole run on the
// first and last rows), which makes a closed, one-pixel, 8-connected ring.

#include <cstdint>
#include <optional>

#include "raster/DeviceContext.h"

namespace crossmeld::raster {

// Pen and brush values already converted to the surface's stored values;
// an empty optional draws nothing for that part.
void DrawEllipse(Surface& surface, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                 std::optional<std::uint32_t> pen, std::optional<std::uint32_t> brush);

}  // namespace crossmeld::raster
