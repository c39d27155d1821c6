// Drawing on raster surfaces: rectangle and polygon fills (exact coverage),
// ellipses, lines, and block copies between surfaces of every depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "base/Numeric.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;

namespace {

__extension__ using Int128 = __int128;

constexpr ColorRef kPen = Rgb(255, 0, 0);
constexpr ColorRef kBrush = Rgb(0, 0, 255);
using Triangle = std::array<Point, 3>;

std::shared_ptr<Surface> Make(int w, int h, int bpp, RowOrder order = RowOrder::TopDown) {
    auto s = Surface::Create(w, h, bpp, order);
    EXPECT_TRUE(s);
    return s;
}

// One character per pixel of a surface: '.' black, 'P' pen, 'B' brush.
std::vector<std::string> Render(const Surface& s) {
    std::vector<std::string> rows;
    for (int y = 0; y < s.height(); ++y) {
        std::string row;
        for (int x = 0; x < s.width(); ++x) {
            ColorRef c = s.GetPixel(x, y);
            row += c == 0 ? '.' : c == kPen ? 'P' : c == kBrush ? 'B' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

DeviceContext PaintingContext(std::shared_ptr<Surface> s, bool pen, bool brush) {
    DeviceContext dc(std::move(s));
    dc.SetPen(pen ? Pen{PenStyle::Solid, kPen} : Pen{PenStyle::Null, 0});
    dc.SetBrush(brush ? Brush{BrushStyle::Solid, kBrush} : Brush{BrushStyle::Null, 0});
    return dc;
}

// Pixels (x, y) of a 24-bit surface that are not black, in row order.
std::vector<Point> Lit(const Surface& s) {
    std::vector<Point> out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.GetRaw(x, y) != 0) out.push_back({x, y});
    return out;
}

// ---------------------------------------------------------------- FillRect

TEST(FillRect, FillsHalfOpenRectangleClipped) {
    auto s = Make(5, 4, 24);
    DeviceContext dc(s);
    EXPECT_TRUE(dc.FillRect({-3, 1, 2, 9}, kBrush));
    EXPECT_TRUE(dc.FillRect({4, 0, 3, 2}, kPen));  // inverted: nothing
    EXPECT_EQ(Render(*s), (std::vector<std::string>{".....", "BB...", "BB...", "BB..."}));
    EXPECT_FALSE(DeviceContext().FillRect({0, 0, 1, 1}, 0));
}

TEST(FillRect, StoresNearestEntryAndPacksSubBytePixels) {
    auto mono = Make(16, 2, 1);
    mono->colorTable()[1] = RgbQuad{255, 255, 255, 0};
    DeviceContext dc(mono);
    dc.FillRect({3, 0, 13, 1}, Rgb(180, 180, 180));  // nearer white
    EXPECT_EQ(mono->bits()[0], 0x1F);
    EXPECT_EQ(mono->bits()[1], 0xF8);
    dc.FillRect({5, 0, 6, 1}, Rgb(90, 90, 90));  // nearer black
    EXPECT_EQ(mono->bits()[0], 0x1B);

    auto nib = Make(6, 1, 4);
    nib->colorTable()[7] = RgbQuad{0, 128, 0, 0};
    DeviceContext dn(nib);
    dn.FillRect({1, 0, 4, 1}, Rgb(0, 120, 10));
    EXPECT_EQ(nib->bits()[0], 0x07);
    EXPECT_EQ(nib->bits()[1], 0x77);
    EXPECT_EQ(nib->bits()[2], 0x00);

    auto hi = Make(3, 1, 16);
    DeviceContext dh(hi);
    dh.FillRect({0, 0, 3, 1}, Rgb(200, 100, 50));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(hi->GetRaw(x, 0), 0x6586u);
}

TEST(FillRect, ClearsFourthByteOf32BitPixels) {
    auto s = Make(2, 1, 32);
    std::fill(s->bits(), s->bits() + s->sizeBytes(), 0xEE);
    DeviceContext(s).FillRect({0, 0, 2, 1}, Rgb(1, 2, 3));
    EXPECT_EQ((std::vector<std::uint8_t>(s->bits(), s->bits() + 8)),
              (std::vector<std::uint8_t>{3, 2, 1, 0, 3, 2, 1, 0}));
}

// ---------------------------------------------------------------- Polygon

std::vector<std::string> FillOnly(int w, int h, std::vector<Point> points) {
    auto s = Make(w, h, 24);
    DeviceContext dc = PaintingContext(s, false, true);
    dc.Polygon(points);
    return Render(*s);
}

TEST(Polygon, RightTrianglesSplitASquareByTheTieRule) {
    // Pixels are sampled at their integer point. Points on the hypotenuse
    // x + y = 4 belong to the triangle for which it is a left edge (the
    // second); the top and left edges belong to their triangle, the right
    // and bottom edges do not.
    EXPECT_EQ(FillOnly(6, 5, {{0, 0}, {4, 0}, {0, 4}}),
              (std::vector<std::string>{"BBBB..", "BBB...", "BB....", "B.....", "......"}));
    EXPECT_EQ(FillOnly(6, 5, {{4, 0}, {4, 4}, {0, 4}}),
              (std::vector<std::string>{"......", "...B..", "..BB..", ".BBB..", "......"}));
}

TEST(Polygon, AlternateRuleLeavesOverlapEmpty) {
    // Two squares joined by a doubled diagonal; their overlap is covered twice.
    EXPECT_EQ(FillOnly(7, 7, {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}}),
              (std::vector<std::string>{"BBBB...", "BBBB...", "BB..BB.", "BB..BB.", "..BBBB.", "..BBBB.", "......."}));
}

TEST(Polygon, DegenerateShapesCoverNothing) {
    auto s = Make(8, 8, 24);
    DeviceContext dc = PaintingContext(s, false, true);
    const std::vector<std::vector<Point>> shapes = {{{0, 0}, {3, 3}, {7, 7}},
                                                    {{1, 2}, {6, 2}, {3, 2}},
                                                    {{4, 0}, {4, 8}, {4, 3}},
                                                    {{2, 2}, {2, 2}, {2, 2}},
                                                    {{0, 0}, {5, 5}, {0, 0}, {5, 5}}};
    for (const auto& p : shapes) EXPECT_TRUE(dc.Polygon(p));
    EXPECT_TRUE(Lit(*s).empty());
    std::vector<Point> tri = {{0, 0}, {1, 0}, {0, 1}};
    EXPECT_FALSE(DeviceContext().Polygon(tri));
}

TEST(Polygon, OutlineWithPenOverTheFill) {
    // Fill: points on or right of the left edge (5,4)-(1,1), left of x = 5,
    // on or below y = 1. Outline: the three lines, each without its end point.
    auto s = Make(7, 6, 24);
    DeviceContext dc = PaintingContext(s, true, true);
    std::vector<Point> tri = {{1, 1}, {5, 1}, {5, 4}};
    EXPECT_TRUE(dc.Polygon(tri));
    EXPECT_EQ(Render(*s), (std::vector<std::string>{".......", ".PPPPP.", "..PBBP.", "...PPP.", ".....P.", "......."}));

    auto outline = Make(7, 6, 24);
    DeviceContext only = PaintingContext(outline, true, false);
    only.Polygon(tri);
    EXPECT_EQ(Render(*outline),
              (std::vector<std::string>{".......", ".PPPPP.", "..P..P.", "...PPP.", ".....P.", "......."}));
}

// The identifier mesh: 5 x 5 cells, corners at nearest((c - 1) * cw) with
// cw = Width / 5 in single precision, the last line exactly on the border;
// each cell cut into (TL, BL, BR) and (TL, TR, BR).
std::vector<Triangle> MeshTriangles(int width, int height) {
    const int n = 5;
    const float cw = ToSingle(static_cast<double>(width) / n), ch = ToSingle(static_cast<double>(height) / n);
    auto gx = [&](int c) { return c == n + 1 ? width : ToInt32(static_cast<double>(c - 1) * cw); };
    auto gy = [&](int r) { return r == n + 1 ? height : ToInt32(static_cast<double>(r - 1) * ch); };
    std::vector<Triangle> out;
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n; ++c) {
            Point tl{gx(c), gy(r)}, tr{gx(c + 1), gy(r)}, bl{gx(c), gy(r + 1)}, br{gx(c + 1), gy(r + 1)};
            out.push_back({tl, bl, br});
            out.push_back({tl, tr, br});
        }
    return out;
}

TEST(MeshGrid, OddWidthGridLines) {
    auto tris = MeshTriangles(101, 37);
    std::vector<int> xs;
    for (int c = 0; c < 5; ++c) xs.push_back(tris[2 * c].at(0).x);
    xs.push_back(tris[9].at(1).x);
    EXPECT_EQ(xs, (std::vector<int>{0, 20, 40, 61, 81, 101}));
}

class MeshCoverage : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(MeshCoverage, FiftyTrianglesCoverEveryPixelExactlyOnce) {
    const auto [w, h] = GetParam();
    const auto tris = MeshTriangles(w, h);
    ASSERT_EQ(tris.size(), 50u);

