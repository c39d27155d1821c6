#include "raster/PolygonFill.h"

#include <algorithm>
#include <vector>

#include "raster/Span.h"
#include "raster/WideInt.h"

namespace crossmeld::raster {

namespace {

// Pixels are sampled at their integer coordinates (x, y), as GDI's
// polygon fill does: a pixel belongs to a polygon when the point (x, y) lies
// inside it, or on a left or top edge. That point is also what the fade
// engine maps through the covering triangle, so it must lie in that triangle.
//
// One non-horizontal edge, from its upper end (xa, ya) to its lower end
// (xb, yb). It crosses rows ya <= y < yb. On row y the first pixel at or
// right of the crossing is
//   ceil(N(y) / D), N(y) = 2 xa dy + (2 y - 2 ya) dx, D = 2 dy.
// As a left bound that pixel is the first inside, as a right bound the first
// outside, which is the left/right tie rule. N grows by 2 dx per row; the
// edge keeps x = ceil(N / D) and the remainder r = x D - N in [0, D).
struct Edge {
    std::int64_t first = 0;  // first row to draw
    std::int64_t end = 0;    // one past the last row to draw
    std::int64_t x = 0;
    std::int64_t r = 0;
    std::int64_t stepX = 0;  // ceil(2 dx / D)
    std::int64_t stepR = 0;  // stepX D - 2 dx, in [0, D)
    std::int64_t d = 0;

    void Advance() noexcept {
        x += stepX;
        r += stepR;
        if (r >= d) {
            r -= d;
            --x;
        }
    }
};

bool MakeEdge(Point p, Point q, std::int64_t clipTop, std::int64_t clipBottom, Edge& e) {
    if (p.y == q.y) return false;
    if (p.y > q.y) std::swap(p, q);
    const std::int64_t xa = p.x, ya = p.y, dx = std::int64_t{q.x} - p.x, dy = std::int64_t{q.y} - p.y;
    e.first = std::max(ya, clipTop);
    e.end = std::min<std::int64_t>(q.y, clipBottom);
    if (e.first >= e.end) return false;
    e.d = 2 * dy;
    Int128 n = Int128{2 * xa} * dy + Int128{2 * e.first - 2 * ya} * dx;
    Int128 x = CeilDiv(n, e.d);
    e.x = static_cast<std::int64_t>(x);
    e.r = static_cast<std::int64_t>(x * e.d - n);
    e.stepX = static_cast<std::int64_t>(CeilDiv(2 * dx, e.d));
    e.stepR = e.stepX * e.d - 2 * dx;
    return true;
}

}  // namespace

void FillPolygon(Surface& surface, std::span<const Point> points, std::uint32_t raw) {
    if (points.size() < 3) return;
    const std::int64_t width = surface.width(), height = surface.height();

    std::vector<Edge> edges;
    edges.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        Edge e;
        if (MakeEdge(points[i], points[(i + 1) % points.size()], 0, height, e)) edges.push_back(e);
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.first < b.first; });

    std::int64_t last = 0;
    for (const Edge& e : edges) last = std::max(last, e.end);

    std::vector<Edge*> active;
    std::vector<std::int64_t> xs;
    active.reserve(edges.size());
    xs.reserve(edges.size());
    std::size_t next = 0;
    for (std::int64_t y = edges.front().first; y < last; ++y) {
        while (next < edges.size() && edges[next].first == y) active.push_back(&edges[next++]);
        std::erase_if(active, [y](const Edge* e) { return e->end <= y; });
        if (active.empty()) {
            // A gap between parts of a self-overlapping outline: jump ahead.
            if (next == edges.size()) break;
            y = edges[next].first - 1;
            continue;
        }
        xs.clear();
        for (Edge* e : active) xs.push_back(e->x);
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            std::int64_t x0 = std::max<std::int64_t>(xs[k], 0), x1 = std::min(xs[k + 1], width);
            if (x0 < x1)
                FillSpan(surface, static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0),
                         static_cast<std::int32_t>(x1), raw);
        }
        for (Edge* e : active) e->Advance();
    }
}

}  // namespace crossmeld::raster
