#pragma once
// Drawing objects of a metafile (pens, brushes, fonts) as the player keeps
// them, and the stock objects an enhanced metafile may select without
// creating them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "formats/metafile/MetafileCanvas.h"
#include "raster/Surface.h"

namespace crossmeld::metafile {

struct PenObject {
    bool null = false;
    Dash dash = Dash::Solid;
    double width = 0;       // logical units; 0 is one pixel
    bool cosmetic = true;   // one pixel whatever the width
    ColorRef color = 0;
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
};

struct BrushObject {
    enum class Style { Solid, Null, Hatch, Pattern };
    Style style = Style::Solid;
    ColorRef color = 0xFFFFFF;
    int hatch = 0;
    std::shared_ptr<const Surface> pattern;
};

struct FontObject {
    std::int32_t height = 0;      // < 0: character height, > 0: cell height, 0: default
    std::int32_t escapement = 0;  // tenths of a degree, counterclockwise
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::uint8_t charset = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string face;  // UTF-8
};

// Palettes, regions and anything else that only takes a slot.
struct OtherObject {};

using GdiObject = std::variant<OtherObject, PenObject, BrushObject, FontObject>;

// Pen style bits of CreatePen / ExtCreatePen. A CreatePen width of 0 is
// one pixel and other widths scale with the mapping; an ExtCreatePen pen is
// one pixel unless PS_GEOMETRIC.
PenObject MakePen(std::uint32_t style, double width, ColorRef color, bool extended = false);
// Brush style of LOGBRUSH: BS_SOLID 0, BS_NULL 1, BS_HATCHED 2; others solid.
BrushObject MakeBrush(std::uint32_t style, ColorRef color, std::uint32_t hatch);

// The stock object with the number (WHITE_BRUSH 0 ... DC_PEN 19), if any.
std::optional<GdiObject> StockObject(std::uint32_t number);

}  // namespace crossmeld::metafile