    // Each triangle alone on a cleared surface, counted.
    std::vector<int> count(static_cast<std::size_t>(w) * h, 0), owner(count.size(), 0);
    auto scratch = Make(w, h, 24);
    DeviceContext dc(scratch);
    dc.SetPen({PenStyle::Null, 0});
    dc.SetBrush({BrushStyle::Solid, Rgb(255, 255, 255)});
    for (std::size_t i = 0; i < tris.size(); ++i) {
        dc.FillRect({0, 0, w, h}, 0);
        dc.Polygon(tris[i]);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (scratch->GetRaw(x, y) != 0) {
                    ++count[static_cast<std::size_t>(y) * w + x];
                    owner[static_cast<std::size_t>(y) * w + x] = static_cast<int>(i + 1);
                }
    }
    for (std::size_t p = 0; p < count.size(); ++p) ASSERT_EQ(count[p], 1) << "pixel " << p % w << "," << p / w;

    // All triangles on one surface in identifier colours 10 * i.
    for (int bpp : {24, 32}) {
        auto ids = Make(w, h, bpp);
        DeviceContext di(ids);
        di.SetPen({PenStyle::Null, 0});
        for (std::size_t i = 0; i < tris.size(); ++i) {
            di.SetBrush({BrushStyle::Solid, static_cast<ColorRef>(10 * (i + 1))});
            di.Polygon(tris[i]);
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(ids->GetPixel(x, y), static_cast<ColorRef>(10 * owner[static_cast<std::size_t>(y) * w + x]))
                    << x << "," << y << " at " << bpp << " bits";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MeshCoverage,
                         ::testing::Values(std::pair{1, 1}, std::pair{7, 3}, std::pair{101, 37}, std::pair{640, 480}));

// Independent coverage test for a triangle: edge functions at the pixel's
// integer point; a point on an edge counts when the inside lies toward +x
// (a left edge) or, for a horizontal edge, toward +y (a top edge).
bool TriangleCovers(const Triangle& t, int x, int y) {
    auto cross = [](Int128 ax, Int128 ay, Int128 bx, Int128 by) { return ax * by - ay * bx; };
    const Int128 area =
        cross(Int128{t[1].x} - t[0].x, Int128{t[1].y} - t[0].y, Int128{t[2].x} - t[0].x, Int128{t[2].y} - t[0].y);
    if (area == 0) return false;
    const int sign = area > 0 ? 1 : -1;
    const Int128 px = x, py = y;
    for (int k = 0; k < 3; ++k) {
        const Point a = t[k], b = t[(k + 1) % 3];
        const Int128 dx = Int128{b.x} - a.x, dy = Int128{b.y} - a.y;
        const Int128 e = sign * cross(dx, dy, px - a.x, py - a.y);
        if (e < 0) return false;
        if (e == 0 && !(dy != 0 ? -sign * dy > 0 : sign * dx > 0)) return false;
    }
    return true;
}

void ExpectMatchesOracle(const Triangle& t, int w, int h) {
    auto s = Make(w, h, 24);
    DeviceContext dc = PaintingContext(s, false, true);
    dc.Polygon(t);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(s->GetRaw(x, y) != 0, TriangleCovers(t, x, y))
                << "pixel " << x << "," << y << " of (" << t[0].x << "," << t[0].y << ") (" << t[1].x << "," << t[1].y
                << ") (" << t[2].x << "," << t[2].y << ")";
}

TEST(Polygon, RandomTrianglesMatchEdgeFunctionOracle) {
    std::mt19937 rng(20210831);
    std::uniform_int_distribution<int> near(-30, 100);
    for (int i = 0; i < 400; ++i) {
        Triangle t{Point{near(rng), near(rng)}, Point{near(rng), near(rng)}, Point{near(rng), near(rng)}};
        ExpectMatchesOracle(t, 64, 48);
        if (HasFatalFailure()) return;
    }
    // Vertices far outside: the edge arithmetic must stay exact.
    std::uniform_int_distribution<int> far(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    std::uniform_int_distribution<int> close(-5, 20);
    for (int i = 0; i < 200; ++i) {
        Triangle t{Point{close(rng), close(rng)}, Point{far(rng), far(rng)}, Point{far(rng), far(rng)}};
        ExpectMatchesOracle(t, 16, 16);
        if (HasFatalFailure()) return;
    }
}

// Draws each triangle alone and adds up the coverage per pixel.
std::vector<int> CoverageCount(const std::vector<Triangle>& tris, int w, int h) {
    std::vector<int> count(static_cast<std::size_t>(w) * h, 0);
    auto s = Make(w, h, 24);
    DeviceContext dc = PaintingContext(s, false, true);
    for (const Triangle& t : tris) {
        dc.FillRect({0, 0, w, h}, 0);
        dc.Polygon(t);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (s->GetRaw(x, y) != 0) ++count[static_cast<std::size_t>(y) * w + x];
    }
    return count;
}

TEST(Polygon, RandomFansTileTheirStarPolygon) {
    std::mt19937 rng(7);
    const int w = 80, h = 60;
    for (int trial = 0; trial < 60; ++trial) {
        std::uniform_int_distribution<int> cx(-20, 100), cy(-20, 80), count(3, 12);
        std::uniform_real_distribution<double> angle(0, 2 * std::numbers::pi), radius(3, 90);
        const Point c{cx(rng), cy(rng)};
        std::vector<std::pair<double, Point>> around;
        for (int k = count(rng); k > 0; --k) {
            double a = angle(rng), r = radius(rng);
            Point p{c.x + ToInt32(r * std::cos(a)), c.y + ToInt32(r * std::sin(a))};
            if (p == c) continue;
            around.push_back({std::atan2(static_cast<double>(p.y - c.y), static_cast<double>(p.x - c.x)), p});
        }
        std::sort(around.begin(), around.end(), [](auto& a, auto& b) { return a.first < b.first; });
        // The fan tiles the polygon only when every gap is below half a turn.
        bool star = around.size() >= 3;
        for (std::size_t k = 0; star && k < around.size(); ++k) {
            double next = k + 1 < around.size() ? around[k + 1].first : around[0].first + 2 * std::numbers::pi;
            star = next - around[k].first < std::numbers::pi - 0.01;
        }
        if (!star) continue;
        std::vector<Triangle> fan;
        std::vector<Point> outline;
        for (std::size_t k = 0; k < around.size(); ++k) {
            fan.push_back({c, around[k].second, around[(k + 1) % around.size()].second});
            outline.push_back(around[k].second);
        }
        const std::vector<int> covered = CoverageCount(fan, w, h);
        auto s = Make(w, h, 24);
        DeviceContext dc = PaintingContext(s, false, true);
        dc.Polygon(outline);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int n = covered[static_cast<std::size_t>(y) * w + x];
                ASSERT_LE(n, 1) << "trial " << trial << " pixel " << x << "," << y;
                ASSERT_EQ(n == 1, s->GetRaw(x, y) != 0) << "trial " << trial << " pixel " << x << "," << y;
            }
    }
}

TEST(Polygon, JitteredMeshesCoverEveryPixelExactlyOnce) {
    std::mt19937 rng(99);
    const int w = 173, h = 131, cols = 7, rows = 6;
    for (int trial = 0; trial < 8; ++trial) {
        // Inner points move by up to a fifth of a cell, which keeps every cell
        // convex; border points stay on the border.
        std::uniform_int_distribution<int> jx(-(w / cols) / 5, (w / cols) / 5), jy(-(h / rows) / 5, (h / rows) / 5);
        std::vector<std::vector<Point>> grid(rows + 1, std::vector<Point>(cols + 1));
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= cols; ++c) {
                Point p{c * w / cols, r * h / rows};
                if (c > 0 && c < cols) p.x += jx(rng);
                if (r > 0 && r < rows) p.y += jy(rng);
                grid[r][c] = p;
            }
        std::vector<Triangle> tris;
        std::bernoulli_distribution flip(0.5);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                Point tl = grid[r][c], tr = grid[r][c + 1], bl = grid[r + 1][c], br = grid[r + 1][c + 1];
                if (flip(rng)) {
                    tris.push_back({tl, bl, br});
                    tris.push_back({tl, tr, br});
                } else {
                    tris.push_back({tl, tr, bl});
                    tris.push_back({tr, br, bl});
                }
            }
        const std::vector<int> covered = CoverageCount(tris, w, h);
        for (std::size_t p = 0; p < covered.size(); ++p)
            ASSERT_EQ(covered[p], 1) << "trial " << trial << " pixel " << p % w << "," << p / w;
    }
}

// ---------------------------------------------------------------- Ellipse

struct EllipseCase {
    Rect box;
    bool pen;
    bool brush;
    std::vector<std::string> picture;
};

class EllipseVectors : public ::testing::TestWithParam<EllipseCase> {};

TEST_P(EllipseVectors, InscribedInTheBox) {
    const EllipseCase& c = GetParam();
    const int w = static_cast<int>(c.picture[0].size()), h = static_cast<int>(c.picture.size());
    auto s = Make(w, h, 24);
    DeviceContext dc = PaintingContext(s, c.pen, c.brush);
    EXPECT_TRUE(dc.Ellipse(c.box.left, c.box.top, c.box.right, c.box.bottom));
    EXPECT_EQ(Render(*s), c.picture);
}

// Worked out from X^2 H^2 + Y^2 W^2 <= W^2 H^2 in doubled coordinates about
// the box centre; the outline is what the neighbouring rows do not enclose.
INSTANTIATE_TEST_SUITE_P(
    Vectors, EllipseVectors,
    ::testing::Values(EllipseCase{{0, 0, 10, 10},
                                  true,
                                  true,
                                  {"...PPPP...", ".PPBBBBPP.", ".PBBBBBBP.", "PBBBBBBBBP", "PBBBBBBBBP", "PBBBBBBBBP",
                                   "PBBBBBBBBP", ".PBBBBBBP.", ".PPBBBBPP.", "...PPPP..."}},
                      EllipseCase{{0, 0, 10, 10},
                                  true,
                                  false,
                                  {"...PPPP...", ".PP....PP.", ".P......P.", "P........P", "P........P", "P........P",
                                   "P........P", ".P......P.", ".PP....PP.", "...PPPP..."}},
                      EllipseCase{{1, 1, 6, 4}, true, true, {".......", "..PPP..", ".PBBBP.", "..PPP..", "......."}},
                      EllipseCase{{1, 1, 6, 4}, false, true, {".......", "..BBB..", ".BBBBB.", "..BBB..", "......."}},
                      EllipseCase{{0, 0, 6, 4}, true, true, {".PPPP.", "PBBBBP", "PBBBBP", ".PPPP."}},
                      EllipseCase{{0, 0, 3, 3}, true, true, {"PPP", "PBP", "PPP"}},
                      EllipseCase{{0, 0, 7, 2}, true, true, {"PPPPPPP", "PPPPPPP"}},
                      EllipseCase{{1, 1, 3, 3}, true, true, {"....", ".PP.", ".PP.", "...."}},
                      EllipseCase{{3, 3, 2, 2}, true, true, {"....", "....", "..P.", "...."}},  // corners swapped
                      EllipseCase{{1, 1, 1, 4}, true, true, {"...", "...", "..."}}));           // zero width

TEST(Ellipse, ClippingMatchesTheUnclippedDrawing) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(-50, 90), size(1, 60);
    for (int i = 0; i < 200; ++i) {
        const int l = coord(rng), t = coord(rng), r = l + size(rng), b = t + size(rng);
        const bool brush = i % 3 != 0;
        auto small = Make(40, 40, 24), big = Make(200, 200, 24);
        PaintingContext(small, true, brush).Ellipse(l, t, r, b);
        PaintingContext(big, true, brush).Ellipse(l + 80, t + 80, r + 80, b + 80);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(small->GetRaw(x, y), big->GetRaw(x + 80, y + 80))
                    << "box " << l << "," << t << "," << r << "," << b << " at " << x << "," << y;
    }
}

