#include "formats/metafile/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Error.h"
#include "formats/metafile/MetafileText.h"

namespace crossmeld::metafile {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFar = 1.0e8;

std::int32_t PixelEdge(double v) {
    return static_cast<std::int32_t>(std::ceil(std::clamp(v, -kFar, kFar) - 0.5));
}

// The pixels whose centres lie in the bounding box of the points.
Rect PixelBox(std::span<const PointF> pts) {
    double minX = kFar, minY = kFar, maxX = -kFar, maxY = -kFar;
    for (const PointF& p : pts) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return Rect{0, 0, 0, 0};
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (minX > maxX) return Rect{0, 0, 0, 0};
    return Rect{PixelEdge(minX), PixelEdge(minY), PixelEdge(maxX), PixelEdge(maxY)};
}

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

PointF Minus(PointF a, PointF b) { return {a.x - b.x, a.y - b.y}; }

}  // namespace

MetafilePlayer::MetafilePlayer(MetafileCanvas& canvas, const Device& device) : m_canvas(canvas), m_device(device) {
    m_state.clip = Rect{0, 0, canvas.surface().width(), canvas.surface().height()};
    UpdateTransform();
}

MetafilePlayer::~MetafilePlayer() = default;

// --- mapping -------------------------------------------------------------

void MetafilePlayer::UpdateTransform() {
    const State& s = m_state;
    double sx = 1, sy = 1;
    PointF viewportOrg = s.viewportOrg;
    auto ratio = [](double v, double w) { return w != 0 ? v / w : 0.0; };
    if (m_device.wmf) {
        sx = ratio(m_device.viewportWidth, s.windowExt.x);
        sy = ratio(m_device.viewportHeight, s.windowExt.y);
        viewportOrg = {0, 0};
    } else {
        const double mmX = m_device.pixelsPerMmX, mmY = m_device.pixelsPerMmY;
        switch (s.mapMode) {
            case 2: sx = mmX * 0.1, sy = -mmY * 0.1; break;                      // MM_LOMETRIC
            case 3: sx = mmX * 0.01, sy = -mmY * 0.01; break;                    // MM_HIMETRIC
            case 4: sx = mmX * 0.254, sy = -mmY * 0.254; break;                  // MM_LOENGLISH
            case 5: sx = mmX * 0.0254, sy = -mmY * 0.0254; break;                // MM_HIENGLISH
            case 6: sx = mmX * 25.4 / 1440, sy = -mmY * 25.4 / 1440; break;      // MM_TWIPS
            case 7:
            case 8:
                sx = ratio(s.viewportExt.x, s.windowExt.x);
                sy = ratio(s.viewportExt.y, s.windowExt.y);
                break;
            default: break;  // MM_TEXT
        }
    }
    if (s.mapMode == 7) {  // MM_ISOTROPIC: the smaller scale on both axes
        const double m = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
    }
    Affine page{sx, 0, 0, sy, viewportOrg.x - s.windowOrg.x * sx, viewportOrg.y - s.windowOrg.y * sy};
    m_toPicture = s.world.Then(page).Then(m_device.toPicture);
}

void MetafilePlayer::SetMapMode(std::int32_t mode) {
    if (mode < 1 || mode > 8) return;
    m_state.mapMode = mode;
    UpdateTransform();
}
void MetafilePlayer::SetWindowOrg(double x, double y) {
    m_state.windowOrg = {x, y};
    UpdateTransform();
}
void MetafilePlayer::SetWindowExt(double x, double y) {
    if (x == 0 || y == 0) return;
    m_state.windowExt = {x, y};
    UpdateTransform();
}
void MetafilePlayer::SetViewportOrg(double x, double y) {
    m_state.viewportOrg = {x, y};
    UpdateTransform();
}
void MetafilePlayer::SetViewportExt(double x, double y) {
    if (x == 0 || y == 0) return;
    m_state.viewportExt = {x, y};
    UpdateTransform();
}
void MetafilePlayer::OffsetWindowOrg(double x, double y) {
    SetWindowOrg(m_state.windowOrg.x + x, m_state.windowOrg.y + y);
}
void MetafilePlayer::OffsetViewportOrg(double x, double y) {
    SetViewportOrg(m_state.viewportOrg.x + x, m_state.viewportOrg.y + y);
}
void MetafilePlayer::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetWindowExt(m_state.windowExt.x * xNum / xDenom, m_state.windowExt.y * yNum / yDenom);
}
void MetafilePlayer::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetViewportExt(m_state.viewportExt.x * xNum / xDenom, m_state.viewportExt.y * yNum / yDenom);
}

