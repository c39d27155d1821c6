// ColourReducer: the quantizers, threshold matrices and error tables seen
// through single pixels worked by hand, the diffusion rules (the below-4
// threshold, the four neighbours, clamping, edges), the palette modes and
// keep-palette, and whole random pictures against an independent Python
// re-derivation of the loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "raster/DibSurface.h"
#include "support/Expect.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using crossmeld::test::ExpectError;
using crossmeld::test::HaveProgram;
using crossmeld::test::Quote;
using crossmeld::test::ReadBytes;
using crossmeld::test::TempDir;
using crossmeld::test::WriteBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Colour {
    std::uint8_t r, g, b;
};

DibSurface Picture(int width, int height, const std::vector<Colour>& pixels, int bpp = 32) {
    DibSurface dib;
    EXPECT_TRUE(dib.Create(width, height, bpp));
    const int size = bpp / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Colour& c = pixels[static_cast<std::size_t>(y * width + x)];
            std::uint8_t* p = dib.Bits() + y * dib.BytesPerScanline() + size * x;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            if (size == 4) p[3] = 0;
        }
    return dib;
}

Bytes Indices(const DibSurface& dib) {
    Bytes out;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) out.push_back(dib.Bits()[y * dib.BytesPerScanline() + x]);
    return out;
}

Bytes ColourTable(const DibSurface& dib) {
    Bytes table;
    dib.GetPalette(table);
    return table;
}

class Dither : public ::testing::Test {
protected:
    void SetUp() override { reducer.InitDitherTables(); }

    // Converts with the given mode and method and returns the indices.
    Bytes Convert(int mode, int method, const DibSurface& source, bool keep = false) {
        reducer.SetPaletteMode(static_cast<PaletteMode>(mode));
        reducer.SetDitherMethod(static_cast<DitherMethod>(method));
        reducer.ConvertTo8bpp(source, target, palette, keep);
        return Indices(target);
    }

    // A palette of the 16 greys 0, 17 ... 255 with its colour lookup, so
    // that the lookup loop's output is its grey level.
    void UseGreyLookup() {
        palette.CreateGreyScale(GreyLevels::Sixteen);
        reducer.BuildColorLookup(palette);
    }

    ColourReducer reducer;
    DibSurface target;
    Palette256 palette;
};

// ---------------------------------------------------------------- single pixels

struct PixelCase {
    const char* what;
    Colour pixel;
    int index;
};

class CubePlain : public Dither, public ::testing::WithParamInterface<PixelCase> {};

// Levels v / 51 rounded (no halves occur), index r + 6g + 36b.
TEST_P(CubePlain, Index) {
    const PixelCase& c = GetParam();
    EXPECT_EQ(Convert(0, 0, Picture(1, 1, {c.pixel})), Bytes{static_cast<std::uint8_t>(c.index)});
}

