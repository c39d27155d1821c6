// Where a dragged control point may go: hit test, snapping, borders,
// corners and the fold limit, on meshes laid out by hand.

#include <gtest/gtest.h>

#include <cmath>

#include "app/MeshDrag.h"

namespace crossmeld {
namespace {

// A columns x rows mesh over w x h with points at even steps (the steps
// must divide the size).
ControlMesh Grid(std::int32_t columns, std::int32_t rows, std::int32_t w, std::int32_t h) {
    ControlMesh mesh;
    mesh.Columns = columns;
    mesh.Rows = rows;
    mesh.Width = w;
    mesh.Height = h;
    mesh.PointRadius = 5;
    for (std::int32_t r = 0; r <= rows; ++r)
        for (std::int32_t c = 0; c <= columns; ++c) mesh.PointStore.push_back({c * w / columns, r * h / rows});
    return mesh;
}

TEST(MeshDrag, HitTestTakesTheNearestPointWithinTheRadiusAndNeverACorner) {
    const ControlMesh mesh = Grid(2, 2, 100, 100);  // points at 0, 50, 100
    EXPECT_EQ(FindDraggablePoint(mesh, 53, 46), (MeshPointIndex{1, 1}));  // 5 away: still on it
    EXPECT_EQ(FindDraggablePoint(mesh, 54, 46), std::nullopt);            // sqrt(32) away
    EXPECT_EQ(FindDraggablePoint(mesh, 50, 2), (MeshPointIndex{1, 0}));
    EXPECT_EQ(FindDraggablePoint(mesh, 1, 1), std::nullopt);  // only the corner is near
    EXPECT_EQ(FindDraggablePoint(mesh, NAN, 50), std::nullopt);

    // Points closer than the radius: the nearer wins; a corner under the
    // pointer gives way to a point in reach.
    const ControlMesh tight = Grid(2, 2, 8, 8);  // points at 0, 4, 8
    EXPECT_EQ(FindDraggablePoint(tight, 4, 3), (MeshPointIndex{1, 1}));
    EXPECT_EQ(FindDraggablePoint(tight, 4, 1), (MeshPointIndex{1, 0}));
    EXPECT_EQ(FindDraggablePoint(tight, 0, 0), (MeshPointIndex{1, 0}));
}

TEST(MeshDrag, PositionsSnapToTheNearestPixel) {
    EXPECT_EQ(SnapToPixel(10.4, 10.6), (Point{10, 11}));
    EXPECT_EQ(SnapToPixel(-0.4, -2.6), (Point{0, -3}));
    EXPECT_EQ(SnapToPixel(1e300, -1e300), (Point{1000000000, -1000000000}));
}

TEST(MeshDrag, CornersStayAndBorderPointsSlideAlongTheirBorder) {
    const ControlMesh mesh = Grid(4, 2, 100, 60);  // x 0, 25, 50, 75, 100; y 0, 30, 60
    EXPECT_EQ(AllowedPosition(mesh, {0, 0}, {10, 10}), (Point{0, 0}));
    EXPECT_EQ(AllowedPosition(mesh, {4, 2}, {90, 50}), (Point{100, 60}));
    EXPECT_EQ(AllowedPosition(mesh, {1, 0}, {30, 20}), (Point{30, 0}));     // top
    EXPECT_EQ(AllowedPosition(mesh, {2, 2}, {40, 10}), (Point{40, 60}));    // bottom
    EXPECT_EQ(AllowedPosition(mesh, {0, 1}, {-20, 40}), (Point{0, 40}));    // left
    EXPECT_EQ(AllowedPosition(mesh, {4, 1}, {500, 20}), (Point{100, 20}));  // right
    // Along the border only as far as the picture goes, and the fold
    // limit holds there too: the next border point stops it.
    EXPECT_EQ(AllowedPosition(mesh, {1, 0}, {-30, 0}), (Point{1, 0}));
    EXPECT_EQ(AllowedPosition(mesh, {1, 0}, {80, 0}), (Point{49, 0}));
}

TEST(MeshDrag, AnInnerPointStopsAtTheLastPixelBeforeATriangleFolds) {
    // Around the centre of a 2 x 2 mesh on 100 x 100 the triangles stay
    // unfolded for 0 < x < 100, 0 < y < 100 and x - 50 < y < x + 50.
    const ControlMesh mesh = Grid(2, 2, 100, 100);
    EXPECT_EQ(AllowedPosition(mesh, {1, 1}, {70, 30}), (Point{70, 30}));
    EXPECT_EQ(AllowedPosition(mesh, {1, 1}, {200, 50}), (Point{99, 50}));  // clamped to 100, then 99
    // Toward (90, 0): the k-th step is (50 + 0.8k, 50 - k); y > x - 50
    // holds up to k = 27, (72, 23); at k = 28, (72, 22), it fails.
    EXPECT_EQ(AllowedPosition(mesh, {1, 1}, {90, 0}), (Point{72, 23}));
    // Toward (0, 100): (50 - k, 50 + k) leaves y < x + 50 at k = 25.
    EXPECT_EQ(AllowedPosition(mesh, {1, 1}, {0, 100}), (Point{26, 74}));

    ControlMesh moved = mesh;
    MeshPointAt(moved, {1, 1}) = {72, 23};
    EXPECT_FALSE(HasFoldedTriangle(moved));
    MeshPointAt(moved, {1, 1}) = {72, 22};
    EXPECT_TRUE(HasFoldedTriangle(moved));
}

TEST(MeshDrag, ATriangleAlreadyFoldedDoesNotHoldThePointBack) {
    // Two points on one place fold the triangle between them, as a grid
    // finer than its picture does.
    ControlMesh mesh = Grid(2, 2, 100, 100);
    MeshPointAt(mesh, {2, 1}) = {100, 0};  // on the corner: cell (1, 0) folds
    ASSERT_TRUE(HasFoldedTriangle(mesh));
    EXPECT_EQ(AllowedPosition(mesh, {1, 1}, {40, 60}), (Point{40, 60}));
}

}  // namespace
}  // namespace crossmeld