void MetafilePlayer::SetWorldTransform(const Affine& xform) {
    // A transform that cannot be inverted is refused, as Windows' GDI does.
    if (!xform.Finite() || xform.Determinant() == 0) return;
    m_state.world = xform;
    UpdateTransform();
}

void MetafilePlayer::ModifyWorldTransform(const Affine& xform, std::uint32_t mode) {
    switch (mode) {
        case 1: m_state.world = Affine{}; break;
        case 2: SetWorldTransform(xform.Then(m_state.world)); return;
        case 3: SetWorldTransform(m_state.world.Then(xform)); return;
        case 4: SetWorldTransform(xform); return;
        default: return;
    }
    UpdateTransform();
}

void MetafilePlayer::SaveDC() {
    if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_state);
}

void MetafilePlayer::RestoreDC(std::int32_t which) {
    const auto depth = static_cast<std::int64_t>(m_saved.size());
    const std::int64_t target = which < 0 ? depth + which : std::int64_t{which} - 1;
    if (which == 0 || target < 0 || target >= depth) return;
    m_state = m_saved[static_cast<std::size_t>(target)];
    m_saved.resize(static_cast<std::size_t>(target));
    UpdateTransform();
    ApplyClip();
}

// --- objects -------------------------------------------------------------

void MetafilePlayer::CreateObject(std::uint32_t index, GdiObject object) { m_objects[index] = std::move(object); }

void MetafilePlayer::AddObject(GdiObject object) {
    std::uint32_t slot;
    if (!m_freed.empty()) {
        slot = *m_freed.begin();
        m_freed.erase(m_freed.begin());
    } else {
        if (m_nextSlot > 0xFFFF) return;
        slot = m_nextSlot++;
    }
    m_objects[slot] = std::move(object);
}

const GdiObject* MetafilePlayer::Lookup(std::uint32_t handle) const {
    auto it = m_objects.find(handle);
    return it == m_objects.end() ? nullptr : &it->second;
}

void MetafilePlayer::SelectObject(std::uint32_t handle) {
    std::optional<GdiObject> stock;
    const GdiObject* object = nullptr;
    if (!m_device.wmf && (handle & 0x80000000u)) {
        stock = StockObject(handle & 0x7FFFFFFFu);
        if (stock) object = &*stock;
    } else {
        object = Lookup(handle);
    }
    if (!object) return;
    if (auto* pen = std::get_if<PenObject>(object)) m_state.pen = *pen;
    if (auto* brush = std::get_if<BrushObject>(object)) m_state.brush = *brush;
    if (auto* font = std::get_if<FontObject>(object)) m_state.font = *font;
}

void MetafilePlayer::DeleteObject(std::uint32_t handle) {
    if (m_objects.erase(handle) && m_device.wmf && handle < m_nextSlot) m_freed.insert(handle);
}

// --- clipping ------------------------------------------------------------

void MetafilePlayer::ApplyClip() { m_canvas.SetClip(m_state.clip); }

void MetafilePlayer::ResetClip() {
    m_state.clip = Rect{0, 0, m_canvas.surface().width(), m_canvas.surface().height()};
    ApplyClip();
}

void MetafilePlayer::IntersectClipRect(const RectF& r) {
    const PointF corners[4] = {Map({r.left, r.top}), Map({r.right, r.top}), Map({r.right, r.bottom}),
                               Map({r.left, r.bottom})};
    m_state.clip = Intersect(m_state.clip, PixelBox(corners));
    ApplyClip();
}

