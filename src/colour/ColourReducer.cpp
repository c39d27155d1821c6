#include "colour/ColourReducer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>

#include "base/Error.h"
#include "base/Numeric.h"
#include "colour/FadeSamples.h"
#include "colour/Palette256.h"
#include "colour/PaletteRefinement.h"
#include "raster/MapPixelsAsArray.h"
#include "raster/DibSurface.h"

namespace crossmeld {

namespace {

// Input ranges of the quantizers and the error tables; they cover every
// value the loops look up (v + 26 - t lies in -25 .. 278, v + 8 - t in
// -8 .. 262).
constexpr int kQ6Low = -51, kQ6High = 280;
constexpr int kQ16Low = -8, kQ16High = 262;
constexpr int kErrorLimit = 255;

// Bayer thresholds, indexed [y mod 4][x mod 4].
constexpr std::int32_t kMatrix16[4][4] = {{1, 9, 3, 11}, {13, 5, 15, 7}, {4, 12, 2, 10}, {16, 8, 14, 6}};
constexpr std::int32_t kMatrix6[4][4] = {{3, 29, 10, 35}, {41, 16, 48, 22}, {13, 38, 6, 32}, {51, 26, 45, 19}};

// What the plain loops add before quantizing: with these offsets the
// ordered formulas value + offset - t reduce to the plain value.
constexpr int kCubeOffset = 26;
constexpr int kLookupOffset = 8;

// Byte offsets within a four-byte pixel and a colour-table entry.
constexpr int kBlue = 0, kGreen = 1, kRed = 2;

}  // namespace

struct ColourReducer::Tables {
    bool ready = false;

    std::array<std::int32_t, kQ6High - kQ6Low + 1> q6{};
    std::array<std::int32_t, kQ16High - kQ16Low + 1> q16{};
    std::array<std::uint8_t, 216> cubeIndex{};
    std::array<std::uint8_t, 4096> colorLookup{};
    std::int32_t matrix16[4][4]{};
    std::int32_t matrix6[4][4]{};
    // e / 16, 3e / 16, 5e / 16, 7e / 16 for e = -255 .. 255.
    std::array<std::int32_t, 2 * kErrorLimit + 1> error1{}, error3{}, error5{}, error7{};
    std::array<std::uint8_t, 1024> paletteCopy{};

