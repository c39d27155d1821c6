#pragma once
// A drawing context over a Surface: the replacement of a GDI memory
// drawing contexts. It holds the selected surface, a pen, a brush, the
// current position and the stretch mode, and offers the drawing operations
// the program uses. Everything is clipped to the surface.
//
// Coverage rules (GDI's, which the fade engine relies on):
// - FillRect(l, t, r, b) fills pixels l <= x < r, t <= y < b.
// - Polygon fills with the brush the pixels (x, y) whose point (x, y) lies
//   inside the polygon (alternate rule); a point exactly on an edge belongs
//   to the polygon when the edge is a left or top edge (top-left rule), so
//   polygons sharing an edge cover every pixel exactly once, and a pixel's
//   own point lies in the polygon that covers it.
//   A polygon whose points lie on one line covers nothing. The outline is
//   drawn with the pen unless the pen is null, as lines from each point to
//   the next and from the last back to the first.
// - Ellipse(l, t, r, b) draws the outline of the ellipse inscribed in the
//   box l <= x < r, t <= y < b with the pen; the interior is filled with the
//   brush unless the brush is null. The pixels are those whose centre lies
//   in the ellipse that touches the box's outer edges (PolygonFill.h and
//   EllipseRaster.h give the exact rules).
// - LineTo draws from the current position to the end point, excluding the
//   end point, and makes the end point the current position (LineRaster.h).
// Colours are stored as Surface::RawFromColor stores them (nearest table
// entry, 5-5-5, exact); on 32-bit surfaces the fourth byte becomes 0.

#include <cstdint>
#include <memory>
#include <span>

#include "raster/Surface.h"

namespace crossmeld {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

enum class PenStyle { Solid, Null };
enum class BrushStyle { Solid, Null };

struct Pen {
    PenStyle style = PenStyle::Solid;
    ColorRef color = 0;  // one pixel wide
};

struct Brush {
    BrushStyle style = BrushStyle::Solid;
    ColorRef color = 0xFFFFFF;
};

// Raster operations of the block copies.
enum class RasterOp : std::uint32_t {
    SrcCopy = 0x00CC0020,   // dest = source
    SrcAnd = 0x008800C6,    // dest = dest AND source
    SrcPaint = 0x00EE0086,  // dest = dest OR source
};

// Stretch modes; COLORONCOLOR (3) drops or repeats rows and columns. The
// mode is kept for callers that save and restore it; every mode scales by
// dropping or repeating, as COLORONCOLOR does.
enum class StretchMode : int { BlackOnWhite = 1, WhiteOnBlack = 2, ColorOnColor = 3, Halftone = 4 };

class DeviceContext {
public:
    DeviceContext() = default;
    explicit DeviceContext(std::shared_ptr<Surface> surface) : m_surface(std::move(surface)) {}

    // Selects a surface and returns the one selected before.
    std::shared_ptr<Surface> Select(std::shared_ptr<Surface> surface);
    Surface* surface() const noexcept { return m_surface.get(); }
    const std::shared_ptr<Surface>& surfacePtr() const noexcept { return m_surface; }

    void SetPen(Pen pen) noexcept { m_pen = pen; }
    Pen pen() const noexcept { return m_pen; }
    // Selects a brush and returns the previous one.
    Brush SetBrush(Brush brush) noexcept {
        Brush old = m_brush;
        m_brush = brush;
        return old;
    }
    Brush brush() const noexcept { return m_brush; }
    StretchMode SetStretchMode(StretchMode mode) noexcept {
        StretchMode old = m_stretchMode;
        m_stretchMode = mode;
        return old;
    }
    StretchMode stretchMode() const noexcept { return m_stretchMode; }

    // Each returns false (and draws nothing) without a surface; Polygon also
    // with fewer than two points.
    bool FillRect(const Rect& rect, ColorRef color);
    bool Polygon(std::span<const Point> points);
    bool Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    void MoveTo(std::int32_t x, std::int32_t y) noexcept { m_position = {x, y}; }
    Point position() const noexcept { return m_position; }
    bool LineTo(std::int32_t x, std::int32_t y);

private:
    std::shared_ptr<Surface> m_surface;
    Pen m_pen;
    Brush m_brush;
    Point m_position;
    StretchMode m_stretchMode = StretchMode::BlackOnWhite;
};

// Block copy of w x h pixels from (sx, sy) of src to (x, y) of dst, with the
// pixel converted to the target's format by colour (nearest table entry for
// paletted targets, so a copy between equal tables keeps the indices) and
// combined by the raster operation on the stored values. Target pixels whose
// source pixel lies outside the source surface stay as they are. A copy
// within one surface behaves as if the source were read first. Returns false
// when either context has no surface; nothing is drawn when w or h is below 1.
bool CopyBlock(DeviceContext& dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
            const DeviceContext& src, std::int32_t sx, std::int32_t sy, RasterOp rop);

// Scaled copy of the source rectangle (sx, sy, sw, sh) onto the target
// rectangle (x, y, w, h) by nearest neighbour (rows and columns dropped or
// repeated, never blended): the i-th target column from the rectangle's
// start takes source column floor(i * |sw| / |w|). A negative size spans
// from x + w to x (pixels x + w .. x - 1); when the signs of w and sw (h and
// sh) differ, the copy is mirrored along that axis, as GDI does.
bool StretchBlock(DeviceContext& dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                const DeviceContext& src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                RasterOp rop);

}  // namespace crossmeld
