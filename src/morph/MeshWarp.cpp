#include "morph/MeshWarp.h"

#include <cmath>

#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld::MeshWarp {

namespace {

// Distance, held in single precision, of (x2, y2) from the line through
// (ax, ay) with slope m: |-m x2 + y2 - ay + m ax| / sqrt(m^2 + 1).
float LineDistance(float m, std::int32_t x2, std::int32_t y2, std::int32_t ax, std::int32_t ay) {
    const double md = m;
    const double numerator = std::fabs(-md * x2 + y2 - ay + md * ax);
    return ToSingle(numerator / std::sqrt(md * md + 1.0));
}

// Length of (dx, dy); the sum of squares is 32-bit integer arithmetic.
double Length(std::int32_t dx, std::int32_t dy) {
    return std::sqrt(static_cast<double>(CheckedAdd(CheckedMul(dx, dx), CheckedMul(dy, dy))));
}

float Slope(std::int32_t dy, std::int32_t dx, float vertical) {
    if (dx == 0) return vertical;
    return ToSingle(static_cast<double>(dy) / static_cast<double>(dx));
}

std::int32_t Clamp(std::int32_t v, std::int32_t upper) {
    if (v > upper) v = upper;  // upper bound first, then the lower bound
    if (v < 0) v = 0;
    return v;
}

}  // namespace

void BuildMeshGrid(ControlMesh& mesh) {
    const float cw = ToSingle(static_cast<double>(mesh.Width) / static_cast<double>(mesh.Columns));
    const float ch = ToSingle(static_cast<double>(mesh.Height) / static_cast<double>(mesh.Rows));
    const std::int64_t count =
        (static_cast<std::int64_t>(mesh.Columns) + 1) * (static_cast<std::int64_t>(mesh.Rows) + 1);
    if (mesh.Columns < 1 || mesh.Rows < 1 || count > (std::int64_t{1} << 26))
        throw Error(ErrorKind::SubscriptOutOfRange);
    mesh.PointStore.assign(static_cast<std::size_t>(count), Point{});
    for (std::int32_t r = 1; r <= mesh.Rows; ++r)
        for (std::int32_t c = 1; c <= mesh.Columns; ++c)
            mesh.Points(c, r) = {ToInt32((c - 1) * static_cast<double>(cw)), ToInt32((r - 1) * static_cast<double>(ch))};
    for (std::int32_t r = 1; r <= mesh.Rows; ++r)
        mesh.Points(mesh.Columns + 1, r) = {mesh.Width, ToInt32((r - 1) * static_cast<double>(ch))};
    for (std::int32_t c = 1; c <= mesh.Columns; ++c)
        mesh.Points(c, mesh.Rows + 1) = {ToInt32((c - 1) * static_cast<double>(cw)), mesh.Height};
    mesh.Points(mesh.Columns + 1, mesh.Rows + 1) = {mesh.Width, mesh.Height};
}

void TriangulateMesh(const ControlMesh& mesh, TriangleList& out) {
    TriangleList list(CheckedMul(CheckedMul(2, mesh.Columns), mesh.Rows));
    std::int32_t j = 1;
    for (std::int32_t i = 1; i <= mesh.Rows; ++i) {
        for (std::int32_t k = 1; k <= mesh.Columns; ++k) {
            // Both halves share the diagonal from top-left to bottom-right.
            list(j) = {mesh.Points(k, i), mesh.Points(k, i + 1), mesh.Points(k + 1, i + 1)};
            list(j + 1) = {mesh.Points(k, i), mesh.Points(k + 1, i), mesh.Points(k + 1, i + 1)};
            j += 2;
        }
    }
    out = std::move(list);
}

void InterpolateTriangles(const TriangleList& start, const TriangleList& end, TriangleList& out, std::int32_t k,
                          std::int32_t last) {
    if (last == 0) throw Error(ErrorKind::DivisionByZero);
    InterpolateTrianglesAt(start, end, out, ToSingle(static_cast<double>(k) / static_cast<double>(last)));
}