TEST(Ellipse, HugeBoxesDrawOnlyTheVisibleRows) {
    auto s = Make(16, 10, 24);
    DeviceContext dc = PaintingContext(s, true, true);
    dc.Ellipse(-2000000000, 0, 2000000000, 10);
    std::vector<std::string> expect(10, std::string(16, 'B'));
    expect[0] = expect[9] = std::string(16, 'P');
    EXPECT_EQ(Render(*s), expect);

    auto all = Make(8, 8, 24);
    PaintingContext(all, true, true)
        .Ellipse(std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                 std::numeric_limits<int>::max());
    EXPECT_EQ(Render(*all), std::vector<std::string>(8, std::string(8, 'B')));
}

// ---------------------------------------------------------------- Lines

struct LineCase {
    Point from;
    Point to;
    std::vector<Point> pixels;
};

class LineVectors : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineVectors, BresenhamWithoutTheEndPoint) {
    auto s = Make(8, 6, 24);
    DeviceContext dc = PaintingContext(s, true, false);
    dc.MoveTo(GetParam().from.x, GetParam().from.y);
    EXPECT_TRUE(dc.LineTo(GetParam().to.x, GetParam().to.y));
    EXPECT_EQ(dc.position(), GetParam().to);
    std::vector<Point> expect = GetParam().pixels;
    std::sort(expect.begin(), expect.end(), [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    EXPECT_EQ(Lit(*s), expect);
}

// Step i moves the short axis by i |d| / n rounded to nearest, exact halves
// toward the start.
INSTANTIATE_TEST_SUITE_P(
    Vectors, LineVectors,
    ::testing::Values(
        LineCase{{0, 0}, {5, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}}, LineCase{{0, 0}, {2, 1}, {{0, 0}, {1, 0}}},
        LineCase{{2, 1}, {0, 0}, {{2, 1}, {1, 1}}}, LineCase{{3, 0}, {3, 3}, {{3, 0}, {3, 1}, {3, 2}}},
        LineCase{{0, 0}, {2, 5}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
        LineCase{{4, 4}, {0, 2}, {{4, 4}, {3, 4}, {2, 3}, {1, 3}}},
        LineCase{{0, 5}, {5, 0}, {{0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}}}, LineCase{{2, 2}, {2, 2}, {}},
        LineCase{{-3, 1}, {3, 1}, {{0, 1}, {1, 1}, {2, 1}}},
        LineCase{{5, -2}, {5, 8}, {{5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}}},
        LineCase{{-2000000000, -1999999990}, {2000000000, 2000000010}, {}},
        LineCase{{-1000000000, 0}, {1000000000, 3}, {{0, 1}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {7, 2}}}));

TEST(Line, FarEndsClipToTheVisibleSteps) {
    // y = x + 10 crosses a 16 x 16 surface at x = 0 .. 5.
    auto s = Make(16, 16, 24);
    DeviceContext dc = PaintingContext(s, true, false);
    dc.MoveTo(-2000000000, -1999999990);
    dc.LineTo(2000000000, 2000000010);
    EXPECT_EQ(Lit(*s), (std::vector<Point>{{0, 10}, {1, 11}, {2, 12}, {3, 13}, {4, 14}, {5, 15}}));
}

TEST(Line, ClippingMatchesTheUnclippedDrawing) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-60, 100);
    for (int i = 0; i < 500; ++i) {
        Point a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
        auto small = Make(40, 40, 24), big = Make(240, 240, 24);
        DeviceContext ds = PaintingContext(small, true, false), db = PaintingContext(big, true, false);
        ds.MoveTo(a.x, a.y);
        ds.LineTo(b.x, b.y);
        db.MoveTo(a.x + 70, a.y + 70);
        db.LineTo(b.x + 70, b.y + 70);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(small->GetRaw(x, y), big->GetRaw(x + 70, y + 70))
                    << a.x << "," << a.y << " -> " << b.x << "," << b.y << " at " << x << "," << y;
    }
}

TEST(Line, PolylineAndNullPen) {
    auto s = Make(5, 5, 24);
    DeviceContext dc = PaintingContext(s, true, false);
    dc.MoveTo(1, 1);
    dc.LineTo(3, 1);
    dc.LineTo(3, 3);
    EXPECT_EQ(Render(*s), (std::vector<std::string>{".....", ".PPP.", "...P.", ".....", "....."}));
    dc.SetPen({PenStyle::Null, kPen});
    dc.LineTo(0, 3);
    EXPECT_EQ(dc.position(), (Point{0, 3}));
    EXPECT_EQ(Render(*s)[3], ".....");
    EXPECT_FALSE(DeviceContext().LineTo(1, 1));
}

// ---------------------------------------------------------------- Blits

void SetTable(Surface& s, std::initializer_list<ColorRef> colours) {
    std::size_t i = 0;
    for (ColorRef c : colours) s.colorTable()[i++] = RgbQuad{BlueOf(c), GreenOf(c), RedOf(c), 0};
}

std::vector<std::uint32_t> Raws(const Surface& s) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) out.push_back(s.GetRaw(x, y));
    return out;
}

