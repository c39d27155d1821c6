#include "formats/metafile/MetafileCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Error.h"
#include "raster/Span.h"

namespace crossmeld::metafile {
namespace {

// Coordinates are clamped to this range before any conversion to integers,
// far outside every picture, so absurd values cost nothing and never overflow.
constexpr double kFar = 1.0e8;

double Clamp(double v) { return std::clamp(v, -kFar, kFar); }

bool Finite(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

struct Edge {
    double x0, y0, x1, y1;
    int dir;
};

// The first pixel whose centre lies at or right of x.
std::int64_t FirstCentreAtOrAfter(double x) { return static_cast<std::int64_t>(std::ceil(Clamp(x) - 0.5)); }

bool HatchBit(int hatch, std::int32_t x, std::int32_t y) {
    const int hx = x & 7, hy = y & 7;
    switch (hatch) {
        case 0: return hy == 4;                                    // horizontal
        case 1: return hx == 4;                                    // vertical
        case 2: return hx == hy;                                   // forward diagonal, "\"
        case 3: return hx + hy == 7;                               // backward diagonal, "/"
        case 4: return hx == 4 || hy == 4;                         // cross
        default: return hx == hy || hx + hy == 7;                  // diagonal cross
    }
}

// Outlines of one stroke all turn the same way, so that the winding rule
// fills their union.
void AddOriented(std::vector<Contour>& out, Contour c) {
    double area = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const PointF& p = c[i];
        const PointF& q = c[(i + 1) % c.size()];
        area += p.x * q.y - q.x * p.y;
    }
    if (area < 0) std::reverse(c.begin(), c.end());
    if (area != 0) out.push_back(std::move(c));
}

Contour Disc(PointF centre, double radius) {
    const int n = PiecesFor(radius * 2.5, 8, 64);
    Contour c;
    c.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        c.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return c;
}

// Dash and gap lengths in pen widths (at least one pixel).
std::vector<double> DashPattern(Dash dash) {
    switch (dash) {
        case Dash::Dash: return {6, 2};
        case Dash::Dot: return {1, 1};
        case Dash::DashDot: return {6, 2, 1, 2};
        case Dash::DashDotDot: return {6, 2, 1, 2, 1, 2};
        case Dash::Solid: break;
    }
    return {};
}

// Cuts a polyline into dashes; a line with more than kMaxDashes dashes is
// drawn solid instead (it would be solid-looking anyway at that density).
constexpr double kMaxDashes = 100000;

std::vector<Contour> CutIntoDashes(std::span<const PointF> pts, const std::vector<double>& pattern, double unit) {
    double total = 0, period = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) total += std::hypot(pts[i].x - pts[i - 1].x, pts[i].y - pts[i - 1].y);
    for (double p : pattern) period += p * unit;
    if (!(period > 0) || total / period * pattern.size() > kMaxDashes) return {Contour(pts.begin(), pts.end())};

