#pragma once
// mDither8bpp: reduction of a true-colour DibSurface to an 8-bit DibSurface with a
// colour table, for the animated GIF output.
//
// Two module settings choose the work. The palette mode picks the colour
// table: 0 = the 216-colour cube (Palette256::CreateHalftone(4)), 1 = an
// adaptive octree palette computed on a copy of the picture scaled down to
// fit 50 x 50 pixels. The dither method picks how pixels map onto it:
// 0 = nearest level, 1 = 4 x 4 ordered dither, 2 = error diffusion
// (Floyd-Steinberg weights, into a working copy of the source).
//
// Every per-pixel decision is a lookup in tables made once by
// InitDitherTables; the cube maps six levels per channel straight to an
// index, the adaptive palette goes through a 16 x 16 x 16 colour lookup
// filled by BuildColorLookup. The module state is shared by all callers, so
// conversions must not overlap.

#include <cstdint>

namespace crossmeld {

class DibSurface;
class Palette256;

namespace mDither8bpp {

// Fills the quantizers, the cube index table, the threshold matrices and the
// error tables. Must run before the first conversion.
void InitDitherTables();
void SetPaletteMode(std::int32_t mode);
void SetDitherMethod(std::int32_t method);

// Builds the palette (unless keepPalette) and recreates target as an 8-bit
// surface of the source's size whose colour table holds the palette's 256
// entries, then maps every source pixel to an index. Rows are taken in
// storage order from the first stored row, each left to right. The source
// must be a 24- or 32-bit surface (Error(InvalidProcedureCall) otherwise)
// and is never modified. With keepPalette the palette object, and in mode 1
// the colour lookup, must still hold what an earlier call built.
// Error(SubscriptOutOfRange) before InitDitherTables or when the palette
// has no table.
void ConvertTo8bpp(const DibSurface& source, DibSurface& target, Palette256& palette, bool keepPalette);

// Colour lookup entry b * 256 + g * 16 + r = palette.ClosestIndex(17r, 17g, 17b).
void BuildColorLookup(const Palette256& palette);

}  // namespace mDither8bpp

}  // namespace crossmeld
