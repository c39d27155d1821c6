#pragma once
// The mesh file: the start and end control points of a morph saved as JSON,
//
//   {"columns": C, "rows": R, "width": W, "height": H,
//    "start": [[x, y], ...], "end": [[x, y], ...]}
//
// with (C + 1) x (R + 1) integer points per mesh, row by row from the top,
// left to right, in pixel coordinates 0 .. W and 0 .. H. Corners sit on the
// picture's corners, border points on their border, and no triangle of
// either mesh is folded (each cell is cut on its top-left to bottom-right
// diagonal). Keys may come in any order, unknown keys are skipped, a key
// given twice is refused.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "morph/ControlMesh.h"
#include "raster/DeviceContext.h"

namespace crossmeld {

inline constexpr std::int32_t kMaxMeshCells = 32;               // columns and rows
inline constexpr std::int64_t kMaxMeshFileBytes = 1024 * 1024;  // larger files are refused unread

struct MeshPoints {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Point> start;  // (columns + 1) * (rows + 1), row by row
    std::vector<Point> end;
    friend bool operator==(const MeshPoints&, const MeshPoints&) = default;
};

// Reads and checks a mesh file. Raises Error (invalid picture) with a
// one-line "mesh file: ..." message naming the broken rule and the point,
// named (column, row) from 0. JSON errors give the 0-based byte offset.
MeshPoints ReadMeshFile(std::span<const std::uint8_t> bytes);
// The same for a file; one that cannot be opened raises the matching file
// error, one above kMaxMeshFileBytes is refused before it is read.
MeshPoints ReadMeshFile(const std::string& path);

// The mesh as a file: one line per mesh row. What a valid mesh writes reads
// back equal.
std::string WriteMeshFile(const MeshPoints& mesh);

// Raises Error (invalid picture) when the mesh was made for pictures of
// another size.
void CheckMeshSize(const MeshPoints& mesh, std::int32_t width, std::int32_t height);

// The points of two control meshes of the same columns, rows and size.
MeshPoints MeshPointsOf(const ControlMesh& start, const ControlMesh& end);
// Gives both control meshes the file's columns, rows, size and points;
// their colours and point radius stay.
void ApplyMeshPoints(const MeshPoints& mesh, ControlMesh& start, ControlMesh& end);

}  // namespace crossmeld
