#include "app/MeshDrag.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace crossmeld {

namespace {

// Twice the signed area of a, b, c; positive when they turn as the regular
// grid's triangles do (y grows downward). The mesh file uses the same test.
std::int64_t Cross(Point a, Point b, Point c) {
    return (std::int64_t{b.x} - a.x) * (std::int64_t{c.y} - a.y) - (std::int64_t{b.y} - a.y) * (std::int64_t{c.x} - a.x);
}

// Whether both triangles of the cell whose top-left point is (c, r) are
// unfolded, reading the point `moved` at `at`.
struct CellCheck {
    const ControlMesh& mesh;
    MeshPointIndex moved;
    Point at;

    Point Get(std::int32_t c, std::int32_t r) const {
        return MeshPointIndex{c, r} == moved ? at : MeshPointAt(mesh, {c, r});
    }
    // Bit 0: the upper triangle is unfolded, bit 1: the lower one.
    int Unfolded(std::int32_t c, std::int32_t r) const {
        const Point tl = Get(c, r), tr = Get(c + 1, r), bl = Get(c, r + 1), br = Get(c + 1, r + 1);
        return (Cross(tl, tr, br) > 0 ? 1 : 0) | (Cross(tl, br, bl) > 0 ? 2 : 0);
    }
};

// Whether the point may stand at `to`: every triangle around it that is
// unfolded with the point at `from` stays unfolded.
bool Allowed(const ControlMesh& mesh, MeshPointIndex point, Point from, Point to) {
    const CellCheck before{mesh, point, from}, after{mesh, point, to};
    for (std::int32_t r = point.row - 1; r <= point.row; ++r) {
        for (std::int32_t c = point.column - 1; c <= point.column; ++c) {
            if (c < 0 || r < 0 || c >= mesh.Columns || r >= mesh.Rows) continue;
            const int was = before.Unfolded(c, r);
            if ((after.Unfolded(c, r) & was) != was) return false;
        }
    }
    return true;
}

}  // namespace

bool IsMeshCorner(const ControlMesh& mesh, MeshPointIndex point) {
    return (point.column == 0 || point.column == mesh.Columns) && (point.row == 0 || point.row == mesh.Rows);
}

Point& MeshPointAt(ControlMesh& mesh, MeshPointIndex point) {
    return mesh.Points(point.column + 1, point.row + 1);
}

const Point& MeshPointAt(const ControlMesh& mesh, MeshPointIndex point) {
    return mesh.Points(point.column + 1, point.row + 1);
}

std::optional<MeshPointIndex> FindDraggablePoint(const ControlMesh& mesh, double x, double y) {
    if (mesh.Columns < 1 || mesh.Rows < 1 || !std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
    const double reach = static_cast<double>(mesh.PointRadius) * mesh.PointRadius;
    std::optional<MeshPointIndex> found;
    double nearest = std::numeric_limits<double>::infinity();
    for (std::int32_t r = 0; r <= mesh.Rows; ++r) {
        for (std::int32_t c = 0; c <= mesh.Columns; ++c) {
            if (IsMeshCorner(mesh, {c, r})) continue;
            const Point p = MeshPointAt(mesh, {c, r});
            const double dx = p.x - x, dy = p.y - y;
            const double d = dx * dx + dy * dy;
            if (d <= reach && d < nearest) {
                nearest = d;
                found = MeshPointIndex{c, r};
            }
        }
    }
    return found;
}

Point SnapToPixel(double x, double y) {
    // Far enough outside any picture, and still safe to round.
    static constexpr double kFar = 1e9;
    const auto snap = [](double v) {
        if (std::isnan(v)) return std::int32_t{0};
        return static_cast<std::int32_t>(std::lround(std::clamp(v, -kFar, kFar)));
    };
    return {snap(x), snap(y)};
}

Point AllowedPosition(const ControlMesh& mesh, MeshPointIndex point, Point target) {
    const Point from = MeshPointAt(mesh, point);
    if (IsMeshCorner(mesh, point)) return from;
    Point to{std::clamp(target.x, 0, mesh.Width), std::clamp(target.y, 0, mesh.Height)};
    if (point.column == 0 || point.column == mesh.Columns) to.x = from.x;
    if (point.row == 0 || point.row == mesh.Rows) to.y = from.y;
    if (Allowed(mesh, point, from, to)) return to;
    // The allowed places form a convex region around the point, so walking
    // pixel by pixel toward the target finds where it leaves it.
    const std::int64_t dx = std::int64_t{to.x} - from.x, dy = std::int64_t{to.y} - from.y;
    const std::int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    Point last = from;
    for (std::int64_t k = 1; k < steps; ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(steps);
        const Point next{from.x + static_cast<std::int32_t>(std::lround(static_cast<double>(dx) * t)),
                         from.y + static_cast<std::int32_t>(std::lround(static_cast<double>(dy) * t))};
        if (!Allowed(mesh, point, from, next)) break;
        last = next;
    }
    return last;
}

bool HasFoldedTriangle(const ControlMesh& mesh) {
    for (std::int32_t r = 0; r < mesh.Rows; ++r)
        for (std::int32_t c = 0; c < mesh.Columns; ++c)
            if (CellCheck{mesh, {-1, -1}, {}}.Unfolded(c, r) != 3) return true;
    return false;
}

}  // namespace crossmeld
