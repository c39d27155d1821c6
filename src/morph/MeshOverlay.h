#pragma once
// Drawing a control mesh over a preview: a circle at every control point and
// the outline and diagonal of every cell.

#include <cstdint>

#include "morph/ControlMesh.h"
#include "raster/PictureBox.h"

namespace crossmeld::MeshWarp {

// Clears the picture's drawings, draws the mesh scaled by s with the
// picture's one-pixel pen (points in PointColor, radius PointRadius unscaled;
// cells in LineColor) and refreshes the picture. Scaled coordinates are
// 32-bit products: an overflow raises an error.
void DrawMeshOverlay(PictureBox& picture, const ControlMesh& mesh, std::int32_t s);

}  // namespace crossmeld::MeshWarp