INSTANTIATE_TEST_SUITE_P(Vectors, CubePlain,
                         ::testing::Values(PixelCase{"levels_0_1_5", {25, 26, 255}, 186},
                                           PixelCase{"black", {0, 0, 0}, 0}, PixelCase{"white", {255, 255, 255}, 215},
                                           PixelCase{"76_77", {76, 77, 0}, 13}, PixelCase{"127_128", {127, 128, 0}, 20},
                                           PixelCase{"blue_229", {0, 0, 229}, 144},
                                           PixelCase{"blue_230", {0, 0, 230}, 180}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Dither, CubeOrderedFollowsTheSixLevelMatrixDownAColumn) {
    // Grey 128: q6(154 - t) with t = 3, 41, 13, 51 -> levels 3, 2, 3, 2.
    const DibSurface grey = Picture(1, 4, std::vector<Colour>(4, Colour{128, 128, 128}));
    EXPECT_EQ(Convert(0, 1, grey), (Bytes{129, 86, 129, 86}));
    // Along row 0 (t = 3, 29, 10, 35, then 3 again): levels 3, 2, 3, 2, 3.
    const DibSurface row = Picture(5, 1, std::vector<Colour>(5, Colour{128, 128, 128}));
    EXPECT_EQ(Convert(0, 1, row), (Bytes{129, 86, 129, 86, 129}));
    // Channels on their own at (0, 0): red 128 -> 3, green 0 -> q6(23) = 0, blue 255 -> q6(278) = 5.
    EXPECT_EQ(Convert(0, 1, Picture(1, 1, {{128, 0, 255}})), Bytes{183});
}

TEST_F(Dither, LookupOrderedFollowsTheSixteenLevelMatrix) {
    UseGreyLookup();
    // (0,0) t = 1: q16(262) = 15; (0,1) t = 13: q16(123) = 7; (0,2) t = 4:
    // q16(132) = 8; (0,3) t = 16: q16(-8) = 0.
    const DibSurface column = Picture(1, 4, {{255, 255, 255}, {128, 128, 128}, {128, 128, 128}, {0, 0, 0}});
    EXPECT_EQ(Convert(1, 1, column, true), (Bytes{15, 7, 8, 0}));
}

TEST_F(Dither, LookupPlainUsesTheSixteenLevelQuantizer) {
    UseGreyLookup();
    // 8 / 17 = 0.47 -> 0; 9 / 17 = 0.53 -> 1; 246 / 17 = 14.47 -> 14; 247 -> 15.
    const DibSurface row = Picture(4, 1, {{8, 8, 8}, {9, 9, 9}, {246, 246, 246}, {247, 247, 247}});
    EXPECT_EQ(Convert(1, 0, row, true), (Bytes{0, 1, 14, 15}));
}

TEST_F(Dither, ColourLookupHoldsTheNearestEntryOfEachLatticeColour) {
    palette.CreateEGA();
    reducer.BuildColorLookup(palette);
    // (17, 17, 17) is nearest black; (187, 187, 187) nearest silver (7);
    // (255, 0, 17) nearest red (9); (119, 119, 119) nearest grey 128 (8).
    const DibSurface row = Picture(4, 1, {{17, 17, 17}, {187, 187, 187}, {255, 0, 17}, {119, 119, 119}});
    EXPECT_EQ(Convert(1, 0, row, true), (Bytes{0, 7, 9, 8}));
}

// ---------------------------------------------------------------- diffusion

struct DiffusionCase {
    const char* what;
    int width, height;
    std::vector<Colour> pixels;
    Bytes indices;
};

class Diffusion : public Dither, public ::testing::WithParamInterface<DiffusionCase> {};

TEST_P(Diffusion, Indices) {
    const DiffusionCase& c = GetParam();
    EXPECT_EQ(Convert(0, 2, Picture(c.width, c.height, c.pixels)), c.indices);
}

// Worked by hand with the cube palette. The red-25 pixel is the witness:
// it becomes index 1 exactly when it receives at least +1 red.
INSTANTIATE_TEST_SUITE_P(
    Vectors, Diffusion,
    ::testing::Values(
        // Errors 2, 1, 0 (sum 3): nothing passes, though 7 x 2 / 16 would round to 1.
        DiffusionCase{"sum_3_passes_nothing", 2, 1, {{53, 52, 51}, {25, 0, 0}}, {43, 0}},
        // Errors 2, 1, 1 (sum 4): the right neighbour gets +1 red.
        DiffusionCase{"sum_4_passes", 2, 1, {{53, 52, 52}, {25, 0, 0}}, {43, 1}},
        // Errors -2, -1, -1: the right neighbour gets -1 red (26 -> 25).
        DiffusionCase{"negative_error", 2, 1, {{49, 50, 50}, {26, 0, 0}}, {43, 0}},
        // Error 25: +11 on 250 is clamped to 255 (not wrapped to 5).
        DiffusionCase{"clamped_high", 2, 1, {{25, 25, 25}, {250, 250, 250}}, {0, 215}},
        // Error -25: -11 on 5 is clamped to 0 (not wrapped to 250).
        DiffusionCase{"clamped_low", 2, 1, {{230, 230, 230}, {5, 5, 5}}, {215, 0}},
        // One column: only downward, 5 x 2 / 16 = 0.625 -> +1.
        DiffusionCase{"one_column_goes_down", 1, 2, {{53, 52, 52}, {25, 0, 0}}, {43, 1}},
        // (1,0) has errors 3, 1, 0: below left gets 3 x 3 / 16 = 0.5625 -> +1.
        DiffusionCase{"below_left", 2, 2, {{0, 0, 0}, {54, 52, 51}, {25, 0, 0}, {0, 0, 0}}, {0, 43, 1, 0}},
        // Red error 8: below right gets 8 / 16 = 0.5 -> 0 (half to even); the
        // right neighbour 47 + 3.5 -> 4 = 51 and the one below 51 + 2.5 -> 2
        // = 53 pass nothing on.
        DiffusionCase{"below_right_half_to_even", 2, 2, {{59, 51, 51}, {47, 51, 51}, {51, 51, 51}, {25, 0, 0}},
                      {43, 43, 43, 0}},
        // Red error 9: below right gets 0.5625 -> +1 (right 3.9375 -> 4, below 2.8125 -> 3).
        DiffusionCase{"below_right", 2, 2, {{60, 51, 51}, {47, 51, 51}, {51, 51, 51}, {25, 0, 0}}, {43, 43, 43, 1}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(Dither, DiffusionLeavesTheSourceAlone) {
    const DibSurface source = Picture(2, 2, {{53, 52, 52}, {25, 0, 0}, {25, 0, 0}, {25, 0, 0}});
    const Bytes before(source.Bits(), source.Bits() + source.Size());
    Convert(0, 2, source);
    EXPECT_EQ(Bytes(source.Bits(), source.Bits() + source.Size()), before);
}

// ---------------------------------------------------------------- target and palette

TEST_F(Dither, TargetIsEightBitWithAllTwoHundredFiftySixEntries) {
    ASSERT_TRUE(target.Create(9, 9, 24));
    Convert(0, 1, Picture(3, 2, std::vector<Colour>(6, Colour{1, 2, 3})));
    EXPECT_EQ(target.BPP(), 8);
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(target.Height(), 2);
    EXPECT_EQ(palette.Entries(), 216);
    const Bytes table = ColourTable(target);
    ASSERT_EQ(table.size(), 1024u);
    // Entry i of the cube is (51 (i mod 6), 51 (i / 6 mod 6), 51 (i / 36)), stored blue first.
    for (int i = 0; i < 256; ++i) {
        const Bytes want = i < 216 ? Bytes{static_cast<std::uint8_t>(51 * (i / 36)),
                                           static_cast<std::uint8_t>(51 * (i / 6 % 6)),
                                           static_cast<std::uint8_t>(51 * (i % 6)), 0}
                                   : Bytes{0, 0, 0, 0};
        EXPECT_EQ(Bytes(table.begin() + 4 * i, table.begin() + 4 * i + 4), want) << i;
    }
}

TEST_F(Dither, AdaptivePaletteAndKeepPalette) {
    // Left half red, right half blue: two leaves, red first.
    std::vector<Colour> pixels;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) pixels.push_back(x < 4 ? Colour{255, 0, 0} : Colour{0, 0, 255});
    Bytes halves;
    for (const Colour& c : pixels) halves.push_back(c.r ? 0 : 1);
    EXPECT_EQ(Convert(1, 0, Picture(8, 6, pixels)), halves);
    ASSERT_EQ(palette.Entries(), 2);
    Bytes table = ColourTable(target);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 12), (Bytes{0, 0, 255, 0, 255, 0, 0, 0, 0, 0, 0, 0}));

    // Keeping the palette: green is equally far from red and blue, so it
    // takes the lower index; the palette and the table stay as they were.
    const DibSurface green = Picture(2, 1, {{0, 255, 0}, {0, 0, 250}});
    EXPECT_EQ(Convert(1, 0, green, true), (Bytes{0, 1}));
    EXPECT_EQ(palette.Entries(), 2);
    EXPECT_EQ(ColourTable(target), table);

    // Not keeping it: rebuilt from the new picture.
    EXPECT_EQ(Convert(1, 0, green, false), (Bytes{0, 1}));
    EXPECT_EQ(palette.Entries(), 2);
    table = ColourTable(target);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 8), (Bytes{0, 255, 0, 0, 250, 0, 0, 0}));
}

