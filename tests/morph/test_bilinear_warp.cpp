// The smooth warp against values worked out by hand and against a plain
// double-precision reference written here.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/Error.h"
#include "base/Numeric.h"
#include "morph/BilinearRun.h"
#include "morph/BilinearWarp.h"
#include "morph/MeshWarp.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;
using namespace crossmeld::MeshWarp;

namespace {

PixelGrid Grid(std::int32_t w, std::int32_t h, std::mt19937* rng = nullptr) {
    PixelGrid g;
    g.Header.width = w;
    g.Header.height = -h;
    g.Bits.assign(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    if (rng)
        for (auto& b : g.Bits) b = static_cast<std::uint8_t>((*rng)());
    return g;
}
std::uint8_t& At(PixelGrid& g, int c, int x, int y) {
    return g.Bits[PixelGrid::Offset(c, x, y, g.GridWidth())];
}

PixelGrid Identifiers(const TriangleList& list, std::int32_t w, std::int32_t h) {
    auto surface = Surface::Create(w, h, 24);
    DeviceContext dc(surface);
    PaintTriangleIds(dc, list);
    PixelGrid g = Grid(w, h);
    surface->ReadBgrx(g.Bits);
    return g;
}

TriangleList One(ControlTriangle a, ControlTriangle b) {
    TriangleList l(2);
    l(1) = a;
    l(2) = b;
    return l;
}
// A single cell (x0, y0)-(x1, y1) as its two triangles.
TriangleList Cell(int x0, int y0, int x1, int y1) {
    return One({{x0, y0}, {x0, y1}, {x1, y1}}, {{x0, y0}, {x1, y0}, {x1, y1}});
}

// Independent reference: per-pixel barycentric weights, bilinear reads with
// the position clamped, the exact mix.
double Bilinear(const PixelGrid& g, double x, double y, int c) {
    const int W = g.GridWidth(), H = g.GridHeight();
    x = std::clamp(x, 0.0, W - 1.0), y = std::clamp(y, 0.0, H - 1.0);
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const int x1 = std::min(x0 + 1, W - 1), y1 = std::min(y0 + 1, H - 1);
    const double fx = x - x0, fy = y - y0;
    auto p = [&](int xx, int yy) { return static_cast<double>(g.Bits[PixelGrid::Offset(c, xx, yy, W)]); };
    return (1 - fy) * ((1 - fx) * p(x0, y0) + fx * p(x1, y0)) + fy * ((1 - fx) * p(x0, y1) + fx * p(x1, y1));
}
double Reference(const PixelGrid& s, const ControlTriangle& st, const PixelGrid& e, const ControlTriangle& et,
                 const ControlTriangle& f, int x, int y, double w, int c) {
    const double d = double(f.V1.x - f.V0.x) * (f.V2.y - f.V0.y) - double(f.V2.x - f.V0.x) * (f.V1.y - f.V0.y);
    const double l1 = (double(x - f.V0.x) * (f.V2.y - f.V0.y) - double(y - f.V0.y) * (f.V2.x - f.V0.x)) / d;
    const double l2 = (double(y - f.V0.y) * (f.V1.x - f.V0.x) - double(x - f.V0.x) * (f.V1.y - f.V0.y)) / d;
    auto at = [&](const ControlTriangle& t, const PixelGrid& g) {
        return Bilinear(g, (1 - l1 - l2) * t.V0.x + l1 * t.V1.x + l2 * t.V2.x,
                        (1 - l1 - l2) * t.V0.y + l1 * t.V1.y + l2 * t.V2.y, c);
    };
    return (1 - w) * at(st, s) + w * at(et, e);
}

TriangleList Jittered(int w, int h, std::mt19937& rng) {
    ControlMesh m;
    m.Columns = 4, m.Rows = 3, m.Width = w, m.Height = h;
    BuildMeshGrid(m);
    std::uniform_int_distribution<int> dx(-w / 10, w / 10), dy(-h / 8, h / 8);
    for (int r = 2; r <= m.Rows; ++r)
        for (int c = 2; c <= m.Columns; ++c) m.Points(c, r) = {m.Points(c, r).x + dx(rng), m.Points(c, r).y + dy(rng)};
    TriangleList l;
    TriangulateMesh(m, l);
    return l;
}

TEST(BilinearWarp, MatchesTheReferenceOnRandomMeshesWithinOneLevel) {
    std::mt19937 rng(11);
    const std::pair<int, int> sizes[] = {{160, 120}, {97, 131}, {300, 70}};
    std::size_t bytes = 0, exact = 0;
    for (auto [W, H] : sizes) {
        const PixelGrid start = Grid(W, H, &rng), end = Grid(W + 7, H - 5, &rng);
        const TriangleList sl = Jittered(W, H, rng), el = Jittered(W + 7, H - 5, rng);
        for (int k = 0; k <= 4; ++k) {
            TriangleList fl;
            InterpolateTriangles(sl, el, fl, k, 4);
            PixelGrid frame = Identifiers(fl, W, H);
            for (std::size_t i = 3; i < frame.Bits.size(); i += 4) frame.Bits[i] = static_cast<std::uint8_t>(rng());
            const PixelGrid ids = frame;
            const float w = static_cast<float>(k * 0.235 + 0.03);
            BilinearWarpBlendFrame(start, sl, end, el, frame, fl, w);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const std::uint8_t* id = &ids.Bits[PixelGrid::Offset(0, x, y, W)];
                    const int t = ToInt32(DecodeIdentifier(id[0], id[1], id[2]));
                    for (int c = 0; c < 4; ++c) {
                        if (c == 3 || t == 0) {  // uncovered pixels and channel 3 are kept
                            ASSERT_EQ(frame.Bits[PixelGrid::Offset(c, x, y, W)], id[c]);
                            continue;
                        }
                        const double want = RoundHalfEven(Reference(start, sl(t), end, el(t), fl(t), x, y, w, c));
                        const int got = frame.Bits[PixelGrid::Offset(c, x, y, W)];
                        ASSERT_LE(std::abs(got - want), 1) << W << "x" << H << " k=" << k << " at " << x << "," << y;
                        ++bytes, exact += got == want;
                    }
                }
        }
    }
    EXPECT_GT(exact, bytes * 99 / 100);  // off by one only next to a half
}

TEST(BilinearWarp, HalfPixelPositionsOverARampAreExactAndRoundHalvesToEven) {
    // Start triangles are the frame's halved: pixel (x, y) reads (x/2, y/2)
    // of p = 3x + y + 20 (blue) and p = x (green); w = 0.
    PixelGrid start = Grid(20, 12), end = Grid(20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            At(start, 0, x, y) = static_cast<std::uint8_t>(3 * x + y + 20),
                            At(start, 1, x, y) = static_cast<std::uint8_t>(x);
    const TriangleList fl = Cell(0, 0, 20, 12), sl = Cell(0, 0, 10, 6);
    PixelGrid frame = Identifiers(fl, 20, 12);
    BilinearWarpBlendFrame(start, sl, end, fl, frame, fl, 0.0f);
    EXPECT_EQ(At(frame, 0, 1, 0), 22);  // 21.5 -> 22
    EXPECT_EQ(At(frame, 0, 0, 1), 20);  // 20.5 -> 20
    EXPECT_EQ(At(frame, 0, 3, 1), 25);  // 25
    EXPECT_EQ(At(frame, 1, 5, 7), 2);   // 2.5 -> 2
    EXPECT_EQ(At(frame, 1, 7, 7), 4);   // 3.5 -> 4
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(At(frame, 0, x, y), RoundHalfEven(1.5 * x + 0.5 * y + 20)) << x << "," << y;
}

TEST(BilinearWarp, AMovedCentrePointWorkedByHand) {
    // Top-left cell of a 2 x 2 mesh over 8 x 8; the centre is (6,4) in the
    // frame, (4,4) in the start and (2,4) in the end mesh; w = 1/4. Only
    // (3,1) (triangle 2) and (1,3) (triangle 1) are covered.
    auto list = [](int cx) { return One({{0, 0}, {0, 4}, {cx, 4}}, {{0, 0}, {4, 0}, {cx, 4}}); };
    PixelGrid start = Grid(8, 8), end = Grid(8, 8), frame = Grid(8, 8);
    At(start, 2, 2, 1) = 100, At(start, 2, 3, 1) = 51, At(end, 2, 2, 1) = 200;  // red channel
    At(start, 2, 0, 3) = 30, At(start, 2, 1, 3) = 90, At(end, 2, 0, 3) = 60, At(end, 2, 1, 3) = 123;
    At(frame, 2, 3, 1) = 20, At(frame, 2, 1, 3) = 10;
    BilinearWarpBlendFrame(start, list(4), end, list(2), frame, list(6), 0.25f);
    // (3,1) = 3/8 (4,0) + 1/4 (6,4): start (2.5, 1) -> 75.5, end (2, 1) -> 200.
    EXPECT_EQ(At(frame, 2, 3, 1), 107);  // 0.75 * 75.5 + 0.25 * 200 = 106.625
    // (1,3) = 7/12 (0,4) + 1/6 (6,4): start (2/3, 3) -> 70, end (1/3, 3) -> 81.
    EXPECT_EQ(At(frame, 2, 1, 3), 73);  // 0.75 * 70 + 0.25 * 81 = 72.75
    EXPECT_EQ(At(frame, 0, 3, 1), 0);
    EXPECT_EQ(At(frame, 2, 0, 0), 0);  // identifier 0: kept
}

TEST(BilinearWarp, PositionsOutsideThePictureClampToItsEdges) {
    std::mt19937 rng(5);
    const PixelGrid start = Grid(30, 20, &rng), end = Grid(1, 3, &rng);
    const TriangleList fl = Cell(0, 0, 30, 20);
    for (int shift : {-6, 6}) {
        // Start: moved by (shift, -shift); end: a one-pixel-wide picture.
        PixelGrid frame = Identifiers(fl, 30, 20);
        BilinearWarpBlendFrame(start, Cell(shift, -shift, 30 + shift, 20 - shift), end, fl, frame, fl, 0.5f);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                for (int c = 0; c < 3; ++c) {
                    const double s =
                        start
                            .Bits[PixelGrid::Offset(c, std::clamp(x + shift, 0, 29), std::clamp(y - shift, 0, 19), 30)];
                    const double e = end.Bits[PixelGrid::Offset(c, 0, std::min(y, 2), 1)];
                    ASSERT_EQ(At(frame, c, x, y), RoundHalfEven((s + e) / 2)) << x << "," << y;
                }
    }
}

TEST(BilinearWarp, UnmovedPixelsAndUnnamedIdentifiersAreExact) {
    std::mt19937 rng(8);
    const PixelGrid start = Grid(90, 70, &rng), end = Grid(90, 70, &rng);
    const TriangleList sl = Jittered(90, 70, rng), el = Jittered(90, 70, rng);
    PixelGrid frame = Identifiers(sl, 90, 70);
    At(frame, 0, 5, 5) = 1, At(frame, 3, 5, 5) = 77;                         // 6553.6: above the last identifier
    At(frame, 0, 6, 5) = 0, At(frame, 1, 6, 5) = 0, At(frame, 2, 6, 5) = 4;  // 0.4: rounds to none
    const PixelGrid ids = frame;
    for (float w : {0.0f, 1.0f}) {
        // w = 0 with the frame mesh the start's, then w = 1 with it the end's.
        frame = ids;
        BilinearWarpBlendFrame(start, w == 0 ? sl : el, end, w == 0 ? el : sl, frame, sl, w);
        const PixelGrid& want = w == 0 ? start : end;
        for (std::size_t i = 0; i < frame.Bits.size(); ++i) {
            const bool kept = i % 4 == 3 || i / 4 == 5 * 90 + 5 || i / 4 == 5 * 90 + 6;
            ASSERT_EQ(frame.Bits[i], kept ? ids.Bits[i] : want.Bits[i]) << i;
        }
    }
}

TEST(BilinearWarp, ACollapsedFrameTriangleMovesByItsCentroid) {
    std::mt19937 rng(2);
    const PixelGrid start = Grid(12, 6, &rng);
    PixelGrid frame = Grid(12, 6);
    At(frame, 2, 1, 2) = 10;  // (1,2) names triangle 1, flat in the frame
    // Centroids: frame (4, 0), start (6, 1): the pixel reads start (3, 3).
    const ControlTriangle flat{{0, 0}, {4, 0}, {8, 0}}, moved{{2, 1}, {6, 1}, {10, 1}};
    BilinearWarpBlendFrame(start, One(moved, moved), start, One(moved, moved), frame, One(flat, flat), 0.5f);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(At(frame, c, 1, 2), start.Bits[PixelGrid::Offset(c, 3, 3, 12)]);
}

TEST(BilinearWarp, UnusableGridsAreSubscriptErrors) {
    const TriangleList fl = Cell(0, 0, 8, 8);
    PixelGrid ok = Grid(8, 8), released = Grid(8, 8), frame = Identifiers(fl, 8, 8);
    released.Bits.assign(1, 0);
    for (int which = 0; which < 3; ++which) {
        PixelGrid f = frame;
        if (which == 2) f.Bits.resize(f.Bits.size() - 4);
        try {
            BilinearWarpBlendFrame(which == 0 ? released : ok, fl, which == 1 ? released : ok, fl, f, fl, 0.5f);
            ADD_FAILURE() << which;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::SubscriptOutOfRange);
        }
    }
}

TEST(BilinearRun, TheVectorKernelGivesThePerPixelBytes) {
    if (!HaveAvx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(4);
    const PixelGrid s = Grid(9, 5, &rng), e = Grid(3, 7, &rng);
    const double max[4] = {8 * kFracOne + 0.5, 4 * kFracOne + 0.5, 2 * kFracOne + 0.5, 6 * kFracOne + 0.5};
    std::uniform_real_distribution<double> pos(-3 * kFracOne, 12 * kFracOne), step(-1.5 * kFracOne, 1.5 * kFracOne);
    std::uniform_int_distribution<std::int32_t> wq(0, kFracOne), count(1, 40);
    for (int i = 0; i < 3000; ++i) {
        RunSources vector = MakeRunSources({s.Bits.data(), 9, 5}, {e.Bits.data(), 3, 7}, max, wq(rng)), single = vector;
        single.vector = false;
        // Every third run has positions far beyond 32 bits of fixed point.
        const double far = i % 3 == 0 ? 1e6 : 1;
        const double first[4] = {pos(rng) * far, pos(rng), pos(rng), pos(rng) * far},
                     steps[4] = {step(rng), step(rng) * far, step(rng), step(rng)};
        PixelGrid a = Grid(40, 1, &rng), b = a;
        const std::int32_t n = count(rng);
        MixRun(vector, a.Bits.data(), n, first, steps);
        MixRun(single, b.Bits.data(), n, first, steps);
        ASSERT_EQ(a.Bits, b.Bits) << i;
    }
}

}  // namespace
