#pragma once
// Control meshes and the triangles cut from them. Coordinates are pixels,
// origin top-left, y downward.

#include <cstdint>
#include <vector>

#include "raster/DeviceContext.h"

namespace crossmeld {

// Three vertices, laid out as six consecutive 32-bit integers x0, y0, x1, y1,
// x2, y2 so that a triangle can be handed to the polygon fill as points.
struct ControlTriangle {
    Point V0;
    Point V1;
    Point V2;
    friend bool operator==(const ControlTriangle&, const ControlTriangle&) = default;
};
static_assert(sizeof(ControlTriangle) == 6 * sizeof(std::int32_t));

// Triangles indexed from 1: the index is the triangle's identifier.
class TriangleList {
public:
    TriangleList() = default;
    explicit TriangleList(std::int32_t count) : m_items(static_cast<std::size_t>(count)) {}

    std::int32_t UpperIndex() const noexcept { return static_cast<std::int32_t>(m_items.size()); }
    // Subscript error outside 1 .. UpperIndex().
    ControlTriangle& operator()(std::int32_t i);
    const ControlTriangle& operator()(std::int32_t i) const;
    friend bool operator==(const TriangleList&, const TriangleList&) = default;

private:
    std::vector<ControlTriangle> m_items;
};

// Columns and rows of the mesh a pair of pictures starts with.
inline constexpr std::int32_t kDefaultMeshCells = 5;

struct ControlMesh {
    std::int32_t PointRadius = 0;
    std::uint32_t LineColor = 0;   // 0x00BBGGRR
    std::uint32_t PointColor = 0;  // 0x00BBGGRR
    std::int32_t Columns = 0;
    std::int32_t Rows = 0;
    // Points(c, r) with c in 1 .. Columns + 1 and r in 1 .. Rows + 1.
    std::vector<Point> PointStore;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    Point& Points(std::int32_t c, std::int32_t r);
    const Point& Points(std::int32_t c, std::int32_t r) const;
    friend bool operator==(const ControlMesh&, const ControlMesh&) = default;
};

}  // namespace crossmeld