    std::vector<Contour> dashes;
    std::size_t k = 0;
    double left = pattern[0] * unit;  // of the current dash or gap
    bool on = true;
    Contour current{pts[0]};
    for (std::size_t i = 1; i < pts.size(); ++i) {
        PointF a = pts[i - 1];
        const PointF b = pts[i];
        double len = std::hypot(b.x - a.x, b.y - a.y);
        while (len > left) {
            const double t = left / len;
            const PointF m{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (on) {
                current.push_back(m);
                dashes.push_back(std::move(current));
            }
            current = {m};
            on = !on;
            len -= left;
            a = m;
            k = (k + 1) % pattern.size();
            left = pattern[k] * unit;
        }
        left -= len;
        if (on) current.push_back(b);
    }
    if (on && current.size() > 1) dashes.push_back(std::move(current));
    return dashes;
}

}  // namespace

MetafileCanvas::MetafileCanvas(std::shared_ptr<Surface> surface) : m_surface(std::move(surface)) {
    ResetClip();
    const std::int64_t area = std::int64_t{m_surface->width()} * m_surface->height();
    m_budget = std::min(kMostWork, kLeastWork + kWorkPerPixel * area);
}

void MetafileCanvas::Spend(std::int64_t units) {
    m_work += units;
    if (m_work > m_budget)
        throw Error(ErrorKind::InvalidPicture, "the metafile asks for far more drawing than a picture of its size needs");
}

void MetafileCanvas::ResetClip() noexcept { m_clip = Rect{0, 0, m_surface->width(), m_surface->height()}; }

void MetafileCanvas::SetClip(const Rect& clip) noexcept {
    m_clip.left = std::clamp(clip.left, 0, m_surface->width());
    m_clip.right = std::clamp(clip.right, m_clip.left, m_surface->width());
    m_clip.top = std::clamp(clip.top, 0, m_surface->height());
    m_clip.bottom = std::clamp(clip.bottom, m_clip.top, m_surface->height());
}

void MetafileCanvas::FillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, const Paint& paint) {
    Surface& s = *m_surface;
    switch (paint.kind) {
        case Paint::Kind::Solid: raster::FillSpan(s, y, x0, x1, s.RawFromColor(paint.color)); return;
        case Paint::Kind::Hatch: {
            const std::uint32_t fore = s.RawFromColor(paint.color), back = s.RawFromColor(paint.back);
            for (std::int32_t x = x0; x < x1; ++x) {
                if (HatchBit(paint.hatch, x, y))
                    s.SetRaw(x, y, fore);
                else if (paint.opaqueBack)
                    s.SetRaw(x, y, back);
            }
            return;
        }
        case Paint::Kind::Pattern: {
            const Surface& p = *paint.pattern;
            const std::int32_t py = y % p.height();
            for (std::int32_t x = x0; x < x1; ++x) s.SetPixel(x, y, p.GetPixel(x % p.width(), py));
            return;
        }
    }
}

void MetafileCanvas::Fill(std::span<const Contour> contours, FillRule rule, const Paint& paint) {
    if (m_clip.left >= m_clip.right || m_clip.top >= m_clip.bottom) return;
    std::vector<Edge> edges;
    double minY = kFar, maxY = -kFar;
    for (const Contour& c : contours) {
        for (std::size_t i = 0; i < c.size(); ++i) {
            PointF p = c[i], q = c[(i + 1) % c.size()];
            if (!Finite(p) || !Finite(q)) return;
            p = {Clamp(p.x), Clamp(p.y)};
            q = {Clamp(q.x), Clamp(q.y)};
            if (p.y == q.y) continue;
            int dir = 1;
            if (p.y > q.y) {
                std::swap(p, q);
                dir = -1;
            }
            edges.push_back({p.x, p.y, q.x, q.y, dir});
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, q.y);
        }
    }
    if (edges.empty()) return;
    Spend(static_cast<std::int64_t>(edges.size()));
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

    // Rows whose centre lies in [minY, maxY).
    const std::int64_t first = std::max<std::int64_t>(m_clip.top, FirstCentreAtOrAfter(minY));
    const std::int64_t end = std::min<std::int64_t>(m_clip.bottom, FirstCentreAtOrAfter(maxY));
    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> xs;
    std::size_t next = 0;
    for (std::int64_t y = first; y < end; ++y) {
        const double yc = static_cast<double>(y) + 0.5;
        while (next < edges.size() && edges[next].y0 <= yc) active.push_back(&edges[next++]);
        std::erase_if(active, [yc](const Edge* e) { return e->y1 <= yc; });
        Spend(1 + static_cast<std::int64_t>(active.size()));
        xs.clear();
        for (const Edge* e : active)
            if (e->y0 <= yc) xs.emplace_back(e->x0 + (yc - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->dir);
        std::sort(xs.begin(), xs.end());
        int winding = 0;
        for (std::size_t k = 0; k + 1 < xs.size(); ++k) {
            winding += xs[k].second;
            const bool inside = rule == FillRule::Alternate ? ((k + 1) & 1) != 0 : winding != 0;
            if (!inside) continue;
            const std::int64_t x0 = std::max<std::int64_t>(m_clip.left, FirstCentreAtOrAfter(xs[k].first));
            const std::int64_t x1 = std::min<std::int64_t>(m_clip.right, FirstCentreAtOrAfter(xs[k + 1].first));
            if (x0 < x1) Spend(x1 - x0);
            if (x0 < x1)
                FillSpan(static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0), static_cast<std::int32_t>(x1),
                         paint);
        }
    }
}