void InterpolateTrianglesAt(const TriangleList& start, const TriangleList& end, TriangleList& out, float weight) {
    const double t = weight;
    TriangleList list(start.UpperIndex());
    auto lerp = [t](std::int32_t s, std::int32_t e) { return ToInt32(t * CheckedSub(e, s) + s); };
    for (std::int32_t i = 1; i <= start.UpperIndex(); ++i) {
        const ControlTriangle& s = start(i);
        const ControlTriangle& e = end(i);
        list(i) = {{lerp(s.V0.x, e.V0.x), lerp(s.V0.y, e.V0.y)},
                   {lerp(s.V1.x, e.V1.x), lerp(s.V1.y, e.V1.y)},
                   {lerp(s.V2.x, e.V2.x), lerp(s.V2.y, e.V2.y)}};
    }
    out = std::move(list);
}

float TriangleArea(const Point& v0, const Point& v1, const Point& v2) {
    const std::int32_t ex = CheckedSub(v0.x, v1.x);
    const std::int32_t ey = CheckedSub(v0.y, v1.y);
    const float m = v0.x == v1.x ? kVerticalSlope : Slope(ey, ex, kVerticalSlope);
    const float d = LineDistance(m, v2.x, v2.y, v0.x, v0.y);
    return ToSingle(Length(ex, ey) * 0.5 * static_cast<double>(d));
}

Weights BarycentricWeights(const ControlTriangle& t, std::int32_t px, std::int32_t py, float area) {
    const double f = area == 0.0f ? kDegenerateFactor : ToSingle(0.5 / static_cast<double>(area));
    Weights w;
    // V0's weight: the area of (P, V1, V2).
    const std::int32_t dx = CheckedSub(px, t.V1.x);
    const std::int32_t dy = CheckedSub(py, t.V1.y);
    const float m0 = Slope(dy, dx, kVerticalSlopeWeight0);
    const float d0 = LineDistance(m0, t.V2.x, t.V2.y, px, py);
    w.w0 = ToSingle(Length(dx, dy) * static_cast<double>(d0) * f);
    // V1's weight: the area of (P, V0, V2).
    const std::int32_t ex = CheckedSub(t.V0.x, px);
    const std::int32_t ey = CheckedSub(t.V0.y, py);
    const float m1 = Slope(ey, ex, kVerticalSlope);
    const float d1 = LineDistance(m1, t.V2.x, t.V2.y, t.V0.x, t.V0.y);
    w.w1 = ToSingle(Length(ex, ey) * static_cast<double>(d1) * f);
    w.w2 = ToSingle(1.0 - static_cast<double>(w.w0) - static_cast<double>(w.w1));
    return w;
}

void FillPolygon(DeviceContext& dc, const Point* points, std::uint32_t color, std::int32_t count) {
    const Brush previous = dc.SetBrush(Brush{BrushStyle::Solid, color});
    const Pen pen = dc.pen();
    dc.SetPen(Pen{PenStyle::Null, 0});  // fills never get an outline
    dc.Polygon(std::span<const Point>(points, static_cast<std::size_t>(count)));
    dc.SetPen(pen);
    dc.SetBrush(previous);
}

void PaintTriangleIds(DeviceContext& dc, const TriangleList& list) {
    for (std::int32_t i = 1; i <= list.UpperIndex(); ++i) {
        const ControlTriangle& t = list(i);
        FillPolygon(dc, &t.V0, static_cast<std::uint32_t>(CheckedMul(10, i)), 3);
    }
}

float DecodeIdentifier(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const std::int32_t value = (blue * 256 + green) * 256 + red;
    return ToSingle(value * 0.1);
}

PixelMapper::PixelMapper(const TriangleList& startList, const TriangleList& endList, const TriangleList& frameList,
                         std::int32_t width, std::int32_t height)
    : m_start(startList),
      m_end(endList),
      m_frame(frameList),
      m_width(width),
      m_height(height),
      m_upper(static_cast<float>(frameList.UpperIndex())) {}

