#pragma once
// Plays the drawing records of a metafile onto a MetafileCanvas. The WMF and
// EMF readers decode records and call these operations with logical
// coordinates; the player keeps the drawing state (page mapping, world
// transform, selected objects, colours, modes, clip, current position,
// path), saves and restores it, and draws.
//
// Mapping: picture = deviceToPicture(page(world(logical))). For enhanced
// metafiles the device is the recording device, which deviceToPicture maps
// onto the picture through the header's frame; fixed map modes use the
// device's resolution. For WMF the device is the picture itself: the
// viewport is the whole picture and the window is what the file sets (the
// placeable header's box until then); viewport records and fixed map modes
// are ignored, as every WMF viewer does, and MM_ISOTROPIC keeps the aspect.
//
// Simplifications: clip regions and clip paths act as their bounding
// rectangle, ExcludeClipRect is ignored, binary raster operations (SetROP2)
// all draw as copy, and the inside-frame pen draws as a solid pen.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "formats/metafile/MetafileCanvas.h"
#include "formats/metafile/MetafileGeometry.h"
#include "formats/metafile/MetafileObjects.h"

namespace crossmeld::metafile {

class TextRenderer;

// Paths and flattened curves of one picture hold at most this many points;
// more refuses the file as an invalid picture.
inline constexpr std::size_t kMaxPathPoints = std::size_t{1} << 22;
// Deeper SaveDC nesting than this is ignored (its RestoreDC then restores
// the deepest kept state).
inline constexpr std::size_t kMaxSavedStates = 4096;

struct RectF {
    double left = 0, top = 0, right = 0, bottom = 0;
};

enum class ArcKind { Arc, ArcTo, Pie, Chord };

class MetafilePlayer {
public:
    struct Device {
        Affine toPicture;        // recording device pixels to picture pixels
        double pixelsPerMmX = 0; // recording device resolution, for fixed map modes
        double pixelsPerMmY = 0;
        bool wmf = false;
        double viewportWidth = 0;  // WMF: the picture's size
        double viewportHeight = 0;
    };
    MetafilePlayer(MetafileCanvas& canvas, const Device& device);
    ~MetafilePlayer();

    // Page mapping and world transform.
    void SetMapMode(std::int32_t mode);
    void SetWindowOrg(double x, double y);
    void SetWindowExt(double x, double y);
    void SetViewportOrg(double x, double y);
    void SetViewportExt(double x, double y);
    void OffsetWindowOrg(double x, double y);
    void OffsetViewportOrg(double x, double y);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const Affine& xform);
    // MWT_IDENTITY 1, MWT_LEFTMULTIPLY 2, MWT_RIGHTMULTIPLY 3, MWT_SET 4.
    void ModifyWorldTransform(const Affine& xform, std::uint32_t mode);

    void SaveDC();
    // Negative: relative to the current depth; positive: absolute.
    void RestoreDC(std::int32_t which);

    // Attributes.
    void SetBkMode(std::uint32_t mode) { m_state.bkOpaque = mode == 2; }
    void SetBkColor(ColorRef c) { m_state.bkColor = c & 0xFFFFFF; }
    void SetTextColor(ColorRef c) { m_state.textColor = c & 0xFFFFFF; }
    void SetPolyFillMode(std::uint32_t mode) { m_state.fillRule = mode == 2 ? FillRule::Winding : FillRule::Alternate; }
    void SetTextAlign(std::uint32_t align) { m_state.textAlign = align; }
    void SetArcDirection(std::uint32_t direction) { m_state.clockwise = direction == 2; }
    void SetMiterLimit(double limit) {
        if (limit >= 1 && limit < 1e6) m_state.miterLimit = limit;
    }

    // Objects. Enhanced metafiles name the slot; WMF takes the lowest free
    // one. Handles with the high bit set are stock objects.
    void CreateObject(std::uint32_t index, GdiObject object);
    void AddObject(GdiObject object);
    void SelectObject(std::uint32_t handle);
    void DeleteObject(std::uint32_t handle);

