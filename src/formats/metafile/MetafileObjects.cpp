#include "formats/metafile/MetafileObjects.h"

namespace crossmeld::metafile {

PenObject MakePen(std::uint32_t style, double width, ColorRef color, bool extended) {
    PenObject pen;
    pen.color = color & 0xFFFFFF;
    pen.width = width < 0 ? -width : width;
    switch (style & 0x0F) {
        case 1: pen.dash = Dash::Dash; break;
        case 2: pen.dash = Dash::Dot; break;
        case 3: pen.dash = Dash::DashDot; break;
        case 4: pen.dash = Dash::DashDotDot; break;
        case 5: pen.null = true; break;
        default: break;  // solid, inside frame, user and alternate styles draw solid
    }
    pen.cosmetic = extended ? (style & 0x00010000) == 0 : pen.width == 0;
    switch (style & 0x0F00) {
        case 0x0100: pen.cap = LineCap::Square; break;
        case 0x0200: pen.cap = LineCap::Flat; break;
        default: pen.cap = LineCap::Round; break;
    }
    switch (style & 0xF000) {
        case 0x1000: pen.join = LineJoin::Bevel; break;
        case 0x2000: pen.join = LineJoin::Miter; break;
        default: pen.join = LineJoin::Round; break;
    }
    return pen;
}

BrushObject MakeBrush(std::uint32_t style, ColorRef color, std::uint32_t hatch) {
    BrushObject brush;
    brush.color = color & 0xFFFFFF;
    if (style == 1) brush.style = BrushObject::Style::Null;
    if (style == 2) {
        brush.style = BrushObject::Style::Hatch;
        brush.hatch = static_cast<int>(hatch <= 5 ? hatch : 0);
    }
    return brush;
}

std::optional<GdiObject> StockObject(std::uint32_t number) {
    auto solid = [](ColorRef c) { return GdiObject(MakeBrush(0, c, 0)); };
    switch (number) {
        case 0: return solid(Rgb(255, 255, 255));
        case 1: return solid(Rgb(192, 192, 192));
        case 2: return solid(Rgb(128, 128, 128));
        case 3: return solid(Rgb(64, 64, 64));
        case 4: return solid(Rgb(0, 0, 0));
        case 5: return GdiObject(MakeBrush(1, 0, 0));
        case 6: return GdiObject(MakePen(0, 0, Rgb(255, 255, 255)));
        case 7: return GdiObject(MakePen(0, 0, 0));
        case 8: return GdiObject(MakePen(5, 0, 0));
        case 10: case 11: case 16: {
            FontObject f;
            f.face = "monospace";
            f.height = 16;
            return GdiObject(f);
        }
        case 12: case 13: case 14: case 17: {
            FontObject f;
            f.face = "sans-serif";
            f.height = 16;
            return GdiObject(f);
        }
        case 18: return solid(Rgb(255, 255, 255));
        case 19: return GdiObject(MakePen(0, 0, 0));
        default: return std::nullopt;
    }
}

}  // namespace crossmeld::metafile