void MetafilePlayer::SelectClipRects(std::span<const RectF> rects, std::uint32_t mode) {
    if (rects.empty()) {
        if (mode == 5) ResetClip();  // RGN_COPY of no region: the default clip
        return;
    }
    std::vector<PointF> corners;
    for (const RectF& r : rects) {
        for (PointF p : {PointF{r.left, r.top}, PointF{r.right, r.bottom}, PointF{r.right, r.top}, PointF{r.left, r.bottom}})
            corners.push_back(m_device.toPicture(p));
    }
    const Rect box = PixelBox(corners);
    const Rect full{0, 0, m_canvas.surface().width(), m_canvas.surface().height()};
    switch (mode) {
        case 1: m_state.clip = Intersect(m_state.clip, box); break;  // RGN_AND
        case 2:                                                      // RGN_OR
            m_state.clip = Rect{std::min(m_state.clip.left, box.left), std::min(m_state.clip.top, box.top),
                                std::max(m_state.clip.right, box.right), std::max(m_state.clip.bottom, box.bottom)};
            m_state.clip = Intersect(m_state.clip, full);
            break;
        case 5: m_state.clip = Intersect(full, box); break;  // RGN_COPY
        default: return;                                      // XOR and DIFF are not kept
    }
    ApplyClip();
}

// --- drawing helpers -----------------------------------------------------

void MetafilePlayer::CountPoints(std::size_t n) {
    m_points += n;
    if (m_points > kMaxPathPoints) throw Error(ErrorKind::InvalidPicture, "metafile path has too many points");
}

std::vector<PointF> MetafilePlayer::MapAll(std::span<const PointF> logical) {
    std::vector<PointF> out;
    out.reserve(logical.size());
    for (const PointF& p : logical) out.push_back(Map(p));
    return out;
}

Paint MetafilePlayer::BrushPaint() const {
    Paint paint;
    paint.color = m_state.brush.color;
    switch (m_state.brush.style) {
        case BrushObject::Style::Hatch:
            paint.kind = Paint::Kind::Hatch;
            paint.hatch = m_state.brush.hatch;
            paint.opaqueBack = m_state.bkOpaque;
            paint.back = m_state.bkColor;
            break;
        case BrushObject::Style::Pattern:
            if (m_state.brush.pattern) {
                paint.kind = Paint::Kind::Pattern;
                paint.pattern = m_state.brush.pattern;
            }
            break;
        default: break;
    }
    return paint;
}

StrokeStyle MetafilePlayer::PenStroke() const {
    StrokeStyle style;
    const PenObject& pen = m_state.pen;
    style.width = pen.cosmetic ? 1.0 : std::max(1.0, pen.width * m_toPicture.Scale());
    if (!std::isfinite(style.width)) style.width = 1;
    style.width = std::min(style.width, kFar);
    style.color = pen.color;
    style.dash = pen.dash;
    style.cap = pen.cap;
    style.join = pen.join;
    style.miterLimit = m_state.miterLimit;
    return style;
}

void MetafilePlayer::DrawClosed(std::vector<std::vector<PointF>> contours) {
    if (m_inPath) {
        for (auto& c : contours) {
            CountPoints(c.size());
            m_path.push_back({std::move(c), true});
        }
        return;
    }
    if (m_state.brush.style != BrushObject::Style::Null) m_canvas.Fill(contours, m_state.fillRule, BrushPaint());
    if (!m_state.pen.null) {
        const StrokeStyle style = PenStroke();
        for (const auto& c : contours) m_canvas.Stroke(c, true, style);
    }
}

void MetafilePlayer::DrawOpen(std::vector<PointF> line, bool continueFigure) {
    if (m_inPath) {
        CountPoints(line.size());
        if (continueFigure && !m_path.empty() && !m_path.back().closed && !m_path.back().points.empty()) {
            auto& pts = m_path.back().points;
            pts.insert(pts.end(), line.begin() + (line.empty() ? 0 : 1), line.end());
        } else {
            m_path.push_back({std::move(line), false});
        }
        return;
    }
    if (!m_state.pen.null) m_canvas.Stroke(line, false, PenStroke());
}

