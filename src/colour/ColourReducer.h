#pragma once
// ColourReducer: reduction of a true-colour DibSurface to an 8-bit DibSurface
// with a colour table, for the animated GIF output.
//
// Two settings choose the work. The palette mode picks the colour table:
// Halftone = the 216-colour cube (Palette256::CreateHalftone, six levels
// per channel), Adaptive = an octree palette computed on a copy of the
// picture scaled down to fit 50 x 50 pixels, Fade = an octree palette of a
// whole fade made beforehand by BuildFadePalette (mapped as Adaptive; a
// conversion that must build it takes the picture alone, as Adaptive
// does). The dither method picks how
// pixels map onto it: None = nearest level, Ordered = 4 x 4 ordered
// dither, Diffusion = error diffusion (Floyd-Steinberg weights, into a
// working copy of the source).
//
// Every per-pixel decision is a lookup in tables made once by
// InitDitherTables; the cube maps six levels per channel straight to an
// index, the adaptive palette goes through a 16 x 16 x 16 colour lookup
// filled by BuildColorLookup. The lookup is kept between conversions, so
// later frames can reuse the palette built on the first. Each reducer holds
// its own tables; one reducer must not run two conversions at once.

#include <cstdint>
#include <memory>

namespace crossmeld {

class DibSurface;
class Palette256;

enum class PaletteMode : std::int32_t { Halftone = 0, Adaptive = 1, Fade = 2 };
enum class DitherMethod : std::int32_t { None = 0, Ordered = 1, Diffusion = 2 };

class ColourReducer {
public:
    ColourReducer();
    ~ColourReducer();
    ColourReducer(const ColourReducer&) = delete;
    ColourReducer& operator=(const ColourReducer&) = delete;

    // Fills the quantizers, the cube index table, the threshold matrices and
    // the error tables. Must run before the first conversion.
    void InitDitherTables();
    void SetPaletteMode(PaletteMode mode) noexcept { m_paletteMode = mode; }
    void SetDitherMethod(DitherMethod method) noexcept { m_ditherMethod = method; }
    PaletteMode GetPaletteMode() const noexcept { return m_paletteMode; }
    DitherMethod GetDitherMethod() const noexcept { return m_ditherMethod; }

    // Builds the palette (unless keepPalette) and recreates target as an
    // 8-bit surface of the source's size whose colour table holds the
    // palette's 256 entries, then maps every source pixel to an index. Rows
    // are taken in storage order from the first stored row, each left to
    // right. The source must be a 24- or 32-bit surface
    // (Error(InvalidProcedureCall) otherwise) and is never modified. With
    // keepPalette the palette object, and in Adaptive mode this reducer's
    // colour lookup, must still hold what an earlier call built. A mode or
    // method outside its enumerators maps nothing: every index stays 0.
    // Error(SubscriptOutOfRange) before InitDitherTables or when the palette
    // has no table.
    void ConvertTo8bpp(const DibSurface& source, DibSurface& target, Palette256& palette, bool keepPalette);

    // Builds in palette, and this reducer's colour lookup, one palette for
    // the fade from start to end: an octree palette of both pictures and
    // their blends (see FadeSamples), refined on them (RefinePalette).
    // Conversions with keepPalette then map onto it. Both
    // must be 24- or 32-bit surfaces of one size (Error(InvalidProcedureCall)
    // otherwise).
    void BuildFadePalette(const DibSurface& start, const DibSurface& end, Palette256& palette);

    // Colour lookup entry b * 256 + g * 16 + r = palette.ClosestIndex(17r, 17g, 17b).
    void BuildColorLookup(const Palette256& palette);

    // The lookup tables, defined where the conversion loops are.
    struct Tables;

private:
    PaletteMode m_paletteMode = PaletteMode::Halftone;
    DitherMethod m_ditherMethod = DitherMethod::None;
    // About 40 KB of lookup tables, kept off the owner's frame.
    std::unique_ptr<Tables> m_tables;
};

}  // namespace crossmeld
