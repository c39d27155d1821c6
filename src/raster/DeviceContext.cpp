#include "raster/DeviceContext.h"

#include <algorithm>
#include <optional>

#include "raster/EllipseRaster.h"
#include "raster/LineRaster.h"
#include "raster/PolygonFill.h"
#include "raster/Span.h"

namespace crossmeld {

std::shared_ptr<Surface> DeviceContext::Select(std::shared_ptr<Surface> surface) {
    std::swap(m_surface, surface);
    return surface;
}

bool DeviceContext::FillRect(const Rect& rect, ColorRef color) {
    if (!m_surface) return false;
    Surface& s = *m_surface;
    const std::int32_t x0 = std::max(rect.left, 0), x1 = std::min(rect.right, s.width());
    const std::int32_t y0 = std::max(rect.top, 0), y1 = std::min(rect.bottom, s.height());
    if (x0 >= x1 || y0 >= y1) return true;
    const std::uint32_t raw = s.RawFromColor(color);
    for (std::int32_t y = y0; y < y1; ++y) raster::FillSpan(s, y, x0, x1, raw);
    return true;
}

bool DeviceContext::Polygon(std::span<const Point> points) {
    if (!m_surface || points.size() < 2) return false;
    Surface& s = *m_surface;
    if (m_brush.style != BrushStyle::Null) raster::FillPolygon(s, points, s.RawFromColor(m_brush.color));
    if (m_pen.style != PenStyle::Null) {
        const std::uint32_t raw = s.RawFromColor(m_pen.color);
        for (std::size_t i = 0; i < points.size(); ++i)
            raster::DrawLine(s, points[i], points[(i + 1) % points.size()], raw);
    }
    return true;
}

bool DeviceContext::Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (!m_surface) return false;
    Surface& s = *m_surface;
    std::optional<std::uint32_t> pen, brush;
    if (m_pen.style != PenStyle::Null) pen = s.RawFromColor(m_pen.color);
    if (m_brush.style != BrushStyle::Null) brush = s.RawFromColor(m_brush.color);
    raster::DrawEllipse(s, left, top, right, bottom, pen, brush);
    return true;
}

bool DeviceContext::LineTo(std::int32_t x, std::int32_t y) {
    if (!m_surface) return false;
    const Point from = m_position;
    m_position = {x, y};
    if (m_pen.style != PenStyle::Null)
        raster::DrawLine(*m_surface, from, m_position, m_surface->RawFromColor(m_pen.color));
    return true;
}

}  // namespace crossmeld