void MetafilePlayer::AppendBeziers(std::vector<PointF>& out, PointF start, std::span<const PointF> controls) {
    PointF p0 = Map(start);
    for (std::size_t i = 0; i + 2 < controls.size(); i += 3) {
        const PointF p1 = Map(controls[i]), p2 = Map(controls[i + 1]), p3 = Map(controls[i + 2]);
        const double length = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                              std::hypot(p3.x - p2.x, p3.y - p2.y);
        const int n = PiecesFor(length / 4, 1, 256);
        if (out.size() + static_cast<std::size_t>(n) > kMaxPathPoints)
            throw Error(ErrorKind::InvalidPicture, "metafile curve has too many points");
        for (int k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / n, u = 1 - t;
            out.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                           u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
        }
        p0 = p3;
    }
}

// Points of the ellipse inscribed in the box, from the parameter angle
// `start` over `sweep` radians (positive: counterclockwise as seen with y
// growing downwards), in picture pixels.
std::vector<PointF> MetafilePlayer::EllipsePoints(const RectF& box, double start, double sweep) {
    const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const double rx = std::fabs(box.right - box.left) / 2, ry = std::fabs(box.bottom - box.top) / 2;
    const PointF ax = m_toPicture.Linear(rx, 0), ay = m_toPicture.Linear(0, ry);
    const double reach = std::hypot(ax.x, ax.y) + std::hypot(ay.x, ay.y);
    const int n = PiecesFor(std::fabs(sweep) * reach / 3, 4, 1024);
    std::vector<PointF> pts;
    pts.reserve(static_cast<std::size_t>(n) + 1);
    for (int k = 0; k <= n; ++k) {
        const double a = start + sweep * k / n;
        pts.push_back(Map({cx + rx * std::cos(a), cy - ry * std::sin(a)}));
    }
    return pts;
}

// --- drawing -------------------------------------------------------------

void MetafilePlayer::MoveTo(double x, double y) {
    m_state.position = {x, y};
    if (m_inPath && !m_path.empty() && !m_path.back().closed) m_path.push_back({{}, false});  // ends the figure
}

void MetafilePlayer::LineTo(double x, double y) {
    const PointF from = m_state.position;
    m_state.position = {x, y};
    DrawOpen({Map(from), Map({x, y})}, true);
}

void MetafilePlayer::Rectangle(const RectF& r) {
    DrawClosed({MapAll(std::vector<PointF>{{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}})});
}

void MetafilePlayer::RoundRect(const RectF& box, double cornerWidth, double cornerHeight) {
    const double l = std::min(box.left, box.right), r = std::max(box.left, box.right);
    const double t = std::min(box.top, box.bottom), b = std::max(box.top, box.bottom);
    const double rx = std::min(std::fabs(cornerWidth), r - l) / 2, ry = std::min(std::fabs(cornerHeight), b - t) / 2;
    if (rx <= 0 || ry <= 0) {
        Rectangle(box);
        return;
    }
    std::vector<PointF> outline;
    const PointF centres[4] = {{r - rx, t + ry}, {l + rx, t + ry}, {l + rx, b - ry}, {r - rx, b - ry}};
    for (int q = 0; q < 4; ++q) {
        const RectF corner{centres[q].x - rx, centres[q].y - ry, centres[q].x + rx, centres[q].y + ry};
        auto pts = EllipsePoints(corner, q * kPi / 2, kPi / 2);
        outline.insert(outline.end(), pts.begin(), pts.end());
    }
    DrawClosed({std::move(outline)});
}

void MetafilePlayer::Ellipse(const RectF& r) {
    auto pts = EllipsePoints(r, 0, 2 * kPi);
    pts.pop_back();  // the last point repeats the first
    DrawClosed({std::move(pts)});
}