std::vector<ColorRef> Colours(const Surface& s) {
    std::vector<ColorRef> out;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) out.push_back(s.GetPixel(x, y));
    return out;
}

TEST(Blit, EightBitIntoMonochromeByNearestEntry) {
    auto src = Make(5, 2, 8);
    SetTable(*src, {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(200, 200, 200), Rgb(100, 100, 100), Rgb(255, 0, 0)});
    const std::uint8_t idx[] = {0, 1, 2, 3, 4, 4, 1, 0, 1, 2};
    for (int i = 0; i < 10; ++i) src->SetRaw(i % 5, i / 5, idx[i]);

    auto mask = Make(5, 2, 1);
    SetTable(*mask, {Rgb(0, 0, 0), Rgb(255, 255, 255)});
    DeviceContext dm(mask);
    EXPECT_TRUE(CopyBlock(dm, 0, 0, 5, 2, DeviceContext(src), 0, 0, RasterOp::SrcCopy));
    EXPECT_EQ(Raws(*mask), (std::vector<std::uint32_t>{0, 1, 1, 0, 0, 0, 1, 0, 1, 1}));

    // The same copy into a table in the other order: by colour, not by index.
    SetTable(*mask, {Rgb(255, 255, 255), Rgb(0, 0, 0)});
    CopyBlock(dm, 0, 0, 5, 2, DeviceContext(src), 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Raws(*mask), (std::vector<std::uint32_t>{1, 0, 0, 1, 1, 1, 0, 1, 0, 0}));
}