TEST_F(Dither, AdaptivePaletteOfALargePictureComesFromAThumbnail) {
    // 120 x 60 in three vertical bands; the 50 x 25 thumbnail keeps all three.
    std::vector<Colour> pixels;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            pixels.push_back(x < 40 ? Colour{200, 30, 30} : x < 80 ? Colour{30, 200, 30} : Colour{30, 30, 200});
    const Bytes got = Convert(1, 2, Picture(120, 60, pixels));
    ASSERT_EQ(palette.Entries(), 3);
    EXPECT_EQ(palette.Red(0), 200);
    EXPECT_EQ(palette.Green(1), 200);
    EXPECT_EQ(palette.Blue(2), 200);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) ASSERT_EQ(got[y * 120 + x], x / 40) << x << ", " << y;
}

TEST_F(Dither, TwentyFourBitSourcesGiveTheSameResult) {
    std::mt19937 rng(7);
    std::vector<Colour> pixels(7 * 5);
    for (Colour& c : pixels) c = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())};
    for (int mode = 0; mode <= 1; ++mode)
        for (int method = 0; method <= 2; ++method) {
            const Bytes want = Convert(mode, method, Picture(7, 5, pixels, 32));
            EXPECT_EQ(Convert(mode, method, Picture(7, 5, pixels, 24)), want) << mode << " " << method;
        }
}