    // Clipping: a logical rectangle, device rectangles (a region), none.
    void IntersectClipRect(const RectF& logical);
    void SelectClipRects(std::span<const RectF> deviceRects, std::uint32_t mode);
    void ResetClip();

    // Drawing.
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Rectangle(const RectF& r);
    void RoundRect(const RectF& r, double cornerWidth, double cornerHeight);
    void Ellipse(const RectF& r);
    void ArcShape(ArcKind kind, const RectF& box, PointF start, PointF end);
    void AngleArc(PointF centre, double radius, double startDegrees, double sweepDegrees);
    void Polygon(std::span<const PointF> points);
    void PolyPolygon(std::span<const std::vector<PointF>> polygons);
    void Polyline(std::span<const PointF> points);
    void PolylineTo(std::span<const PointF> points);
    void PolyBezier(std::span<const PointF> points);
    void PolyBezierTo(std::span<const PointF> points);
    void SetPixel(PointF p, ColorRef color);

    // Paths.
    void BeginPath();
    void EndPath();
    void CloseFigure();
    void AbortPath();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath();

    // Bitmaps: the source rectangle of the image (pixels from its top-left
    // corner) onto a logical destination rectangle.
    void DrawBitmap(const Surface& image, const RectF& source, const RectF& dest, std::uint32_t rop);
    // Raster operations without a source (PATCOPY, WHITENESS, ...).
    void PatBlt(const RectF& dest, std::uint32_t rop);

    // Text at a logical point with optional logical advances; options are
    // ETO_OPAQUE (2) and ETO_CLIPPED (4) with their rectangle.
    void TextOut(PointF at, std::u32string_view text, std::span<const double> advances, std::uint32_t options,
                 const std::optional<RectF>& rect);

private:
    struct State {
        std::int32_t mapMode = 1;
        PointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
        Affine world;
        PenObject pen;
        BrushObject brush;
        FontObject font;
        ColorRef textColor = 0;
        ColorRef bkColor = 0xFFFFFF;
        bool bkOpaque = true;
        FillRule fillRule = FillRule::Alternate;
        std::uint32_t textAlign = 0;
        bool clockwise = false;
        double miterLimit = 10;
        Rect clip;
        PointF position{0, 0};  // logical
    };
    struct Figure {
        std::vector<PointF> points;  // picture pixels
        bool closed = false;
    };

    void UpdateTransform();
    PointF Map(PointF logical) const { return m_toPicture(logical); }
    std::vector<PointF> MapAll(std::span<const PointF> logical);
    void CountPoints(std::size_t n);
    Paint BrushPaint() const;
    StrokeStyle PenStroke() const;
    // Closed outlines: filled with the brush, then outlined with the pen; or
    // added to the path while one is being defined.
    void DrawClosed(std::vector<std::vector<PointF>> contours);
    void DrawOpen(std::vector<PointF> line, bool continueFigure);
    void AppendBeziers(std::vector<PointF>& out, PointF start, std::span<const PointF> controls);
    std::vector<PointF> EllipsePoints(const RectF& box, double startAngle, double sweep);
    const GdiObject* Lookup(std::uint32_t handle) const;
    void ApplyClip();

    MetafileCanvas& m_canvas;
    Device m_device;
    State m_state;
    std::vector<State> m_saved;
    Affine m_toPicture;
    std::map<std::uint32_t, GdiObject> m_objects;
    std::set<std::uint32_t> m_freed;  // WMF slots free below m_nextSlot
    std::uint32_t m_nextSlot = 0;
    bool m_inPath = false;
    std::vector<Figure> m_path;
    bool m_pathReady = false;
    std::size_t m_points = 0;
    std::unique_ptr<TextRenderer> m_text;
};

}  // namespace crossmeld::metafile