TEST(Blit, ConvertsAcrossDepths) {
    const ColorRef a = Rgb(10, 20, 30), b = Rgb(250, 128, 3), c = Rgb(0, 255, 64), d = Rgb(77, 77, 77);
    auto pal = Make(4, 1, 4);
    SetTable(*pal, {a, b, c, d});
    for (int x = 0; x < 4; ++x) pal->SetRaw(x, 0, 3 - x);

    auto rgb = Make(4, 1, 24);
    DeviceContext drgb(rgb);
    CopyBlock(drgb, 0, 0, 4, 1, DeviceContext(pal), 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Colours(*rgb), (std::vector<ColorRef>{d, c, b, a}));

    // 24 -> 16: channels truncated to five bits; 16 -> 32: widened again.
    auto hi = Make(4, 1, 16);
    DeviceContext dhi(hi);
    CopyBlock(dhi, 0, 0, 4, 1, drgb, 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Raws(*hi), (std::vector<std::uint32_t>{0x2529, 0x03E8, 0x7E00, 0x0443}));
    auto wide = Make(4, 1, 32);
    DeviceContext dwide(wide);
    CopyBlock(dwide, 0, 0, 4, 1, dhi, 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Colours(*wide),
              (std::vector<ColorRef>{Rgb(74, 74, 74), Rgb(0, 255, 66), Rgb(255, 132, 0), Rgb(8, 16, 24)}));

    // 32 -> 8 by nearest entry of a small table (other entries far away).
    auto idx = Make(4, 1, 8);
    SetTable(*idx, {Rgb(255, 0, 255), Rgb(0, 250, 60), Rgb(80, 80, 80), Rgb(250, 130, 0), Rgb(0, 0, 0)});
    for (int i = 5; i < 256; ++i) idx->colorTable()[i] = RgbQuad{255, 0, 255, 0};
    DeviceContext didx(idx);
    CopyBlock(didx, 0, 0, 4, 1, dwide, 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Raws(*idx), (std::vector<std::uint32_t>{2, 1, 3, 4}));
}