void MetafileCanvas::ThinLine(PointF a, PointF b, std::uint32_t raw) {
    if (!Finite(a) || !Finite(b)) return;
    // Whole-pixel coordinates that the mapping's arithmetic left a hair
    // below their integer must still pick that pixel: snap to 1/256 pixel.
    auto snap = [](double v) { return std::round(Clamp(v) * 256) / 256; };
    a = {snap(a.x), snap(a.y)};
    b = {snap(b.x), snap(b.y)};
    // Clip the segment to the clip rectangle widened by a pixel (Liang-Barsky),
    // so that long lines far outside cost nothing.
    const double xmin = m_clip.left - 1.0, xmax = m_clip.right + 1.0;
    const double ymin = m_clip.top - 1.0, ymax = m_clip.bottom + 1.0;
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - xmin, xmax - a.x, a.y - ymin, ymax - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return;
    }
    const PointF c{a.x + dx * t0, a.y + dy * t0}, d{a.x + dx * t1, a.y + dy * t1};
    Surface& s = *m_surface;
    auto plot = [&](double x, double y) {
        const double fx = std::floor(x), fy = std::floor(y);
        // Written so that a coordinate that is not a number plots nothing.
        if (!(fx >= m_clip.left && fx < m_clip.right && fy >= m_clip.top && fy < m_clip.bottom)) return;
        s.SetRaw(static_cast<std::int32_t>(fx), static_cast<std::int32_t>(fy), raw);
    };
    plot(c.x, c.y);
    plot(d.x, d.y);
    const bool alongX = std::fabs(d.x - c.x) >= std::fabs(d.y - c.y);
    Spend(2 + static_cast<std::int64_t>(std::max(std::fabs(d.x - c.x), std::fabs(d.y - c.y))));
    const double from = alongX ? std::min(c.x, d.x) : std::min(c.y, d.y);
    const double to = alongX ? std::max(c.x, d.x) : std::max(c.y, d.y);
    for (double i = std::ceil(from - 0.5); i + 0.5 <= to; ++i) {
        const double m = i + 0.5;
        if (alongX) {
            plot(m, c.y + (m - c.x) * (d.y - c.y) / (d.x - c.x));
        } else {
            plot(c.x + (m - c.y) * (d.x - c.x) / (d.y - c.y), m);
        }
    }
}

