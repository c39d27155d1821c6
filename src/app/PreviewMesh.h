#pragma once
// Control meshes carried over to a smaller copy of the pictures.

#include "morph/ControlMesh.h"
#include "raster/AreaDownscale.h"

namespace crossmeld {

// Whether the mesh has its (Columns + 1) x (Rows + 1) points and a size.
bool UsableMesh(const ControlMesh& mesh) noexcept;

// The mesh with every point scaled from its Width x Height to the size,
// rounded to whole pixels (halves to even), so corners stay on corners.
ControlMesh ScaledMesh(const ControlMesh& mesh, PixelSize size);

// The mesh of a single cell over the whole size: the plain cross-dissolve.
ControlMesh WholeMesh(PixelSize size);

}  // namespace crossmeld