TEST(Blit, MaskPairDrawsTransparentFrame) {
    // AND with the mask (white = transparent), then OR with the frame whose
    // transparent entry is black.
    const ColorRef red = Rgb(255, 0, 0), green = Rgb(0, 200, 0);
    auto target = Make(3, 2, 24);
    DeviceContext dt(target);
    dt.FillRect({0, 0, 3, 2}, red);
    auto frame = Make(3, 1, 8);
    SetTable(*frame, {0, green});
    frame->SetRaw(1, 0, 1);  // pixels 0 and 2 keep index 0, transparent
    auto mask = Make(3, 1, 1);
    SetTable(*mask, {0, Rgb(255, 255, 255)});
    mask->SetRaw(0, 0, 1);
    mask->SetRaw(2, 0, 1);
    // Scaled to two rows to go through the stretching path.
    EXPECT_TRUE(StretchBlock(dt, 0, 0, 3, 2, DeviceContext(mask), 0, 0, 3, 1, RasterOp::SrcAnd));
    EXPECT_EQ(Colours(*target), (std::vector<ColorRef>{red, 0, red, red, 0, red}));
    EXPECT_TRUE(StretchBlock(dt, 0, 0, 3, 2, DeviceContext(frame), 0, 0, 3, 1, RasterOp::SrcPaint));
    EXPECT_EQ(Colours(*target), (std::vector<ColorRef>{red, green, red, red, green, red}));
}

TEST(Blit, RasterOpsCombineStoredValues) {
    auto make = [] {
        auto s = Make(2, 1, 8);
        for (int i = 0; i < 256; ++i) s->colorTable()[i] = RgbQuad{static_cast<std::uint8_t>(i), 0, 0, 0};
        return s;
    };
    auto src = make(), dst = make();
    src->SetRaw(0, 0, 0x3C);
    src->SetRaw(1, 0, 0x3C);
    dst->SetRaw(0, 0, 0x0F);
    dst->SetRaw(1, 0, 0x0F);
    DeviceContext dd(dst), ds(src);
    CopyBlock(dd, 0, 0, 1, 1, ds, 0, 0, RasterOp::SrcAnd);
    CopyBlock(dd, 1, 0, 1, 1, ds, 1, 0, RasterOp::SrcPaint);
    EXPECT_EQ(Raws(*dst), (std::vector<std::uint32_t>{0x0C, 0x3F}));

    auto t24 = Make(1, 1, 24), s32 = Make(1, 1, 32);
    t24->SetPixel(0, 0, Rgb(0xF0, 0x0F, 0x55));
    s32->SetPixel(0, 0, Rgb(0x3C, 0x3C, 0x0F));
    DeviceContext d24(t24);
    CopyBlock(d24, 0, 0, 1, 1, DeviceContext(s32), 0, 0, RasterOp::SrcPaint);
    EXPECT_EQ(t24->GetPixel(0, 0), Rgb(0xFC, 0x3F, 0x5F));
    CopyBlock(d24, 0, 0, 1, 1, DeviceContext(s32), 0, 0, RasterOp::SrcAnd);
    EXPECT_EQ(t24->GetPixel(0, 0), Rgb(0x3C, 0x3C, 0x0F));
}