void MetafileCanvas::Stroke(std::span<const PointF> points, bool closed, const StrokeStyle& style) {
    if (points.empty()) return;
    for (const PointF& p : points)
        if (!Finite(p)) return;
    std::vector<PointF> path(points.begin(), points.end());
    if (closed && path.size() > 1) path.push_back(path.front());

    std::vector<Contour> pieces;
    if (style.dash != Dash::Solid)
        pieces = CutIntoDashes(path, DashPattern(style.dash), std::max(style.width, 1.0));
    else
        pieces.push_back(std::move(path));
    // A dashed outline is a set of open lines; a solid closed one has no ends.
    const bool noEnds = closed && style.dash == Dash::Solid;

    if (style.width < 1.5) {
        const std::uint32_t raw = m_surface->RawFromColor(style.color);
        for (const Contour& line : pieces) {
            if (line.size() == 1) ThinLine(line[0], line[0], raw);
            for (std::size_t i = 1; i < line.size(); ++i) ThinLine(line[i - 1], line[i], raw);
        }
        return;
    }

    const double h = style.width / 2;
    std::vector<Contour> outline;
    for (const Contour& line : pieces) {
        // Segments of zero length have no direction; drop them.
        Contour pts;
        for (const PointF& p : line)
            if (pts.empty() || p.x != pts.back().x || p.y != pts.back().y) pts.push_back(p);
        if (pts.size() == 1) {
            if (style.cap == LineCap::Round) AddOriented(outline, Disc(pts[0], h));
            if (style.cap == LineCap::Square)
                AddOriented(outline, {{pts[0].x - h, pts[0].y - h}, {pts[0].x + h, pts[0].y - h},
                                      {pts[0].x + h, pts[0].y + h}, {pts[0].x - h, pts[0].y + h}});
            continue;
        }
        const std::size_t n = pts.size();
        for (std::size_t i = 1; i < n; ++i) {
            PointF a = pts[i - 1], b = pts[i];
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            const double ux = (b.x - a.x) / len, uy = (b.y - a.y) / len;
            if (!noEnds && style.cap == LineCap::Square) {
                if (i == 1) a = {a.x - ux * h, a.y - uy * h};
                if (i == n - 1) b = {b.x + ux * h, b.y + uy * h};
            }
            const double nx = -uy * h, ny = ux * h;
            AddOriented(outline, {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}});
        }
        // Joins at the inner points (and at the closing point of a closed line).
        const bool ring = noEnds && n > 2 && pts.front().x == pts.back().x && pts.front().y == pts.back().y;
        for (std::size_t i = ring ? 0 : 1; i + 1 < n; ++i) {
            const PointF prev = i == 0 ? pts[n - 2] : pts[i - 1];
            const PointF at = pts[i], next = pts[i + 1];
            if (style.join == LineJoin::Round) {
                AddOriented(outline, Disc(at, h));
                continue;
            }
            const double l1 = std::hypot(at.x - prev.x, at.y - prev.y), l2 = std::hypot(next.x - at.x, next.y - at.y);
            const PointF u1{(at.x - prev.x) / l1, (at.y - prev.y) / l1}, u2{(next.x - at.x) / l2, (next.y - at.y) / l2};
            const double turn = u1.x * u2.y - u1.y * u2.x;
            if (turn == 0) continue;
            // The outer side of the turn.
            const double side = turn > 0 ? -1 : 1;
            const PointF p1{at.x - u1.y * h * side, at.y + u1.x * h * side};
            const PointF p2{at.x - u2.y * h * side, at.y + u2.x * h * side};
            Contour join{at, p1, p2};
            if (style.join == LineJoin::Miter) {
                const double cosHalf = std::sqrt(std::max(0.0, (1 + u1.x * u2.x + u1.y * u2.y) / 2));
                if (cosHalf > 0 && 1 / cosHalf <= style.miterLimit) {
                    const PointF mid{(p1.x + p2.x) / 2 - at.x, (p1.y + p2.y) / 2 - at.y};
                    const double ml = std::hypot(mid.x, mid.y);
                    if (ml > 0) {
                        const double reach = h / cosHalf;
                        join = {at, p1, {at.x + mid.x / ml * reach, at.y + mid.y / ml * reach}, p2};
                    }
                }
            }
            AddOriented(outline, std::move(join));
        }
        if (!noEnds && style.cap == LineCap::Round) {
            AddOriented(outline, Disc(pts.front(), h));
            AddOriented(outline, Disc(pts.back(), h));
        }
    }
    Paint paint;
    paint.color = style.color;
    Fill(outline, FillRule::Winding, paint);
}

namespace {

std::uint32_t Combine(std::uint32_t rop, std::uint32_t src, std::uint32_t dst) {
    switch (rop) {
        case 0x008800C6: return src & dst;               // SRCAND
        case 0x00EE0086: return src | dst;               // SRCPAINT
        case 0x00660046: return (src ^ dst) & 0xFFFFFF;  // SRCINVERT
        case 0x00330008: return ~src & 0xFFFFFF;         // NOTSRCCOPY
        default: return src;                             // SRCCOPY and the rest
    }
}

}  // namespace

void MetafileCanvas::DrawImage(const Surface& source, double sx, double sy, double sw, double sh, PointF origin,
                               PointF u, PointF v, std::uint32_t rop) {
    const double det = u.x * v.y - u.y * v.x;
    if (!std::isfinite(det) || det == 0 || !Finite(origin) || sw == 0 || sh == 0) return;
    double minX = origin.x, maxX = origin.x, minY = origin.y, maxY = origin.y;
    for (PointF c : {PointF{origin.x + u.x, origin.y + u.y}, PointF{origin.x + v.x, origin.y + v.y},
                     PointF{origin.x + u.x + v.x, origin.y + u.y + v.y}}) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    const std::int64_t x0 = std::max<std::int64_t>(m_clip.left, FirstCentreAtOrAfter(minX));
    const std::int64_t x1 = std::min<std::int64_t>(m_clip.right, FirstCentreAtOrAfter(maxX));
    const std::int64_t y0 = std::max<std::int64_t>(m_clip.top, FirstCentreAtOrAfter(minY));
    const std::int64_t y1 = std::min<std::int64_t>(m_clip.bottom, FirstCentreAtOrAfter(maxY));
    Surface& s = *m_surface;
    if (x0 < x1 && y0 < y1) Spend((x1 - x0) * (y1 - y0));
    const double loX = std::min(sx, sx + sw), hiX = std::max(sx, sx + sw);
    const double loY = std::min(sy, sy + sh), hiY = std::max(sy, sy + sh);
    for (std::int64_t y = y0; y < y1; ++y) {
        for (std::int64_t x = x0; x < x1; ++x) {
            const double px = x + 0.5 - origin.x, py = y + 0.5 - origin.y;
            const double a = (px * v.y - py * v.x) / det, b = (u.x * py - u.y * px) / det;
            if (a < 0 || a >= 1 || b < 0 || b >= 1) continue;
            const double fx = std::clamp(std::floor(sx + a * sw), loX, hiX - 1);
            const double fy = std::clamp(std::floor(sy + b * sh), loY, hiY - 1);
            if (fx < 0 || fy < 0 || fx >= source.width() || fy >= source.height()) continue;
            const std::uint32_t src = s.RawFromColor(source.GetPixel(static_cast<std::int32_t>(fx), static_cast<std::int32_t>(fy)));
            const auto tx = static_cast<std::int32_t>(x), ty = static_cast<std::int32_t>(y);
            s.SetRaw(tx, ty, Combine(rop, src, s.GetRaw(tx, ty)));
        }
    }
}