    // The quantizers folded per threshold, built from the tables above: for
    // threshold phase p (y mod 4 * 4 + x mod 4), channel c and byte v, the
    // channel's share of the table address. Phase 16 is the plain loop.
    std::array<std::array<std::array<std::uint8_t, 256>, 3>, 17> cubeShare{};
    std::array<std::array<std::array<std::uint16_t, 256>, 3>, 17> lookupShare{};
};

namespace {

using Tables = ColourReducer::Tables;

constexpr int kPlainPhase = 16;

std::int32_t Q6(const Tables& s, int v) { return s.q6[static_cast<std::size_t>(v - kQ6Low)]; }
std::int32_t Q16(const Tables& s, int v) { return s.q16[static_cast<std::size_t>(v - kQ16Low)]; }

// v / divisor rounded to the nearest integer (halves to even), clamped to 0 .. top.
std::int32_t Level(int v, int divisor, int top) {
    return std::clamp(ToInt32(static_cast<double>(v) / divisor), 0, top);
}

void FoldShares(Tables& s) {
    constexpr int kCubeWeight[3] = {36, 6, 1};     // blue, green, red
    constexpr int kLookupWeight[3] = {256, 16, 1};  // blue, green, red
    for (int phase = 0; phase <= kPlainPhase; ++phase) {
        const bool plain = phase == kPlainPhase;
        const int t6 = plain ? kCubeOffset : s.matrix6[phase / 4][phase % 4];
        const int t16 = plain ? kLookupOffset : s.matrix16[phase / 4][phase % 4];
        for (int c = 0; c < 3; ++c)
            for (int v = 0; v < 256; ++v) {
                s.cubeShare[phase][c][v] = static_cast<std::uint8_t>(kCubeWeight[c] * Q6(s, v + kCubeOffset - t6));
                s.lookupShare[phase][c][v] =
                    static_cast<std::uint16_t>(kLookupWeight[c] * Q16(s, v + kLookupOffset - t16));
            }
    }
}

void RequireTables(const Tables& s) {
    if (!s.ready) throw Error(ErrorKind::SubscriptOutOfRange, "The dither tables are not initialised");
}

// A 32-bit copy of the source in its storage order (the fourth byte of a
// widened 24-bit pixel is 0).
void CopyAs32(const DibSurface& source, DibSurface& copy) {
    if (source.BPP() == 32) {
        source.CloneTo(copy);
        return;
    }
    const std::int32_t width = source.Width(), height = source.Height();
    if (!copy.Create(width, height, 32)) throw Error(ErrorKind::OutOfMemory);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = source.Bits() + static_cast<std::size_t>(y) * source.BytesPerScanline();
        std::uint8_t* to = copy.Bits() + static_cast<std::size_t>(y) * copy.BytesPerScanline();
        for (std::int32_t x = 0; x < width; ++x, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0;
        }
    }
}

void BuildAdaptivePalette(ColourReducer& reducer, const DibSurface& source, Palette256& palette) {
    DibSurface thumbnail;
    source.CloneTo(thumbnail);
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    thumbnail.GetBestFitInfo(50, 50, x, y, width, height, false);
    thumbnail.Resize(width, height, true);
    palette.CreateOptimal(thumbnail, 256, 6, 1.0f, 1.0f, 1.0f);
    reducer.BuildColorLookup(palette);
}

std::uint8_t* TargetRow(const DibSurface& target, std::int32_t y) {
    return target.Bits() + static_cast<std::size_t>(y) * static_cast<std::size_t>(target.BytesPerScanline());
}

// Plain and ordered loops: per pixel, three channel shares summed into the
// address of the cube index table or the colour lookup. The threshold phase
// repeats every four columns, so a row runs four columns at a time with the
// four phases' share tables at hand.
template <typename Share, std::size_t N>
void MapLoop(const MapPixelsAsArray& pixels, const DibSurface& target, bool ordered,
             const std::array<std::array<std::array<Share, 256>, 3>, 17>& shares,
             const std::array<std::uint8_t, N>& table) {
    using Phase = std::array<std::array<Share, 256>, 3>;
    const std::int32_t width = pixels.Columns();
    const std::uint8_t* const lookup = table.data();
    auto map = [lookup](const Phase& s, const std::uint8_t* p) {
        return lookup[static_cast<std::size_t>(s[0][p[kBlue]] + s[1][p[kGreen]] + s[2][p[kRed]])];
    };
    for (std::int32_t y = 0; y < pixels.Rows(); ++y) {
        const std::uint8_t* p = pixels.Row(y).data();
        std::uint8_t* out = TargetRow(target, y);
        const Phase* phase[4];
        for (int k = 0; k < 4; ++k)
            phase[k] = &shares[static_cast<std::size_t>(ordered ? (y & 3) * 4 + k : kPlainPhase)];
        const Phase& s0 = *phase[0];
        const Phase& s1 = *phase[1];
        const Phase& s2 = *phase[2];
        const Phase& s3 = *phase[3];
        std::int32_t x = 0;
        for (; x + 4 <= width; x += 4, p += 16) {
            out[x] = map(s0, p);
            out[x + 1] = map(s1, p + 4);
            out[x + 2] = map(s2, p + 8);
            out[x + 3] = map(s3, p + 12);
        }
        for (; x < width; ++x, p += 4) out[x] = map(*phase[x & 3], p);
    }
}

std::uint8_t AddClamped(std::uint8_t value, std::int32_t delta) {
    return static_cast<std::uint8_t>(std::clamp(value + delta, 0, 255));
}

// Error diffusion over the working copy: the index comes from the plain
// mapping of the pixel's current bytes; the difference to the chosen entry
// goes to four neighbours unless it is tiny (channel errors summing below 4).
template <typename Share, std::size_t N>
void DiffusionLoop(const Tables& s, const MapPixelsAsArray& pixels, const DibSurface& target,
                   const std::array<std::array<std::array<Share, 256>, 3>, 17>& shares,
                   const std::array<std::uint8_t, N>& table) {
    const std::int32_t lastX = pixels.Columns() - 1;
    const std::int32_t lastY = pixels.Rows() - 1;
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.Columns()) * 4;
    const auto& plain = shares[kPlainPhase];
    auto spread = [](std::uint8_t* q, const std::array<std::int32_t, 2 * kErrorLimit + 1>& part, const int* e) {
        for (int c = 0; c < 3; ++c) q[c] = AddClamped(q[c], part[static_cast<std::size_t>(e[c] + kErrorLimit)]);
    };
    for (std::int32_t y = 0; y <= lastY; ++y) {
        std::uint8_t* p = pixels.Row(y).data();
        std::uint8_t* out = TargetRow(target, y);
        for (std::int32_t x = 0; x <= lastX; ++x, p += 4) {
            const std::uint8_t index = table[static_cast<std::size_t>(plain[0][p[kBlue]] + plain[1][p[kGreen]] +
                                                                      plain[2][p[kRed]])];
            out[x] = index;
            const std::uint8_t* entry = &s.paletteCopy[static_cast<std::size_t>(index) * 4];
            const int e[3] = {p[kBlue] - entry[kBlue], p[kGreen] - entry[kGreen], p[kRed] - entry[kRed]};
            if (std::abs(e[0]) + std::abs(e[1]) + std::abs(e[2]) < 4) continue;
            if (x < lastX) spread(p + 4, s.error7, e);
            if (y < lastY) {
                spread(p + rowBytes, s.error5, e);
                if (x < lastX) spread(p + rowBytes + 4, s.error1, e);
                if (x > 0) spread(p + rowBytes - 4, s.error3, e);
            }
        }
    }
}

}  // namespace