struct StretchCase {
    const char* name;
    Rect target;  // x, y, w, h
    Rect source;  // sx, sy, sw, sh
    std::string expect;
};

class StretchVectors : public ::testing::TestWithParam<StretchCase> {};

TEST_P(StretchVectors, DropsOrRepeatsColumns) {
    // Source "abcd" as four colours; target 8 wide, pre-filled with '-'.
    auto src = Make(4, 1, 24), dst = Make(8, 1, 24);
    for (int x = 0; x < 4; ++x) src->SetPixel(x, 0, Rgb(static_cast<std::uint8_t>('a' + x), 0, 0));
    DeviceContext dd(dst);
    dd.FillRect({0, 0, 8, 1}, Rgb('-', 0, 0));
    const StretchCase& c = GetParam();
    StretchBlock(dd, c.target.left, c.target.top, c.target.right, c.target.bottom, DeviceContext(src), c.source.left,
               c.source.top, c.source.right, c.source.bottom, RasterOp::SrcCopy);
    std::string got;
    for (int x = 0; x < 8; ++x) got += static_cast<char>(RedOf(dst->GetPixel(x, 0)));
    EXPECT_EQ(got, c.expect) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Vectors, StretchVectors,
                         ::testing::Values(StretchCase{"copy", {0, 0, 4, 1}, {0, 0, 4, 1}, "abcd----"},
                                           StretchCase{"double", {0, 0, 8, 1}, {0, 0, 4, 1}, "aabbccdd"},
                                           StretchCase{"halve", {0, 0, 2, 1}, {0, 0, 4, 1}, "ac------"},
                                           StretchCase{"three to five", {1, 0, 5, 1}, {0, 0, 3, 1}, "-aabbc--"},
                                           StretchCase{"mirror target", {4, 0, -4, 1}, {0, 0, 4, 1}, "dcba----"},
                                           StretchCase{"mirror source", {0, 0, 4, 1}, {4, 0, -4, 1}, "dcba----"},
                                           StretchCase{"both negative", {4, 0, -4, 1}, {4, 0, -4, 1}, "abcd----"},
                                           StretchCase{"mirror and double", {4, 0, -4, 1}, {0, 0, 2, 1}, "bbaa----"},
                                           StretchCase{"clipped left", {-1, 0, 4, 1}, {0, 0, 4, 1}, "bcd-----"},
                                           StretchCase{"source past right", {0, 0, 4, 1}, {2, 0, 4, 1}, "cd------"},
                                           StretchCase{"source before left", {1, 0, 4, 1}, {-1, 0, 4, 1}, "--abc---"},
                                           StretchCase{"zero width", {0, 0, 0, 1}, {0, 0, 4, 1}, "--------"},
                                           StretchCase{"mirror clipped", {9, 0, -8, 1}, {0, 0, 4, 1}, "-ddccbba"}));

TEST(Blit, VerticalMirrorAndRowOrders) {
    for (RowOrder so : {RowOrder::TopDown, RowOrder::BottomUp})
        for (RowOrder to : {RowOrder::TopDown, RowOrder::BottomUp}) {
            auto src = Make(1, 3, 24, so), dst = Make(1, 3, 32, to);
            for (int y = 0; y < 3; ++y) src->SetPixel(0, y, Rgb(0, static_cast<std::uint8_t>(y + 1), 0));
            DeviceContext dd(dst), ds(src);
            CopyBlock(dd, 0, 0, 1, 3, ds, 0, 0, RasterOp::SrcCopy);
            EXPECT_EQ(Colours(*dst), (std::vector<ColorRef>{Rgb(0, 1, 0), Rgb(0, 2, 0), Rgb(0, 3, 0)}));
            StretchBlock(dd, 0, 3, 1, -3, ds, 0, 0, 1, 3, RasterOp::SrcCopy);
            EXPECT_EQ(Colours(*dst), (std::vector<ColorRef>{Rgb(0, 3, 0), Rgb(0, 2, 0), Rgb(0, 1, 0)}));
        }
}

TEST(Blit, OverlappingCopyWithinOneSurface) {
    auto s = Make(4, 1, 24);
    for (int x = 0; x < 4; ++x) s->SetPixel(x, 0, Rgb(static_cast<std::uint8_t>(x + 1), 0, 0));
    DeviceContext dc(s);
    CopyBlock(dc, 1, 0, 3, 1, dc, 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Colours(*s), (std::vector<ColorRef>{Rgb(1, 0, 0), Rgb(1, 0, 0), Rgb(2, 0, 0), Rgb(3, 0, 0)}));
}

TEST(Blit, ThirtyTwoBitFourthByte) {
    auto src = Make(2, 1, 32), dst = Make(2, 1, 32), dst24 = Make(2, 1, 24);
    std::fill(src->bits(), src->bits() + 8, 0x77);
    DeviceContext ds(src), dd(dst);
    CopyBlock(dd, 0, 0, 2, 1, ds, 0, 0, RasterOp::SrcCopy);  // same layout: bytes as they are
    EXPECT_EQ(dst->bits()[3], 0x77);
    StretchBlock(dd, 0, 0, 2, 1, ds, 0, 0, 1, 1, RasterOp::SrcCopy);
    EXPECT_EQ(dst->bits()[7], 0x77);
    DeviceContext d24(dst24);
    CopyBlock(d24, 0, 0, 2, 1, ds, 0, 0, RasterOp::SrcCopy);
    CopyBlock(dd, 0, 0, 2, 1, d24, 0, 0, RasterOp::SrcCopy);  // from 24 bits: fourth byte 0
    EXPECT_EQ(dst->bits()[3], 0);
    EXPECT_EQ(dst->GetPixel(0, 0), Rgb(0x77, 0x77, 0x77));
    EXPECT_FALSE(CopyBlock(dd, 0, 0, 1, 1, DeviceContext(), 0, 0, RasterOp::SrcCopy));
    DeviceContext empty;
    EXPECT_FALSE(StretchBlock(empty, 0, 0, 1, 1, ds, 0, 0, 1, 1, RasterOp::SrcCopy));
}