void MetafilePlayer::ArcShape(ArcKind kind, const RectF& box, PointF start, PointF end) {
    const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    double rx = std::fabs(box.right - box.left) / 2, ry = std::fabs(box.bottom - box.top) / 2;
    if (rx == 0) rx = 1;
    if (ry == 0) ry = 1;
    const double a0 = std::atan2(-(start.y - cy) / ry, (start.x - cx) / rx);
    const double a1 = std::atan2(-(end.y - cy) / ry, (end.x - cx) / rx);
    if (!std::isfinite(a0) || !std::isfinite(a1)) return;
    double sweep = a1 - a0;
    if (m_state.clockwise) {
        while (sweep >= 0) sweep -= 2 * kPi;
    } else {
        while (sweep <= 0) sweep += 2 * kPi;
    }
    std::vector<PointF> pts = EllipsePoints(box, a0, sweep);
    switch (kind) {
        case ArcKind::Arc: DrawOpen(std::move(pts), false); break;
        case ArcKind::ArcTo: {
            pts.insert(pts.begin(), Map(m_state.position));
            const double a = a0 + sweep;
            m_state.position = {cx + rx * std::cos(a), cy - ry * std::sin(a)};
            DrawOpen(std::move(pts), true);
            break;
        }
        case ArcKind::Pie:
            pts.insert(pts.begin(), Map({cx, cy}));
            DrawClosed({std::move(pts)});
            break;
        case ArcKind::Chord: DrawClosed({std::move(pts)}); break;
    }
}

void MetafilePlayer::AngleArc(PointF c, double radius, double startDegrees, double sweepDegrees) {
    if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees)) return;
    const double a0 = startDegrees * kPi / 180, sweep = std::clamp(sweepDegrees, -360.0, 360.0) * kPi / 180;
    std::vector<PointF> pts = EllipsePoints({c.x - radius, c.y - radius, c.x + radius, c.y + radius}, a0, sweep);
    pts.insert(pts.begin(), Map(m_state.position));
    m_state.position = {c.x + radius * std::cos(a0 + sweep), c.y - radius * std::sin(a0 + sweep)};
    DrawOpen(std::move(pts), true);
}

void MetafilePlayer::Polygon(std::span<const PointF> points) {
    if (points.size() < 2) return;
    DrawClosed({MapAll(points)});
}

void MetafilePlayer::PolyPolygon(std::span<const std::vector<PointF>> polygons) {
    std::vector<std::vector<PointF>> contours;
    for (const auto& p : polygons)
        if (p.size() >= 2) contours.push_back(MapAll(p));
    if (!contours.empty()) DrawClosed(std::move(contours));
}

void MetafilePlayer::Polyline(std::span<const PointF> points) {
    if (points.empty()) return;
    DrawOpen(MapAll(points), false);
}

void MetafilePlayer::PolylineTo(std::span<const PointF> points) {
    if (points.empty()) return;
    std::vector<PointF> line{Map(m_state.position)};
    for (const PointF& p : points) line.push_back(Map(p));
    m_state.position = points.back();
    DrawOpen(std::move(line), true);
}

void MetafilePlayer::PolyBezier(std::span<const PointF> points) {
    if (points.size() < 4) return;
    std::vector<PointF> line{Map(points[0])};
    AppendBeziers(line, points[0], points.subspan(1));
    DrawOpen(std::move(line), false);
}

void MetafilePlayer::PolyBezierTo(std::span<const PointF> points) {
    if (points.size() < 3) return;
    std::vector<PointF> line{Map(m_state.position)};
    AppendBeziers(line, m_state.position, points);
    m_state.position = points[(points.size() / 3) * 3 - 1];
    DrawOpen(std::move(line), true);
}

void MetafilePlayer::SetPixel(PointF p, ColorRef color) {
    if (m_inPath) return;
    const PointF q = Map(p);
    const PointF corners[2] = {{std::floor(q.x), std::floor(q.y)}, {std::floor(q.x) + 1, std::floor(q.y) + 1}};
    Paint paint;
    paint.color = color & 0xFFFFFF;
    m_canvas.PatternBlt(PixelBox(corners), paint, 0x00F00021);
}