bool PixelMapper::Map(std::int32_t x, std::int32_t y, const std::uint8_t* pixel, SourcePositions& out) {
    const float n = DecodeIdentifier(pixel[0], pixel[1], pixel[2]);
    if (n > m_upper) return false;
    // Identifier 0 names no triangle: such a pixel is left as it is.
    const std::int32_t id = ToInt32(n);
    if (id < 1) return false;
    const ControlTriangle& ft = m_frame(id);
    // The area is recomputed only when the identifier changes.
    if (n != m_q) m_area = TriangleArea(ft.V0, ft.V1, ft.V2);
    const Weights wt = BarycentricWeights(ft, x, y, m_area);
    const double w0 = wt.w0, w1 = wt.w1, w2 = wt.w2;
    const ControlTriangle& s = m_start(id);
    const ControlTriangle& e = m_end(id);
    out.xs = Clamp(ToInt32(w1 * s.V1.x + w0 * s.V0.x + w2 * s.V2.x), m_width - 1);
    out.ys = Clamp(ToInt32(w1 * s.V1.y + w0 * s.V0.y + w2 * s.V2.y), m_height - 1);
    out.xe = Clamp(ToInt32(w1 * e.V1.x + w0 * e.V0.x + w2 * e.V2.x), m_width - 1);
    out.ye = Clamp(ToInt32(w1 * e.V1.y + w0 * e.V0.y + w2 * e.V2.y), m_height - 1);
    m_q = n;
    return true;
}

BlendTable::BlendTable(float w) {
    const double wd = w;
    const double ud = ToSingle(1.0 - wd);
    // nearest(E w + S u) with both bytes held in single precision and the
    // products and sum in double precision; every (S, E) pair once.
    for (int s = 0; s < 256; ++s)
        for (int e = 0; e < 256; ++e)
            m_values[static_cast<std::size_t>(s) * 256 + static_cast<std::size_t>(e)] =
                ToByte(static_cast<double>(static_cast<float>(e)) * wd + static_cast<double>(static_cast<float>(s)) * ud);
}

GridExtent UsableExtent(const PixelGrid& g) {
    // A grid whose bytes do not fill its header's size (a released grid) has
    // no pixel that can be addressed.
    const bool usable = g.GridWidth() > 0 && g.GridHeight() > 0 &&
                        g.Bits.size() >= 4 * static_cast<std::size_t>(g.GridWidth()) *
                                             static_cast<std::size_t>(g.GridHeight());
    return usable ? GridExtent{g.GridWidth(), g.GridHeight()} : GridExtent{};
}

void CheckFrameGrid(const PixelGrid& frame) {
    const std::int32_t W = frame.GridWidth(), H = frame.GridHeight();
    if (W < 0 || H < 0 || frame.Bits.size() < 4 * static_cast<std::size_t>(W) * static_cast<std::size_t>(H))
        throw Error(ErrorKind::SubscriptOutOfRange);
}

void WarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                    const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w) {
    CheckFrameGrid(frame);
    const std::int32_t W = frame.GridWidth();
    const std::int32_t H = frame.GridHeight();
    const GridExtent se = UsableExtent(start), ee = UsableExtent(end);
    const BlendTable blend(w);
    PixelMapper mapper(startList, endList, frameList, W, H);
    std::uint8_t* bits = frame.Bits.data();
    SourcePositions pos;
    for (std::int32_t y = 0; y < H; ++y) {
        for (std::int32_t x = 0; x < W; ++x) {
            std::uint8_t* px = bits + PixelGrid::Offset(0, x, y, W);
            if (!mapper.Map(x, y, px, pos)) continue;
            if (!se.Contains(pos.xs, pos.ys) || !ee.Contains(pos.xe, pos.ye))
                throw Error(ErrorKind::SubscriptOutOfRange);
            const std::uint8_t* sp = start.Bits.data() + PixelGrid::Offset(0, pos.xs, pos.ys, se.width);
            const std::uint8_t* ep = end.Bits.data() + PixelGrid::Offset(0, pos.xe, pos.ye, ee.width);
            for (int c = 0; c < 3; ++c) px[c] = blend(sp[c], ep[c]);
        }
    }
}

}  // namespace crossmeld::MeshWarp