TEST_F(Dither, TheSourceMayBeTheTarget) {
    DibSurface picture = Picture(2, 1, {{25, 26, 255}, {255, 255, 255}});
    reducer.ConvertTo8bpp(picture, picture, palette, false);
    EXPECT_EQ(picture.BPP(), 8);
    EXPECT_EQ(Indices(picture), (Bytes{186, 215}));
}

TEST_F(Dither, UnknownModesAndMethodsRunNoLoop) {
    const DibSurface picture = Picture(2, 1, {{255, 255, 255}, {255, 255, 255}});
    EXPECT_EQ(Convert(0, 3, picture), (Bytes{0, 0}));
    EXPECT_EQ(ColourTable(target)[4 * 215 + 2], 255);  // the palette was still built
    palette.CreateEGA();
    EXPECT_EQ(Convert(3, 1, picture), (Bytes{0, 0}));
    EXPECT_EQ(palette.Entries(), 16);  // nothing built; the old palette is used
    EXPECT_EQ(ColourTable(target)[4 * 15], 255);
}

TEST_F(Dither, RefusedInputs) {
    DibSurface eight;
    ASSERT_TRUE(eight.Create(2, 2, 8));
    ExpectError(ErrorKind::InvalidProcedureCall, [&] { Convert(0, 0, eight); });
    DibSurface empty;
    ExpectError(ErrorKind::InvalidProcedureCall, [&] { Convert(0, 0, empty); });
    // Keeping a palette that was never built.
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] { Convert(0, 1, Picture(1, 1, {{1, 2, 3}}), true); });
    // The colour lookup needs a searchable palette.
    Palette256 none;
    ExpectError(ErrorKind::Overflow, [&] { reducer.BuildColorLookup(none); });
}

// Each reducer keeps its own tables, modes and colour lookup.
TEST_F(Dither, ReducersDoNotShareState) {
    ColourReducer fresh;
    DibSurface out;
    ExpectError(ErrorKind::SubscriptOutOfRange,
                [&] { fresh.ConvertTo8bpp(Picture(1, 1, {{1, 2, 3}}), out, palette, false); });
    fresh.InitDitherTables();
    EXPECT_EQ(fresh.GetPaletteMode(), PaletteMode::Halftone);
    EXPECT_EQ(fresh.GetDitherMethod(), DitherMethod::None);

    UseGreyLookup();  // this fixture's reducer: the 16-grey lookup
    Palette256 ega;
    ega.CreateEGA();
    fresh.BuildColorLookup(ega);
    fresh.SetPaletteMode(PaletteMode::Adaptive);
    fresh.SetDitherMethod(DitherMethod::Ordered);
    const DibSurface row = Picture(4, 1, {{0, 0, 0}, {17, 17, 17}, {238, 238, 238}, {255, 255, 255}});
    EXPECT_EQ(Convert(1, 0, row, true), (Bytes{0, 1, 14, 15}));
    fresh.ConvertTo8bpp(row, out, ega, true);
    EXPECT_EQ(reducer.GetDitherMethod(), DitherMethod::None);
    EXPECT_EQ(Convert(1, 0, row, true), (Bytes{0, 1, 14, 15}));
}

// ---------------------------------------------------------------- independent reference