void MetafileCanvas::PatternBlt(const Rect& rect, const Paint& paint, std::uint32_t rop) {
    const std::int32_t x0 = std::max(rect.left, m_clip.left), x1 = std::min(rect.right, m_clip.right);
    const std::int32_t y0 = std::max(rect.top, m_clip.top), y1 = std::min(rect.bottom, m_clip.bottom);
    if (x0 >= x1 || y0 >= y1) return;
    Spend(std::int64_t{x1 - x0} * (y1 - y0));
    Surface& s = *m_surface;
    for (std::int32_t y = y0; y < y1; ++y) {
        switch (rop) {
            case 0x00000042: raster::FillSpan(s, y, x0, x1, s.RawFromColor(0)); break;         // BLACKNESS
            case 0x00FF0062: raster::FillSpan(s, y, x0, x1, s.RawFromColor(0xFFFFFF)); break;  // WHITENESS
            case 0x00550009:                                                                     // DSTINVERT
                for (std::int32_t x = x0; x < x1; ++x) s.SetRaw(x, y, ~s.GetRaw(x, y) & 0xFFFFFF);
                break;
            case 0x005A0049:  // PATINVERT: solid paints only
                for (std::int32_t x = x0; x < x1; ++x) s.SetRaw(x, y, (s.GetRaw(x, y) ^ s.RawFromColor(paint.color)) & 0xFFFFFF);
                break;
            case 0x00AA0029: break;  // the destination as it is
            default: FillSpan(y, x0, x1, paint); break;  // PATCOPY and the rest
        }
    }
}

void MetafileCanvas::BlendCoverage(std::int64_t x, std::int64_t y, const std::uint8_t* coverage, int width, int rows,
                                   int pitch, ColorRef color) {
    Surface& s = *m_surface;
    const std::int64_t x0 = std::max<std::int64_t>(x, m_clip.left), x1 = std::min<std::int64_t>(x + width, m_clip.right);
    const std::int64_t y0 = std::max<std::int64_t>(y, m_clip.top), y1 = std::min<std::int64_t>(y + rows, m_clip.bottom);
    if (x0 < x1 && y0 < y1) Spend((x1 - x0) * (y1 - y0));
    for (std::int64_t py = y0; py < y1; ++py) {
        const std::uint8_t* line = coverage + (py - y) * pitch;
        for (std::int64_t px = x0; px < x1; ++px) {
            const unsigned a = line[px - x];
            if (a == 0) continue;
            const auto tx = static_cast<std::int32_t>(px), ty = static_cast<std::int32_t>(py);
            const ColorRef d = s.GetPixel(tx, ty);
            auto mix = [a](unsigned fore, unsigned back) {
                return static_cast<std::uint8_t>((fore * a + back * (255 - a) + 127) / 255);
            };
            s.SetPixel(tx, ty, Rgb(mix(RedOf(color), RedOf(d)), mix(GreenOf(color), GreenOf(d)), mix(BlueOf(color), BlueOf(d))));
        }
    }
}

}  // namespace crossmeld::metafile
