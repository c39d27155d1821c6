#pragma once
// Where a control point may go: the point under the pointer, and the
// position a dragged point takes. Corners never move, a border point moves
// only along its border, every point stays inside the picture, and no
// triangle around the point folds (each cell is cut on its top-left to
// bottom-right diagonal). Positions are whole pixels.

#include <cstdint>
#include <optional>

#include "morph/ControlMesh.h"

namespace crossmeld {

// A point of a mesh by column and row, counted from 0 at the top-left.
struct MeshPointIndex {
    std::int32_t column = 0;
    std::int32_t row = 0;
    friend bool operator==(const MeshPointIndex&, const MeshPointIndex&) = default;
};

bool IsMeshCorner(const ControlMesh& mesh, MeshPointIndex point);
Point& MeshPointAt(ControlMesh& mesh, MeshPointIndex point);
const Point& MeshPointAt(const ControlMesh& mesh, MeshPointIndex point);

// The draggable point within the mesh's point radius of (x, y), the
// nearest one when several are; corners are skipped.
std::optional<MeshPointIndex> FindDraggablePoint(const ControlMesh& mesh, double x, double y);

// (x, y) rounded to the nearest pixel; NaN and far-away values end up
// beyond the picture, where the clamping of AllowedPosition takes over.
Point SnapToPixel(double x, double y);

// Where the point goes when asked to go to target: the target moved onto
// the point's border and into the picture, or, when that would fold a
// triangle around the point, the last allowed pixel on the way from where
// the point is toward it. A triangle that is already folded (a grid finer
// than the picture) does not hold the point back.
Point AllowedPosition(const ControlMesh& mesh, MeshPointIndex point, Point target);

// Whether a triangle of the mesh has a signed area of zero or less.
bool HasFoldedTriangle(const ControlMesh& mesh);

}  // namespace crossmeld
