// The mesh engine: grid, triangulation, interpolation, areas, weights and the
// warp-and-blend step, against vectors worked out by hand.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/Error.h"
#include "morph/MeshWarp.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;
using namespace crossmeld::MeshWarp;

namespace {

ControlMesh MeshOver(std::int32_t width, std::int32_t height) {
    ControlMesh mesh;
    mesh.Columns = 5;
    mesh.Rows = 5;
    mesh.Width = width;
    mesh.Height = height;
    BuildMeshGrid(mesh);
    return mesh;
}

TEST(MeshGrid, InnerLinesRoundHalvesToEvenAndEdgesLieOnTheSize) {
    ControlMesh m = MeshOver(101, 80);
    // cw = 20.2: 0, 20.2, 40.4, 60.6, 80.8 -> 0, 20, 40, 61, 81, and the edge 101.
    const std::int32_t xs[] = {0, 20, 40, 61, 81, 101};
    const std::int32_t ys[] = {0, 16, 32, 48, 64, 80};
    for (int c = 1; c <= 6; ++c)
        for (int r = 1; r <= 6; ++r) EXPECT_EQ(m.Points(c, r), (Point{xs[c - 1], ys[r - 1]})) << c << "," << r;
    // 2.4 per cell: 0, 2.4, 4.8, 7.2, 9.6 -> 0, 2, 5, 7, 10.
    ControlMesh n = MeshOver(12, 5);
    EXPECT_EQ(n.Points(2, 1).x, 2);
    EXPECT_EQ(n.Points(3, 1).x, 5);
    EXPECT_EQ(n.Points(4, 1).x, 7);
    EXPECT_EQ(n.Points(6, 6), (Point{12, 5}));
    EXPECT_THROW(n.Points(7, 1), Error);
}

TEST(Triangulation, TwoTrianglesPerCellSharingTheDiagonal) {
    ControlMesh m = MeshOver(100, 80);
    TriangleList list;
    TriangulateMesh(m, list);
    ASSERT_EQ(list.UpperIndex(), 50);
    // Cell (row 1, column 1): identifiers 1 and 2.
    EXPECT_EQ(list(1), (ControlTriangle{{0, 0}, {0, 16}, {20, 16}}));
    EXPECT_EQ(list(2), (ControlTriangle{{0, 0}, {20, 0}, {20, 16}}));
    // Cell (row 3, column 4) owns 2 * (2 * 5 + 4) - 1 = 27 and 28.
    EXPECT_EQ(list(27), (ControlTriangle{{60, 32}, {60, 48}, {80, 48}}));
    EXPECT_EQ(list(28), (ControlTriangle{{60, 32}, {80, 32}, {80, 48}}));
    EXPECT_THROW(list(0), Error);
    EXPECT_THROW(list(51), Error);
}

TEST(Interpolation, EqualListsGiveTheSameTrianglesAndTheWeightRoundsInSingle) {
    TriangleList a(1), b(1), out;
    a(1) = {{0, 0}, {10, 0}, {0, 10}};
    b(1) = {{3, 0}, {10, 1}, {-7, 10}};
    InterpolateTriangles(a, a, out, 2, 3);
    EXPECT_EQ(out, a);
    // t = single(1/3) = 0.3333333432674408: 3 t = 1.0000000298 -> 1; -7 t -> -2.33 -> -2.
    InterpolateTriangles(a, b, out, 1, 3);
    EXPECT_EQ(out(1), (ControlTriangle{{1, 0}, {10, 0}, {-2, 10}}));
    // t = 0.5: 3 * 0.5 = 1.5 -> 2 (ties to even), 1 * 0.5 -> 0.
    InterpolateTriangles(a, b, out, 1, 2);
    EXPECT_EQ(out(1), (ControlTriangle{{2, 0}, {10, 0}, {-4, 10}}));
    EXPECT_THROW(InterpolateTriangles(a, b, out, 0, 0), Error);
    TriangleList shorter;
    EXPECT_THROW(InterpolateTriangles(a, shorter, out, 1, 2), Error);
}

TEST(TriangleArea, MatchesHalfBaseTimesHeightIncludingVerticalBases) {
    EXPECT_FLOAT_EQ(TriangleArea({0, 0}, {0, 16}, {20, 16}), 160.0f);  // vertical base: slope 1e20
    EXPECT_FLOAT_EQ(TriangleArea({0, 0}, {20, 0}, {20, 16}), 160.0f);
    EXPECT_FLOAT_EQ(TriangleArea({0, 0}, {4, 3}, {4, 0}), 6.0f);
    EXPECT_EQ(TriangleArea({5, 5}, {5, 5}, {5, 5}), 0.0f);
    EXPECT_THROW(TriangleArea({INT32_MIN, 0}, {1, 0}, {0, 0}), Error);
    EXPECT_THROW(TriangleArea({0, 0}, {50000, 0}, {0, 1}), Error);  // 50000^2 overflows 32 bits
}

TEST(BarycentricWeights, VerticesAndEdgesGetTheirWeights) {
    const ControlTriangle t{{0, 0}, {0, 16}, {20, 16}};
    const float a = TriangleArea(t.V0, t.V1, t.V2);
    Weights w = BarycentricWeights(t, 0, 0, a);  // on V0
    EXPECT_FLOAT_EQ(w.w0, 1.0f);
    EXPECT_NEAR(w.w1, 0.0f, 1e-6);
    w = BarycentricWeights(t, 0, 16, a);  // on V1: dx = 0 uses the 1e7 slope
    EXPECT_NEAR(w.w0, 0.0f, 1e-6);
    EXPECT_NEAR(w.w1, 1.0f, 1e-6);
    w = BarycentricWeights(t, 10, 16, a);  // middle of the bottom edge
    EXPECT_NEAR(w.w1, 0.5f, 1e-6);
    EXPECT_NEAR(w.w2, 0.5f, 1e-6);
    // An empty triangle uses the constant factor instead of dividing by zero.
    const ControlTriangle flat{{3, 3}, {3, 3}, {3, 3}};
    w = BarycentricWeights(flat, 3, 3, 0.0f);
    EXPECT_EQ(w.w0, 0.0f);
    EXPECT_EQ(w.w1, 0.0f);
    EXPECT_EQ(w.w2, 1.0f);
}

TEST(Identifiers, PaintedColoursDecodeToTheirIndex) {
    // Triangle 26 is painted 260: red 4, green 1, blue 0.
    EXPECT_EQ(DecodeIdentifier(0, 1, 4), 26.0f);
    EXPECT_EQ(DecodeIdentifier(0, 1, 244), 50.0f);
    for (int i = 1; i <= 100000; ++i) {
        const std::uint32_t v = 10u * static_cast<std::uint32_t>(i);
        ASSERT_EQ(DecodeIdentifier(static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v)),
                  static_cast<float>(i));
    }
}