// --- paths ---------------------------------------------------------------

void MetafilePlayer::BeginPath() {
    m_path.clear();
    m_points = 0;
    m_inPath = true;
    m_pathReady = false;
}

void MetafilePlayer::EndPath() {
    if (!m_inPath) return;
    m_inPath = false;
    m_pathReady = true;
}

void MetafilePlayer::CloseFigure() {
    if (m_inPath && !m_path.empty()) m_path.back().closed = true;
}

void MetafilePlayer::AbortPath() {
    m_path.clear();
    m_points = 0;
    m_inPath = false;
    m_pathReady = false;
}

void MetafilePlayer::FillPath() {
    m_inPath = false;
    std::vector<Contour> contours;
    for (const Figure& f : m_path)
        if (f.points.size() > 1) contours.push_back(f.points);
    if (m_state.brush.style != BrushObject::Style::Null) m_canvas.Fill(contours, m_state.fillRule, BrushPaint());
    AbortPath();
}

void MetafilePlayer::StrokePath() {
    m_inPath = false;
    if (!m_state.pen.null) {
        const StrokeStyle style = PenStroke();
        for (const Figure& f : m_path)
            if (!f.points.empty()) m_canvas.Stroke(f.points, f.closed, style);
    }
    AbortPath();
}

void MetafilePlayer::StrokeAndFillPath() {
    m_inPath = false;
    std::vector<Figure> figures = m_path;
    FillPath();
    m_path = std::move(figures);
    StrokePath();
}

void MetafilePlayer::SelectClipPath() {
    std::vector<PointF> all;
    for (const Figure& f : m_path) all.insert(all.end(), f.points.begin(), f.points.end());
    if (!all.empty()) {
        m_state.clip = Intersect(m_state.clip, PixelBox(all));
        ApplyClip();
    }
    AbortPath();
}

// --- bitmaps and text ----------------------------------------------------

void MetafilePlayer::DrawBitmap(const Surface& image, const RectF& source, const RectF& dest, std::uint32_t rop) {
    if (m_inPath) return;
    const PointF origin = Map({dest.left, dest.top});
    const PointF u = Minus(Map({dest.right, dest.top}), origin);
    const PointF v = Minus(Map({dest.left, dest.bottom}), origin);
    m_canvas.DrawImage(image, source.left, source.top, source.right - source.left, source.bottom - source.top, origin, u,
                       v, rop);
}

void MetafilePlayer::PatBlt(const RectF& dest, std::uint32_t rop) {
    if (m_inPath) return;
    const PointF corners[4] = {Map({dest.left, dest.top}), Map({dest.right, dest.top}), Map({dest.right, dest.bottom}),
                               Map({dest.left, dest.bottom})};
    const bool usesBrush = rop == 0x00F00021 || rop == 0x005A0049;
    if (usesBrush && m_state.brush.style == BrushObject::Style::Null) return;
    m_canvas.PatternBlt(PixelBox(corners), BrushPaint(), rop);
}