// The loops re-derived in Python from their description (round() rounds
// halves to even, as the tables do). Arguments: pixels (blue, green, red,
// x per pixel), palette file, width, height, cube|lookup, method, entries, output.
constexpr const char* kDitherReference = R"PY(
import sys
w, h, kind, method, n = int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], int(sys.argv[6]), int(sys.argv[7])
pix = bytearray(open(sys.argv[1], 'rb').read())
if kind == 'cube':
    pal = bytearray(1024)
    for i in range(216):
        pal[4 * i:4 * i + 3] = bytes((51 * (i // 36), 51 * (i // 6 % 6), 51 * (i % 6)))
else:
    pal = open(sys.argv[2], 'rb').read()
M6 = [[3, 29, 10, 35], [41, 16, 48, 22], [13, 38, 6, 32], [51, 26, 45, 19]]
M16 = [[1, 9, 3, 11], [13, 5, 15, 7], [4, 12, 2, 10], [16, 8, 14, 6]]
def level(v, d, top):
    return min(max(round(v / d), 0), top)
def nearest(r, g, b):
    dist = [(pal[4 * i + 2] - r) ** 2 + (pal[4 * i + 1] - g) ** 2 + (pal[4 * i] - b) ** 2 for i in range(n)]
    return dist.index(min(dist))
def index(x, y, r, g, b):
    if kind == 'cube':
        t = M6[y % 4][x % 4] if method == 1 else 26
        lr, lg, lb = (level(v + 26 - t, 51, 5) for v in (r, g, b))
        return lr + 6 * lg + 36 * lb
    t = M16[y % 4][x % 4] if method == 1 else 8
    lr, lg, lb = (level(v + 8 - t, 17, 15) for v in (r, g, b))
    return nearest(17 * lr, 17 * lg, 17 * lb)
out = bytearray()
for y in range(h):
    for x in range(w):
        o = 4 * (y * w + x)
        b, g, r = pix[o], pix[o + 1], pix[o + 2]
        i = index(x, y, r, g, b)
        out.append(i)
        if method != 2:
            continue
        err = (b - pal[4 * i], g - pal[4 * i + 1], r - pal[4 * i + 2])
        if sum(abs(e) for e in err) < 4:
            continue
        for dx, dy, f in ((1, 0, 7), (0, 1, 5), (1, 1, 1), (-1, 1, 3)):
            nx, ny = x + dx, y + dy
            if 0 <= nx < w and ny < h:
                p = 4 * (ny * w + nx)
                for c in range(3):
                    pix[p + c] = min(max(pix[p + c] + round(err[c] * f / 16), 0), 255)
open(sys.argv[8], 'wb').write(out)
)PY";

struct ReferenceCase {
    const char* what;
    int mode;    // 0 cube, 1 lookup over a kept palette
    int method;  // 0 plain, 1 ordered, 2 diffusion
    int table;   // lookup only: 0 standard colours, 1 web table, 2 grey ramp
};

class DitherReference : public Dither, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(DitherReference, RandomPictureMatchesThePythonLoops) {
    if (!HaveProgram("/usr/bin/python3")) GTEST_SKIP() << "no python3";
    const ReferenceCase& c = GetParam();
    const int width = 37, height = 23;
    // Noise over gradients, so that levels, thresholds and errors vary.
    std::mt19937 rng(static_cast<unsigned>(100 * c.mode + 10 * c.method + c.table));
    std::vector<Colour> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto noisy = [&](int base) {
                return static_cast<std::uint8_t>(std::clamp(base + static_cast<int>(rng() % 61) - 30, 0, 255));
            };
            pixels.push_back({noisy(7 * x), noisy(11 * y), noisy(255 - 4 * (x + y))});
        }
    const DibSurface source = Picture(width, height, pixels);

    if (c.mode == 1) {
        if (c.table == 0) palette.CreateEGA();
        if (c.table == 1) palette.CreateWebsafe();
        if (c.table == 2) palette.CreateGreyScale(GreyLevels::Two);
        reducer.BuildColorLookup(palette);
    }
    const Bytes got = Convert(c.mode, c.method, source, c.mode == 1);

    TempDir tmp;
    WriteBytes(tmp / "pixels.raw", Bytes(source.Bits(), source.Bits() + source.Size()));
    WriteBytes(tmp / "palette.raw", c.mode == 1 ? Bytes(palette.Bytes().begin(), palette.Bytes().end())
                                                : Bytes(1024, 0));
    WriteBytes(tmp / "dither.py", Bytes(kDitherReference, kDitherReference + std::strlen(kDitherReference)));
    const std::string command = "/usr/bin/python3 " + Quote(tmp / "dither.py") + " " + Quote(tmp / "pixels.raw") + " " +
                                Quote(tmp / "palette.raw") + " " + std::to_string(width) + " " +
                                std::to_string(height) + (c.mode == 0 ? " cube " : " lookup ") +
                                std::to_string(c.method) + " " + std::to_string(palette.Entries()) + " " +
                                Quote(tmp / "want.raw");
    ASSERT_EQ(crossmeld::test::Run(command), 0);
    EXPECT_EQ(got, ReadBytes(tmp / "want.raw"));
}

INSTANTIATE_TEST_SUITE_P(Loops, DitherReference,
                         ::testing::Values(ReferenceCase{"cube_plain", 0, 0, 0}, ReferenceCase{"cube_ordered", 0, 1, 0},
                                           ReferenceCase{"cube_diffusion", 0, 2, 0},
                                           ReferenceCase{"lookup_plain_ega", 1, 0, 0},
                                           ReferenceCase{"lookup_ordered_ega", 1, 1, 0},
                                           ReferenceCase{"lookup_diffusion_ega", 1, 2, 0},
                                           ReferenceCase{"lookup_ordered_web", 1, 1, 1},
                                           ReferenceCase{"lookup_diffusion_web", 1, 2, 1},
                                           ReferenceCase{"lookup_diffusion_two_greys", 1, 2, 2}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