// Every depth pair and raster operation against a pixel-by-pixel model built
// from the surface's own colour accessors.
class BlitMatrix : public ::testing::TestWithParam<std::tuple<int, int, RasterOp>> {};

TEST_P(BlitMatrix, MatchesPerPixelModel) {
    const auto [sb, tb, rop] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(sb * 100 + tb));
    auto fill = [&](Surface& s) {
        for (RgbQuad& q : s.colorTable())
            q = RgbQuad{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                        static_cast<std::uint8_t>(rng()), 0};
        for (std::size_t i = 0; i < s.sizeBytes(); ++i) s.bits()[i] = static_cast<std::uint8_t>(rng());
    };
    std::uniform_int_distribution<int> pos(-6, 20), len(1, 30);
    for (int trial = 0; trial < 30; ++trial) {
        auto src = Make(17, 13, sb, trial % 2 ? RowOrder::BottomUp : RowOrder::TopDown), dst = Make(19, 11, tb);
        fill(*src);
        fill(*dst);
        auto before = Surface::Create(19, 11, tb);
        std::copy(dst->bits(), dst->bits() + dst->sizeBytes(), before->bits());
        std::copy(dst->colorTable().begin(), dst->colorTable().end(), before->colorTable().begin());
        const bool stretch = trial % 3 != 0;
        const int x = pos(rng), y = pos(rng), sx = pos(rng), sy = pos(rng), w = len(rng), h = len(rng);
        const int sw = stretch ? len(rng) : w, sh = stretch ? len(rng) : h;
        DeviceContext dd(dst), ds(src);
        if (stretch)
            StretchBlock(dd, x, y, w, h, ds, sx, sy, sw, sh, rop);
        else
            CopyBlock(dd, x, y, w, h, ds, sx, sy, rop);
        for (int ty = 0; ty < 11; ++ty)
            for (int tx = 0; tx < 19; ++tx) {
                std::uint32_t expect = before->GetRaw(tx, ty);
                const int i = tx - x, j = ty - y;
                if (i >= 0 && i < w && j >= 0 && j < h) {
                    const int px = sx + i * sw / w, py = sy + j * sh / h;
                    if (px >= 0 && px < 17 && py >= 0 && py < 13) {
                        // 16 -> 16 keeps the unused top bit as stored.
                        std::uint32_t v =
                            sb == 16 && tb == 16 ? src->GetRaw(px, py) : dst->RawFromColor(src->GetPixel(px, py));
                        expect = rop == RasterOp::SrcAnd ? (expect & v) : rop == RasterOp::SrcPaint ? (expect | v) : v;
                    }
                }
                ASSERT_EQ(dst->GetRaw(tx, ty), expect) << "trial " << trial << " at " << tx << "," << ty;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllDepths, BlitMatrix,
    ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32), ::testing::Values(1, 4, 8, 16, 24, 32),
                       ::testing::Values(RasterOp::SrcCopy, RasterOp::SrcAnd, RasterOp::SrcPaint)));

TEST(Blit, SameTableCopiesIndicesAsTheyAre) {
    // Identical tables with distinct entries: every index maps to itself.
    auto src = Make(9, 2, 8), dst = Make(9, 2, 8);
    for (int i = 0; i < 256; ++i) {
        RgbQuad q{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7, 0};
        src->colorTable()[i] = dst->colorTable()[i] = q;
    }
    for (int i = 0; i < 18; ++i) src->SetRaw(i % 9, i / 9, static_cast<std::uint32_t>(i * 13));
    DeviceContext dd(dst);
    CopyBlock(dd, 0, 0, 9, 2, DeviceContext(src), 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(Raws(*dst), Raws(*src));
}

}  // namespace

namespace {

TEST(Blit, EqualColourTablesCopyIndicesUnchangedEvenWhenColoursRepeat) {
    // A fresh 8-bit table is all black: index 200 must stay 200, not
    // collapse to the first black entry.
    auto src = Surface::Create(3, 1, 8), dst = Surface::Create(3, 1, 8);
    src->SetRaw(0, 0, 200);
    src->SetRaw(1, 0, 7);
    src->SetRaw(2, 0, 255);
    DeviceContext s(src), d(dst);
    ASSERT_TRUE(CopyBlock(d, 0, 0, 3, 1, s, 0, 0, RasterOp::SrcCopy));
    EXPECT_EQ(dst->GetRaw(0, 0), 200u);
    EXPECT_EQ(dst->GetRaw(1, 0), 7u);
    EXPECT_EQ(dst->GetRaw(2, 0), 255u);
    ASSERT_TRUE(StretchBlock(d, 0, 0, 3, 1, s, 0, 0, 3, 1, RasterOp::SrcCopy));
    EXPECT_EQ(dst->GetRaw(0, 0), 200u);
}

}  // namespace