PixelGrid Grid(std::int32_t w, std::int32_t h) {
    PixelGrid g;
    g.Header.size = 40;
    g.Header.width = w;
    g.Header.height = -h;
    g.Header.planes = 1;
    g.Header.bitCount = 32;
    g.Bits.assign(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    return g;
}

// Paints the mesh's identifiers on a surface of the grid's size and reads them into a frame grid.
PixelGrid IdentifierFrame(const TriangleList& list, std::int32_t w, std::int32_t h) {
    auto surface = Surface::Create(w, h, 24);
    DeviceContext dc(surface);
    PaintTriangleIds(dc, list);
    PixelGrid frame = Grid(w, h);
    surface->ReadBgrx(frame.Bits);
    return frame;
}

struct BlendCase {
    int k;
    int last;
    std::uint8_t start;
    std::uint8_t end;
    std::uint8_t want;
};

class BlendVectors : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendVectors, EveryPixelIsTheRoundedMix) {
    const BlendCase& c = GetParam();
    const std::int32_t w = 13, h = 7;
    ControlMesh mesh = MeshOver(w, h);
    TriangleList list;
    TriangulateMesh(mesh, list);
    PixelGrid start = Grid(w, h), end = Grid(w, h);
    for (std::size_t i = 0; i < start.Bits.size(); ++i) {
        start.Bits[i] = c.start;
        end.Bits[i] = c.end;
    }
    PixelGrid frame = IdentifierFrame(list, w, h);
    const float weight = static_cast<float>(static_cast<double>(c.k) / c.last);
    WarpBlendFrame(start, list, end, list, frame, list, weight);
    for (std::size_t i = 0; i < frame.Bits.size(); ++i) {
        if (i % 4 == 3) continue;
        ASSERT_EQ(frame.Bits[i], c.want) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(HandWorked, BlendVectors,
                         ::testing::Values(BlendCase{1, 2, 0, 255, 128},    // 127.5 -> 128
                                           BlendCase{1, 2, 100, 101, 100},  // 100.5 -> 100
                                           BlendCase{1, 2, 101, 102, 102},  // 101.5 -> 102
                                           BlendCase{1, 2, 10, 20, 15},
                                           BlendCase{1, 3, 0, 255, 85},     // 85.0000025
                                           BlendCase{1, 3, 255, 0, 170},    // 169.99998986
                                           BlendCase{1, 3, 10, 20, 13},
                                           // 1 - 1/6 held in single precision: 2.49999998 -> 2 (3 in double)
                                           BlendCase{1, 6, 2, 5, 2},
                                           BlendCase{0, 1, 77, 200, 77},
                                           BlendCase{1, 1, 77, 200, 200}));

// With equal meshes every pixel maps onto itself: the frame is the per-pixel
// cross-dissolve of the two pictures, whatever the size.
TEST(WarpBlend, EqualMeshesGiveTheCrossDissolveOverManySizes) {
    std::mt19937 rng(7);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {5, 5}, {101, 37}, {37, 101}, {13, 17}, {97, 89}, {320, 368}};
    for (auto [w, h] : sizes) {
        ControlMesh mesh = MeshOver(w, h);
        TriangleList list;
        TriangulateMesh(mesh, list);
        PixelGrid start = Grid(w, h), end = Grid(w, h);
        for (auto& b : start.Bits) b = static_cast<std::uint8_t>(rng());
        for (auto& b : end.Bits) b = static_cast<std::uint8_t>(rng());
        for (int k = 0; k < 4; ++k) {
            PixelGrid frame = IdentifierFrame(list, w, h);
            const float weight = static_cast<float>(k / 3.0);
            const double u = static_cast<float>(1.0 - weight);
            WarpBlendFrame(start, list, end, list, frame, list, weight);
            for (std::size_t i = 0; i < frame.Bits.size(); ++i) {
                if (i % 4 == 3) continue;
                const double mix = end.Bits[i] * static_cast<double>(weight) + start.Bits[i] * u;
                ASSERT_EQ(frame.Bits[i], static_cast<std::uint8_t>(std::nearbyint(mix)))
                    << w << "x" << h << " k=" << k << " byte " << i;
            }
        }
    }
}

TEST(WarpBlend, PixelsAboveTheLastIdentifierKeepTheirColourAndChannelThreeIsKept) {
    TriangleList list;
    TriangulateMesh(MeshOver(4, 4), list);
    PixelGrid start = Grid(4, 4), end = Grid(4, 4), frame = IdentifierFrame(list, 4, 4);
    frame.Bits[3] = 99;                                            // channel 3 of pixel (0, 0)
    frame.Bits[4] = 0, frame.Bits[5] = 2, frame.Bits[6] = 0;       // pixel (1, 0) decodes to 51.2
    WarpBlendFrame(start, list, end, list, frame, list, 0.5f);
    EXPECT_EQ(frame.Bits[3], 99);
    EXPECT_EQ(frame.Bits[5], 2);
    EXPECT_EQ(frame.Bits[0], 0);
}

TEST(WarpBlend, ASourceGridSmallerThanTheFrameIsASubscriptError) {
    TriangleList list;
    TriangulateMesh(MeshOver(8, 8), list);
    PixelGrid start = Grid(4, 4), end = Grid(8, 8), frame = IdentifierFrame(list, 8, 8);
    try {
        WarpBlendFrame(start, list, end, list, frame, list, 0.5f);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::SubscriptOutOfRange);
    }
}

}  // namespace