ColourReducer::ColourReducer() : m_tables(std::make_unique<Tables>()) {}

ColourReducer::~ColourReducer() = default;

void ColourReducer::InitDitherTables() {
    Tables& s = *m_tables;
    std::memcpy(s.matrix16, kMatrix16, sizeof kMatrix16);
    std::memcpy(s.matrix6, kMatrix6, sizeof kMatrix6);
    for (int i = 0; i < 216; ++i) s.cubeIndex[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    for (int v = kQ6Low; v <= kQ6High; ++v) s.q6[static_cast<std::size_t>(v - kQ6Low)] = Level(v, 51, 5);
    for (int v = kQ16Low; v <= kQ16High; ++v) s.q16[static_cast<std::size_t>(v - kQ16Low)] = Level(v, 17, 15);
    for (int e = -kErrorLimit; e <= kErrorLimit; ++e) {
        const std::size_t i = static_cast<std::size_t>(e + kErrorLimit);
        s.error1[i] = ToInt32(e / 16.0);
        s.error3[i] = ToInt32(3.0 * e / 16.0);
        s.error5[i] = ToInt32(5.0 * e / 16.0);
        s.error7[i] = ToInt32(7.0 * e / 16.0);
    }
    FoldShares(s);
    s.ready = true;
}

void ColourReducer::BuildFadePalette(const DibSurface& start, const DibSurface& end, Palette256& palette) {
    DibSurface samples;
    MakeFadeSamples(start, end, kFadeSampleWeights, kFadeSampleBox, samples);
    palette.CreateOptimal(samples, 256, 6, 1.0f, 1.0f, 1.0f);
    RefinePalette(palette, samples, kFadeRefinementPasses);
    BuildColorLookup(palette);
}

void ColourReducer::BuildColorLookup(const Palette256& palette) {
    Tables& s = *m_tables;
    for (int b = 0; b < 16; ++b)
        for (int g = 0; g < 16; ++g)
            for (int r = 0; r < 16; ++r)
                s.colorLookup[static_cast<std::size_t>(b * 256 + g * 16 + r)] =
                    palette.ClosestIndex(static_cast<std::uint8_t>(17 * r), static_cast<std::uint8_t>(17 * g),
                                         static_cast<std::uint8_t>(17 * b));
}

void ColourReducer::ConvertTo8bpp(const DibSurface& source, DibSurface& target, Palette256& palette,
                                  bool keepPalette) {
    Tables& s = *m_tables;
    RequireTables(s);
    if (source.BPP() != 32 && source.BPP() != 24)
        throw Error(ErrorKind::InvalidProcedureCall, "Only 24- and 32-bit pictures can be reduced to 8 bits");

    // The loops read four-byte pixels. A copy is made for a 24-bit source,
    // for diffusion (which writes into its pixels, never into the caller's
    // source) and when the target is the source itself.
    const bool diffusion = m_ditherMethod == DitherMethod::Diffusion;
    DibSurface working;
    const bool copied = source.BPP() != 32 || diffusion || &source == &target;
    if (copied) CopyAs32(source, working);
    const DibSurface& pixelsOf = copied ? working : source;

    if (!keepPalette) {
        if (m_paletteMode == PaletteMode::Halftone)
            palette.CreateHalftone(HalftoneLevels::Six);
        else if (m_paletteMode == PaletteMode::Adaptive || m_paletteMode == PaletteMode::Fade)
            BuildAdaptivePalette(*this, pixelsOf, palette);
    }
    // All 256 entries, whatever Entries says: the unused ones are black.
    const std::span<const std::uint8_t, 1024> table = std::as_const(palette).Bytes();
    std::copy(table.begin(), table.end(), s.paletteCopy.begin());

    if (!target.Create(pixelsOf.Width(), pixelsOf.Height(), 8))
        throw Error(ErrorKind::OutOfMemory, "The 8-bit picture cannot be made");
    target.SetPalette(s.paletteCopy);

    const MapPixelsAsArray pixels(pixelsOf);
    const bool cube = m_paletteMode == PaletteMode::Halftone;
    if (m_paletteMode != PaletteMode::Halftone && m_paletteMode != PaletteMode::Adaptive &&
        m_paletteMode != PaletteMode::Fade)
        return;
    const bool ordered = m_ditherMethod == DitherMethod::Ordered;
    switch (m_ditherMethod) {
        case DitherMethod::None:
        case DitherMethod::Ordered:
            if (cube)
                MapLoop(pixels, target, ordered, s.cubeShare, s.cubeIndex);
            else
                MapLoop(pixels, target, ordered, s.lookupShare, s.colorLookup);
            break;
        case DitherMethod::Diffusion:
            if (cube)
                DiffusionLoop(s, pixels, target, s.cubeShare, s.cubeIndex);
            else
                DiffusionLoop(s, pixels, target, s.lookupShare, s.colorLookup);
            break;
        default:
            break;  // no loop: the pixels stay index 0
    }
}

}  // namespace crossmeld
