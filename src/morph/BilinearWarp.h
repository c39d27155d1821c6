#pragma once
// Warping with smooth sampling, for meshes whose points were moved.
//
// The frame grid holds the identifier raster painted by PaintTriangleIds:
// it says which frame triangle covers each pixel (a pixel whose identifier
// names no triangle keeps its colour, as in WarpBlendFrame). Every covered
// pixel (x, y) goes through the affine map of its frame triangle onto the
// matching start and end triangles; each picture is read there by bilinear
// interpolation of the four neighbouring pixels (clamped at the picture's
// edge), and the frame pixel is (1 - w) * start + w * end rounded halves to
// even, within one level of that exact formula. Channel 3 is left as it is.
//
// Errors: SubscriptOutOfRange when the frame grid's bytes do not fill it, or
// a covered pixel's triangle is missing from a list or its picture grid is
// unusable (as in WarpBlendFrame); Overflow for a weight outside [0, 1] or a
// picture side above 65536.

#include "morph/ControlMesh.h"
#include "morph/PixelGrid.h"

namespace crossmeld::MeshWarp {

// How a moved mesh reads the pictures: bilinear (smooth) or the engine's own
// nearest-pixel arithmetic. Equal start and end meshes always take the
// nearest-pixel path, which is then an exact cross-dissolve.
enum class Sampling { Bilinear, Nearest };

void BilinearWarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                            const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w);

}  // namespace crossmeld::MeshWarp