void MetafilePlayer::TextOut(PointF at, std::u32string_view text, std::span<const double> advances,
                             std::uint32_t options, const std::optional<RectF>& rect) {
    if (m_inPath) return;
    const Affine& t = m_toPicture;
    const PointF xAxis = t.Linear(1, 0), yAxis = t.Linear(0, 1);
    const double xScale = std::hypot(xAxis.x, xAxis.y), yScale = std::hypot(yAxis.x, yAxis.y);
    if (!std::isfinite(xScale) || !std::isfinite(yScale)) return;

    // ETO_OPAQUE fills the rectangle with the background colour; ETO_CLIPPED
    // keeps the text inside it.
    if (rect && (options & 2)) {
        const PointF corners[4] = {Map({rect->left, rect->top}), Map({rect->right, rect->top}),
                                   Map({rect->right, rect->bottom}), Map({rect->left, rect->bottom})};
        Paint back;
        back.color = m_state.bkColor;
        m_canvas.PatternBlt(PixelBox(corners), back, 0x00F00021);
    }
    if (text.empty()) return;
    if (rect && (options & 4)) {
        const PointF corners[4] = {Map({rect->left, rect->top}), Map({rect->right, rect->top}),
                                   Map({rect->right, rect->bottom}), Map({rect->left, rect->bottom})};
        m_canvas.SetClip(Intersect(m_state.clip, PixelBox(corners)));
    }

    const FontObject& f = m_state.font;
    FontRequest request;
    request.face = f.face;
    request.size = f.height == 0 ? 16 : std::fabs(static_cast<double>(f.height)) * yScale;
    request.cellHeight = f.height > 0;
    request.weight = f.weight;
    request.italic = f.italic;
    request.pitchAndFamily = f.pitchAndFamily;
    // Text stays upright under mirroring; rotations of the mapping turn it.
    request.angle = f.escapement * kPi / 1800 - std::atan2(t.m12, std::fabs(t.m11));
    if (!std::isfinite(request.size) || !std::isfinite(request.angle)) return;
    request.size = std::min(request.size, kMaxGlyphPixels);

    std::vector<double> pixels;
    pixels.reserve(advances.size());
    for (double a : advances) pixels.push_back(a * xScale);
    if (!m_text) m_text = std::make_unique<TextRenderer>();
    const TextLayout layout = m_text->Measure(request, text, pixels);

    const bool updateCp = (m_state.textAlign & 1) != 0;
    PointF origin = Map(updateCp ? m_state.position : at);
    const double c = std::cos(request.angle), s = std::sin(request.angle);
    const PointF along{c, -s}, down{s, c};
    switch (m_state.textAlign & 6) {
        case 6: origin = {origin.x - along.x * layout.width / 2, origin.y - along.y * layout.width / 2}; break;
        case 2: origin = {origin.x - along.x * layout.width, origin.y - along.y * layout.width}; break;
        default: break;
    }
    switch (m_state.textAlign & 24) {
        case 0: origin = {origin.x + down.x * layout.ascent, origin.y + down.y * layout.ascent}; break;   // TA_TOP
        case 8: origin = {origin.x - down.x * layout.descent, origin.y - down.y * layout.descent}; break;  // TA_BOTTOM
        default: break;                                                                                   // TA_BASELINE
    }
    auto band = [&](double from, double to) {
        // The parallelogram over the text between from and to below the baseline.
        const PointF end{origin.x + along.x * layout.width, origin.y + along.y * layout.width};
        return Contour{{origin.x + down.x * from, origin.y + down.y * from},
                       {end.x + down.x * from, end.y + down.y * from},
                       {end.x + down.x * to, end.y + down.y * to},
                       {origin.x + down.x * to, origin.y + down.y * to}};
    };
    if (m_state.bkOpaque && !(rect && (options & 2))) {
        Paint back;
        back.color = m_state.bkColor;
        const Contour box = band(-layout.ascent, layout.descent);
        m_canvas.Fill(std::span<const Contour>(&box, 1), FillRule::Winding, back);
    }
    m_text->Draw(m_canvas, request, text, layout, origin, m_state.textColor);
    const double thickness = std::max(1.0, (layout.ascent + layout.descent) / 16);
    Paint ink;
    ink.color = m_state.textColor;
    if (f.underline) {
        const Contour line = band(layout.descent * 0.4, layout.descent * 0.4 + thickness);
        m_canvas.Fill(std::span<const Contour>(&line, 1), FillRule::Winding, ink);
    }
    if (f.strikeout) {
        const Contour line = band(-layout.ascent * 0.3 - thickness / 2, -layout.ascent * 0.3 + thickness / 2);
        m_canvas.Fill(std::span<const Contour>(&line, 1), FillRule::Winding, ink);
    }
    if (updateCp && xScale > 0) m_state.position.x += layout.width / xScale;
    ApplyClip();
}

}  // namespace crossmeld::metafile
