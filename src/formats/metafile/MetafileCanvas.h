#pragma once
// The drawing surface of the metafile player: fills, strokes, images and
// glyph coverage in picture pixels with fractional coordinates, clipped to a
// rectangle. There is no antialiasing except for glyphs.
//
// Coverage rules:
// - Fills: a pixel (x, y) is covered when its centre (x + 0.5, y + 0.5) lies
//   inside the outline by the fill rule (alternate: odd number of crossings;
//   winding: nonzero winding number). A centre exactly on an edge counts as
//   inside when the edge is a left edge of the span and outside when it is a
//   right edge, so shapes that share an edge never overlap or leave a gap.
//   Outlines are closed implicitly.
// - Strokes narrower than 1.5 pixels are one-pixel lines: along the longer
//   axis every pixel column (row) whose centre lies between the end points
//   gets the pixel the line passes through at that centre; both end pixels
//   are drawn. Wider strokes are filled outlines (as above) made of one
//   rectangle of the stroke's width per segment, plus round, square or no
//   caps at open ends and round, bevel or mitred joins, as the pen asks.
//   Dashed pens cut the line into dashes first (lengths in pen widths).
// - Images: a pixel whose centre maps inside the destination parallelogram
//   takes the source pixel under that point (nearest neighbour).
// - Glyphs: FreeType's coverage, blended over the picture.
// Drawing is opaque: painting the same colour twice gives the same result,
// so pieces of one stroke may overlap.
//
// Work is counted (pixels painted, rows scanned, edges walked): a file that
// asks for more than 64 times its picture's area plus 2^27, or 2^32 in all,
// is refused with Error(InvalidPicture), so that a small hostile file cannot
// keep the loader busy for hours.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formats/metafile/MetafileGeometry.h"
#include "raster/DeviceContext.h"
#include "raster/Surface.h"

namespace crossmeld::metafile {

enum class FillRule { Alternate, Winding };

// What fills the covered pixels. Hatches are 8 x 8 patterns anchored at the
// picture's top-left corner; their gaps show `back` when `opaqueBack`.
struct Paint {
    enum class Kind { Solid, Hatch, Pattern };
    Kind kind = Kind::Solid;
    ColorRef color = 0;
    int hatch = 0;  // HS_HORIZONTAL 0 ... HS_DIAGCROSS 5
    bool opaqueBack = false;
    ColorRef back = 0xFFFFFF;
    std::shared_ptr<const Surface> pattern;  // tiled from the picture's origin
};

enum class LineCap { Round, Square, Flat };
enum class LineJoin { Round, Bevel, Miter };
enum class Dash { Solid, Dash, Dot, DashDot, DashDotDot };

struct StrokeStyle {
    double width = 1;  // in picture pixels
    ColorRef color = 0;
    Dash dash = Dash::Solid;
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
    double miterLimit = 10;
};

using Contour = std::vector<PointF>;

class MetafileCanvas {
public:
    explicit MetafileCanvas(std::shared_ptr<Surface> surface);

    Surface& surface() noexcept { return *m_surface; }
    // The clip is always inside the surface.
    void SetClip(const Rect& clip) noexcept;
    void ResetClip() noexcept;
    const Rect& clip() const noexcept { return m_clip; }

    void Fill(std::span<const Contour> contours, FillRule rule, const Paint& paint);
    void Stroke(std::span<const PointF> points, bool closed, const StrokeStyle& style);
    // Draws the source rectangle (sx, sy, sw, sh), in pixels from the
    // source's top-left corner, onto the parallelogram origin + u U + v V
    // (0 <= u, v < 1), combining stored values by the raster operation
    // (copy, and, or, xor, inverted copy; any other is a copy).
    void DrawImage(const Surface& source, double sx, double sy, double sw, double sh, PointF origin, PointF u,
                   PointF v, std::uint32_t rop);
    // Raster operations without a source over a rectangle of the picture:
    // the paint (pattern copy), its xor (pattern invert), destination
    // inversion, black or white.
    void PatternBlt(const Rect& rect, const Paint& paint, std::uint32_t rop);
    // An 8-bit coverage bitmap whose top-left pixel lands on (x, y).
    void BlendCoverage(std::int64_t x, std::int64_t y, const std::uint8_t* coverage, int width, int rows, int pitch,
                       ColorRef color);

private:
    static constexpr std::int64_t kLeastWork = std::int64_t{1} << 27;
    static constexpr std::int64_t kMostWork = std::int64_t{1} << 32;
    static constexpr std::int64_t kWorkPerPixel = 64;

    // Counts drawing work; raises Error(InvalidPicture) past the budget.
    void Spend(std::int64_t units);
    void FillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, const Paint& paint);
    void ThinLine(PointF a, PointF b, std::uint32_t raw);

    std::shared_ptr<Surface> m_surface;
    Rect m_clip;
    std::int64_t m_work = 0;
    std::int64_t m_budget = 0;
};

}  // namespace crossmeld::metafile
