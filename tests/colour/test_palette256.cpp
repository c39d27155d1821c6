// Palette256: the fixed tables (grey ramps, standard colours, colour cubes, web
// table), the nearest-entry search, and the octree quantizer, whose entry
// order is checked against hand-worked trees and an independent Python
// re-derivation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/Error.h"
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

struct Colour {
    std::uint8_t r, g, b;
    friend bool operator==(const Colour&, const Colour&) = default;
};

std::ostream& operator<<(std::ostream& os, const Colour& c) {
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

Colour EntryOf(const Palette256& pal, int i) {
    const auto index = static_cast<std::uint8_t>(i);
    return {pal.Red(index), pal.Green(index), pal.Blue(index)};
}

std::vector<Colour> InUse(const Palette256& pal) {
    std::vector<Colour> out;
    for (int i = 0; i < pal.Entries(); ++i) out.push_back(EntryOf(pal, i));
    return out;
}

// A 32-bit surface holding the colours row by row.
DibSurface Picture32(int width, int height, const std::vector<Colour>& pixels) {
    DibSurface dib;
    EXPECT_TRUE(dib.Create(width, height, 32));
    for (int i = 0; i < width * height; ++i) {
        std::uint8_t* p = dib.Bits() + 4 * i;
        p[0] = pixels[i].b;
        p[1] = pixels[i].g;
        p[2] = pixels[i].r;
        p[3] = 0;
    }
    return dib;
}

// The plainest possible nearest search: squared distance, first of the nearest.
int BruteNearest(const std::vector<Colour>& pal, int r, int g, int b) {
    int best = -1, bestD = 1 << 30;
    for (int i = 0; i < static_cast<int>(pal.size()); ++i) {
        const int dr = pal[i].r - r, dg = pal[i].g - g, db = pal[i].b - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestD) bestD = d, best = i;
    }
    return best;
}

// ---------------------------------------------------------------- fixed tables

struct CubeCase {
    HalftoneLevels levels;
    int entries;
    std::vector<int> values;
};

class Halftone : public ::testing::TestWithParam<CubeCase> {};

TEST_P(Halftone, FillsTheCubeWithRedChangingFastest) {
    const CubeCase& c = GetParam();
    Palette256 pal;
    pal.CreateHalftone(c.levels);
    ASSERT_EQ(pal.Entries(), c.entries);
    const int n = static_cast<int>(c.values.size());
    ASSERT_EQ(n * n * n, c.entries);
    for (int i = 0; i < 256; ++i) {
        const Colour want = i < c.entries ? Colour{static_cast<std::uint8_t>(c.values[i % n]),
                                                   static_cast<std::uint8_t>(c.values[i / n % n]),
                                                   static_cast<std::uint8_t>(c.values[i / n / n])}
                                          : Colour{0, 0, 0};
        EXPECT_EQ(EntryOf(pal, i), want) << "entry " << i;
        EXPECT_EQ(pal.Bytes()[4 * i + 3], 0);
    }
    EXPECT_NE(pal.NearestColourTable(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Levels, Halftone,
                         ::testing::Values(CubeCase{HalftoneLevels::Two, 8, {0, 255}},
                                           CubeCase{HalftoneLevels::Three, 27, {0, 128, 255}},
                                           CubeCase{HalftoneLevels::Four, 64, {0, 85, 170, 255}},
                                           CubeCase{HalftoneLevels::Five, 125, {0, 64, 128, 192, 255}},
                                           CubeCase{HalftoneLevels::Six, 216, {0, 51, 102, 153, 204, 255}}));

TEST(HalftoneSpots, Cube216) {
    Palette256 pal;
    pal.CreateHalftone(HalftoneLevels::Six);
    EXPECT_EQ(EntryOf(pal, 0), (Colour{0, 0, 0}));
    EXPECT_EQ(EntryOf(pal, 1), (Colour{51, 0, 0}));
    EXPECT_EQ(EntryOf(pal, 6), (Colour{0, 51, 0}));
    EXPECT_EQ(EntryOf(pal, 36), (Colour{0, 0, 51}));
    EXPECT_EQ(EntryOf(pal, 186), (Colour{0, 51, 255}));
    EXPECT_EQ(EntryOf(pal, 215), (Colour{255, 255, 255}));
    // Table bytes are blue, green, red, reserved.
    const auto bytes = pal.Bytes();
    EXPECT_EQ((std::array<int, 4>{bytes[4], bytes[5], bytes[6], bytes[7]}), (std::array<int, 4>{0, 0, 51, 0}));
}

TEST(HalftoneSpots, ASmallerCubeReplacesALargerOneWhole) {
    Palette256 pal;
    pal.CreateHalftone(HalftoneLevels::Six);
    pal.CreateHalftone(HalftoneLevels::Two);
    ASSERT_EQ(pal.Entries(), 8);
    EXPECT_EQ(EntryOf(pal, 7), (Colour{255, 255, 255}));
    for (int i = 8; i < 256; ++i) ASSERT_EQ(EntryOf(pal, i), (Colour{0, 0, 0})) << "entry " << i;
    EXPECT_EQ(pal.ClosestIndex(60, 60, 60), 0);  // the search sees the new cube only
}

struct GreyCase {
    GreyLevels levels;
    int entries;
    int step;
};

class GreyScale : public ::testing::TestWithParam<GreyCase> {};

TEST_P(GreyScale, Ramp) {
    const GreyCase& c = GetParam();
    Palette256 pal;
    pal.CreateGreyScale(c.levels);
    ASSERT_EQ(pal.Entries(), c.entries);
    for (int i = 0; i < c.entries; ++i) {
        const auto v = static_cast<std::uint8_t>(i * c.step);
        EXPECT_EQ(EntryOf(pal, i), (Colour{v, v, v})) << i;
    }
    EXPECT_EQ(EntryOf(pal, c.entries - 1), (Colour{255, 255, 255}));
    EXPECT_TRUE(pal.IsGreyScale());
}

INSTANTIATE_TEST_SUITE_P(Levels, GreyScale,
                         ::testing::Values(GreyCase{GreyLevels::Two, 2, 255}, GreyCase{GreyLevels::Sixteen, 16, 17},
                                           GreyCase{GreyLevels::All, 256, 1}));

TEST(GreyScaleLevels, EachRampReplacesTheLastWhole) {
    Palette256 pal;
    pal.CreateGreyScale(GreyLevels::All);
    pal.CreateGreyScale(GreyLevels::Sixteen);
    ASSERT_EQ(pal.Entries(), 16);
    for (int i = 16; i < 256; ++i) ASSERT_EQ(EntryOf(pal, i), (Colour{0, 0, 0})) << "entry " << i;
    EXPECT_EQ(pal.ClosestIndex(120, 120, 120), 7);  // 119, the nearest of the sixteen
    pal.CreateGreyScale(GreyLevels::Two);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{0, 0, 0}, {255, 255, 255}}));
    EXPECT_EQ(EntryOf(pal, 2), (Colour{0, 0, 0}));
    EXPECT_EQ(pal.ClosestIndex(120, 120, 120), 0);
}

const std::vector<Colour> kStandard16 = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0}, {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

TEST(FixedTables, EGA) {
    Palette256 pal;
    pal.CreateEGA();
    EXPECT_EQ(InUse(pal), kStandard16);
    EXPECT_FALSE(pal.IsGreyScale());
    EXPECT_EQ(EntryOf(pal, 16), (Colour{0, 0, 0}));
}

TEST(FixedTables, Websafe) {
    Palette256 pal;
    pal.CreateWebsafe();
    ASSERT_EQ(pal.Entries(), 256);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(EntryOf(pal, i), kStandard16[i]) << i;
        EXPECT_EQ(EntryOf(pal, 248 + i), kStandard16[8 + i]) << 248 + i;
    }
    // Worked by hand: blue outer, green, red inner; black and pure red skipped.
    EXPECT_EQ(EntryOf(pal, 8), (Colour{51, 0, 0}));
    EXPECT_EQ(EntryOf(pal, 11), (Colour{204, 0, 0}));
    EXPECT_EQ(EntryOf(pal, 12), (Colour{0, 51, 0}));
    EXPECT_EQ(EntryOf(pal, 215), (Colour{204, 255, 255}));
    EXPECT_EQ(EntryOf(pal, 216), (Colour{0, 0, 0}));
    EXPECT_EQ(EntryOf(pal, 217), (Colour{8, 8, 8}));
    EXPECT_EQ(EntryOf(pal, 247), (Colour{248, 248, 248}));

    // 8 .. 215 are the cube colours that are not among the standard colours, each once.
    std::set<std::tuple<int, int, int>> cube;
    for (int i = 8; i <= 215; ++i) {
        const Colour c = EntryOf(pal, i);
        EXPECT_TRUE(c.r % 51 == 0 && c.g % 51 == 0 && c.b % 51 == 0) << i;
        cube.insert({c.r, c.g, c.b});
    }
    // The bright colours after grey 128 are cube colours, and so is black.
    for (int i = 249; i < 256; ++i) cube.insert({EntryOf(pal, i).r, EntryOf(pal, i).g, EntryOf(pal, i).b});
    cube.insert({0, 0, 0});
    EXPECT_EQ(cube.size(), 216u);
    for (int k = 0; k <= 30; ++k) {
        const auto v = static_cast<std::uint8_t>(8 * (k + 1));
        EXPECT_EQ(EntryOf(pal, 217 + k), (Colour{v, v, v}));
    }
}

// ---------------------------------------------------------------- object state

TEST(Lifecycle, InitializeDestroyAndEntries) {
    Palette256 pal;
    EXPECT_EQ(pal.Entries(), 0);
    EXPECT_EQ(pal.NearestColourTable(), nullptr);
    EXPECT_FALSE(pal.IsGreyScale());
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] { pal.Bytes(); });

    pal.CreateEGA();
    pal.Initialize(5);
    EXPECT_EQ(pal.Entries(), 5);
    EXPECT_EQ(pal.NearestColourTable(), nullptr);
    for (std::uint8_t b : pal.Bytes()) ASSERT_EQ(b, 0);
    EXPECT_TRUE(pal.IsGreyScale());  // five black entries

    pal.SetEntries(3);  // changes only the count
    EXPECT_EQ(pal.Entries(), 3);
    pal.SetGreen(1, 77);
    EXPECT_EQ(pal.Bytes()[5], 77);
    EXPECT_FALSE(pal.IsGreyScale());
    pal.SetEntries(1);
    EXPECT_TRUE(pal.IsGreyScale());  // entry 1 is no longer in use

    pal.Destroy();
    EXPECT_EQ(pal.Entries(), 0);
    EXPECT_EQ(pal.NearestColourTable(), nullptr);
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] { pal.Red(0); });
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] { pal.Bytes(); });
}

TEST(Lifecycle, LogicalPaletteIsAByteCopyOfTheEntriesInUse) {
    Palette256 pal;
    pal.CreateEGA();
    const LogicalPalette* lp = pal.NearestColourTable();
    ASSERT_NE(lp, nullptr);
    EXPECT_EQ(lp->Version(), 0x300);
    EXPECT_EQ(lp->EntryCount(), 16);
    const auto table = pal.Bytes();
    EXPECT_TRUE(std::equal(lp->Entries().begin(), lp->Entries().end(), table.begin()));
}

// ---------------------------------------------------------------- nearest entry

TEST(Nearest, NeedsALogicalPalette) {
    Palette256 pal;
    pal.Initialize(4);
    ExpectError(ErrorKind::Overflow, [&] { pal.ClosestIndex(1, 2, 3); });
}

TEST(Nearest, MatchesTrueRedAndBlue) {
    Palette256 pal;
    pal.Initialize(2);
    pal.SetRed(0, 255);   // entry 0 red
    pal.SetBlue(1, 255);  // entry 1 blue
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.ClosestIndex(200, 0, 10), 0);
    EXPECT_EQ(pal.ClosestIndex(10, 0, 200), 1);
    std::uint8_t r = 1, g = 1, b = 1;
    pal.ClosestColor(10, 30, 180, r, g, b);
    EXPECT_EQ((Colour{r, g, b}), (Colour{0, 0, 255}));
}

TEST(Nearest, TiesGoToTheLowestIndex) {
    Palette256 pal;
    pal.Initialize(4);
    // Entries: (2,0,0), (0,0,0), (0,0,0), (4,0,0).
    pal.SetRed(0, 2);
    pal.SetRed(3, 4);
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.ClosestIndex(1, 0, 0), 0);  // entries 0, 1 and 2 all at distance 1
    EXPECT_EQ(pal.ClosestIndex(0, 0, 0), 1);  // entries 1 and 2 both exact
    EXPECT_EQ(pal.ClosestIndex(3, 0, 0), 0);  // entries 0 and 3 both at distance 1
    EXPECT_EQ(pal.ClosestIndex(0, 1, 1), 1);
}

TEST(Nearest, SearchesTheEntriesInUseAsTheyWereWhenBuilt) {
    Palette256 pal;
    pal.CreateGreyScale(GreyLevels::Two);  // 0 and 255
    pal.SetRed(5, 200);                    // beyond Entries: never a candidate
    pal.SetGreen(5, 200);
    pal.SetBlue(5, 200);
    EXPECT_EQ(pal.ClosestIndex(200, 200, 200), 1);
    pal.SetRed(1, 0);  // the table changes, the logical palette does not
    EXPECT_EQ(pal.ClosestIndex(10, 250, 250), 1);
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.ClosestIndex(10, 250, 250), 1);
    pal.SetEntries(6);
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.ClosestIndex(200, 200, 200), 5);
}

// The fast search against the brute force: every colour of the 16-entry
// table, and a large sample plus every cube corner and lattice point for
// bigger tables (one with repeated entries).
TEST(Nearest, AgreesWithBruteForceForEveryColourOfTheStandardTable) {
    Palette256 pal;
    pal.CreateEGA();
    const std::vector<Colour> entries = InUse(pal);
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const int got = pal.ClosestIndex(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                                 static_cast<std::uint8_t>(b));
                if (got != BruteNearest(entries, r, g, b))
                    FAIL() << "colour " << r << ", " << g << ", " << b << ": got " << got;
            }
}

TEST(Nearest, AgreesWithBruteForceOnSamples) {
    std::mt19937 rng(20210831);
    std::vector<Palette256> palettes(4);
    palettes[0].CreateHalftone(HalftoneLevels::Six);
    palettes[1].CreateWebsafe();
    for (int k = 2; k < 4; ++k) {
        Palette256& pal = palettes[k];
        pal.Initialize(k == 2 ? 256 : 40);
        for (int i = 0; i < pal.Entries(); ++i) {
            // Palette 3 repeats a few colours so that exact ties occur.
            const int source = (k == 3 && i % 5 == 4) ? i - 2 : i;
            const std::uint32_t v = k == 3 && source != i ? 0 : rng();
            const auto index = static_cast<std::uint8_t>(i);
            if (source != i) {
                pal.SetRed(index, pal.Red(static_cast<std::uint8_t>(source)));
                pal.SetGreen(index, pal.Green(static_cast<std::uint8_t>(source)));
                pal.SetBlue(index, pal.Blue(static_cast<std::uint8_t>(source)));
            } else {
                pal.SetRed(index, static_cast<std::uint8_t>(v));
                pal.SetGreen(index, static_cast<std::uint8_t>(v >> 8));
                pal.SetBlue(index, static_cast<std::uint8_t>(v >> 16));
            }
        }
        pal.BuildLogicalPalette();
    }
    std::vector<std::array<int, 3>> queries;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17) queries.push_back({r, g, b});
    for (int i = 0; i < 8; ++i) queries.push_back({(i & 1) * 255, (i >> 1 & 1) * 255, (i >> 2) * 255});
    for (int i = 0; i < 300000; ++i) {
        const std::uint32_t v = rng();
        queries.push_back({static_cast<int>(v & 255), static_cast<int>(v >> 8 & 255), static_cast<int>(v >> 16 & 255)});
        // A near neighbour of the last colour: same cache region, different colour.
        queries.push_back({static_cast<int>(v & 255) ^ 3, static_cast<int>(v >> 8 & 255), static_cast<int>(v >> 16 & 255)});
    }
    for (std::size_t k = 0; k < palettes.size(); ++k) {
        const std::vector<Colour> entries = InUse(palettes[k]);
        for (const auto& q : queries) {
            const int got = palettes[k].ClosestIndex(static_cast<std::uint8_t>(q[0]), static_cast<std::uint8_t>(q[1]),
                                                     static_cast<std::uint8_t>(q[2]));
            if (got != BruteNearest(entries, q[0], q[1], q[2]))
                FAIL() << "palette " << k << " colour " << q[0] << ", " << q[1] << ", " << q[2] << ": got " << got;
        }
    }
}

// ---------------------------------------------------------------- octree

TEST(Optimal, OneColourGivesOneEntry) {
    Palette256 pal;
    const DibSurface pic = Picture32(3, 2, std::vector<Colour>(6, Colour{10, 200, 31}));
    pal.CreateOptimal(pic, 256, 6, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{10, 200, 31}}));
    EXPECT_EQ(pal.ClosestIndex(0, 0, 0), 0);
    EXPECT_EQ(EntryOf(pal, 1), (Colour{0, 0, 0}));
}

class OptimalOrder : public ::testing::TestWithParam<std::vector<Colour>> {};

// Leaves are listed in node order, which is the order of first appearance.
TEST_P(OptimalOrder, ColourMetFirstComesFirst) {
    const std::vector<Colour>& order = GetParam();
    std::vector<Colour> pixels;
    for (int repeat = 0; repeat < 3; ++repeat)
        for (const Colour& c : order) pixels.push_back(c);
    Palette256 pal;
    pal.CreateOptimal(Picture32(3, 3, pixels), 256, 6, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), order);
}

INSTANTIATE_TEST_SUITE_P(Primaries, OptimalOrder,
                         ::testing::Values(std::vector<Colour>{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                                           std::vector<Colour>{{0, 255, 0}, {0, 0, 255}, {255, 0, 0}},
                                           std::vector<Colour>{{0, 0, 255}, {255, 0, 0}, {0, 255, 0}}));

struct SplitCase {
    const char* what;
    int levels;
    float rWeight, gWeight;
    std::vector<Colour> pixels;
    std::vector<Colour> entries;
};

class OptimalSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(OptimalSplit, Entries) {
    const SplitCase& c = GetParam();
    Palette256 pal;
    pal.CreateOptimal(Picture32(static_cast<int>(c.pixels.size()), 1, c.pixels), 256, c.levels, c.rWeight,
                      c.gWeight, 1.0f);
    EXPECT_EQ(InUse(pal), c.entries);
}

// Worked by hand. With the full range the split point is 127.5 rounded to
// 128; a value equal to it goes low. Averages round halves to even.
INSTANTIATE_TEST_SUITE_P(
    Vectors, OptimalSplit,
    ::testing::Values(
        SplitCase{"red_128_vs_129", 1, 1, 1, {{128, 0, 0}, {129, 0, 0}}, {{128, 0, 0}, {129, 0, 0}}},
        SplitCase{"green_128_vs_129", 1, 1, 1, {{0, 129, 0}, {0, 128, 0}}, {{0, 129, 0}, {0, 128, 0}}},
        SplitCase{"blue_128_vs_129", 1, 1, 1, {{0, 0, 128}, {0, 0, 129}}, {{0, 0, 128}, {0, 0, 129}}},
        SplitCase{"equal_goes_low", 1, 1, 1, {{126, 0, 0}, {127, 0, 128}, {128, 1, 0}}, {{127, 0, 43}}},
        SplitCase{"average_half_to_even", 1, 1, 1, {{126, 0, 0}, {127, 0, 0}}, {{126, 0, 0}}},
        SplitCase{"average_half_to_even_up", 1, 1, 1, {{0, 1, 0}, {0, 2, 0}}, {{0, 2, 0}}},
        SplitCase{"second_split_at_192", 2, 1, 1, {{192, 0, 0}, {193, 0, 0}}, {{192, 0, 0}, {193, 0, 0}}},
        SplitCase{"second_split_at_64", 2, 1, 1, {{64, 0, 0}, {65, 0, 0}, {0, 0, 0}}, {{32, 0, 0}, {65, 0, 0}}},
        SplitCase{"weight_doubles_red", 1, 2, 1, {{60, 0, 0}, {70, 0, 0}}, {{60, 0, 0}, {70, 0, 0}}},
        SplitCase{"unit_weight_keeps_them", 1, 1, 1, {{60, 0, 0}, {70, 0, 0}}, {{65, 0, 0}}},
        SplitCase{"weight_halves_green", 1, 1, 0.5f, {{0, 100, 0}, {0, 250, 0}}, {{0, 175, 0}}},
        SplitCase{"unit_weight_parts_green", 1, 1, 1, {{0, 100, 0}, {0, 250, 0}}, {{0, 100, 0}, {0, 250, 0}}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Optimal, MostRecentlyListedNodeOfTheDeepestLevelIsReducedFirst) {
    // Worked by hand, two levels, at most three colours. A (0,0,0) and
    // D (65,0,0) share the root's slot 0 (node 2) and split at 64 below it
    // (leaves 3, 4); B (255,0,0) makes nodes 5, 6 and C (0,255,0) nodes 7, 8.
    // Four leaves: node 7 is reduced (last listed), then 5, then 2 (A and D
    // merge to 32.5 -> 32). The free list is then 4, 3, 6, 8, so E (0,0,255)
    // gets node 4 with leaf 3; that is reduced too and E lands second.
    const std::vector<Colour> pixels = {{0, 0, 0}, {65, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    Palette256 pal;
    pal.CreateOptimal(Picture32(5, 1, pixels), 3, 2, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{32, 0, 0}, {0, 0, 255}, {255, 0, 0}, {0, 255, 0}}));

    // Without E the three merged leaves stay.
    pal.CreateOptimal(Picture32(4, 1, {pixels.begin(), pixels.begin() + 4}), 3, 2, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{32, 0, 0}, {255, 0, 0}, {0, 255, 0}}));
}

TEST(Optimal, DeeperLevelsAreReducedBeforeShallowerOnes) {
    // Three levels, two colours. A (0,0,0) and B (40,0,0) part only at the
    // third split (32); C (255,0,0) is listed later at levels 1 and 2. Level 2
    // is reduced first: C's node (7), then A and B's node (3) -> 20.
    const std::vector<Colour> pixels = {{0, 0, 0}, {40, 0, 0}, {255, 0, 0}};
    Palette256 pal;
    pal.CreateOptimal(Picture32(3, 1, pixels), 2, 3, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{20, 0, 0}, {255, 0, 0}}));
}

TEST(Optimal, OtherDepthsLeaveThePaletteAlone) {
    Palette256 pal;
    pal.CreateEGA();
    DibSurface pic;
    ASSERT_TRUE(pic.Create(4, 4, 24));
    pal.CreateOptimal(pic, 256, 6, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), kStandard16);
    EXPECT_NE(pal.NearestColourTable(), nullptr);
}

TEST(Optimal, LimitsOfLevelsAndColours) {
    Palette256 pal;
    // Nine levels work as long as nothing has to be reduced.
    pal.CreateOptimal(Picture32(2, 1, {{1, 2, 3}, {1, 2, 3}}), 256, 9, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(InUse(pal), (std::vector<Colour>{{1, 2, 3}}));
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] {
        pal.CreateOptimal(Picture32(2, 1, {{1, 2, 3}, {200, 2, 3}}), 1, 9, 1.0f, 1.0f, 1.0f);
    });
    // Ten levels need a ninth level list at once.
    ExpectError(ErrorKind::SubscriptOutOfRange,
                [&] { pal.CreateOptimal(Picture32(1, 1, {{1, 2, 3}}), 256, 10, 1.0f, 1.0f, 1.0f); });

    // 257 colours that part by level 4: more than the table holds.
    std::vector<Colour> many;
    for (int r = 0; r < 16; ++r)
        for (int g = 0; g < 16; ++g)
            many.push_back({static_cast<std::uint8_t>(16 * r + 8), static_cast<std::uint8_t>(16 * g + 8), 0});
    many.push_back({0, 0, 255});
    const DibSurface pic = Picture32(257, 1, many);
    ExpectError(ErrorKind::SubscriptOutOfRange, [&] { pal.CreateOptimal(pic, 300, 6, 1.0f, 1.0f, 1.0f); });
    pal.CreateOptimal(pic, 256, 6, 1.0f, 1.0f, 1.0f);
    EXPECT_GE(pal.Entries(), 1);
    EXPECT_LE(pal.Entries(), 256);
}

// An independent re-derivation of the quantizer (recursive, lists of dicts)
// run by Python on random pictures; its entries must be ours, in order.
constexpr const char* kOctreeReference = R"PY(
import sys
w, h, ncolors, nlevels = (int(a) for a in sys.argv[2:6])
data = open(sys.argv[1], 'rb').read()
def fresh():
    return {'leaf': False, 'listed': False, 'sum': [0, 0, 0], 'count': 0, 'kids': [0] * 8, 'next': 0}
nodes = [None] + [fresh() for _ in range(50)]
st = {'used': 1, 'free': 0, 'leaves': 0}
heads = [0] * 9
def allocate():
    st['used'] += 1
    if st['free'] == 0:
        n = st['used']
        if len(nodes) - 1 < n:
            nodes.extend(fresh() for _ in range(round(n * 1.1) - (len(nodes) - 1)))
        return n
    n = st['free']
    st['free'] = nodes[n]['next']
    nodes[n]['kids'] = [0] * 8
    return n
def release(n):
    nodes[n]['next'] = st['free']
    st['free'] = n
    nodes[n]['leaf'] = nodes[n]['listed'] = False
    st['used'] -= 1
def add(node, level, ranges, rgb):
    slot = 0
    for c in range(3):
        lo, hi = ranges[c]
        mid = round(lo / 2 + hi / 2)
        if rgb[c] > mid:
            slot += 1 << c
            ranges[c] = (mid, hi)
        else:
            ranges[c] = (lo, mid)
    kid = nodes[node]['kids'][slot]
    if kid == 0:
        kid = allocate()
        nodes[node]['kids'][slot] = kid
        nodes[node]['count'] += 1
        k = nodes[kid]
        k['next'], k['sum'], k['count'], k['leaf'] = 0, [0, 0, 0], 0, level == nlevels
    k = nodes[kid]
    if k['leaf']:
        if k['count'] == 0:
            st['leaves'] += 1
        k['count'] += 1
        k['sum'] = [k['sum'][i] + rgb[i] for i in range(3)]
        return
    if not k['listed']:
        k['next'] = heads[level]
        heads[level] = kid
        k['listed'] = True
    add(kid, level + 1, ranges, rgb)
def reduce():
    levels = [l for l in range(nlevels, 0, -1) if heads[l]]
    if not levels:
        return False
    n = heads[levels[0]]
    heads[levels[0]] = nodes[n]['next']
    total, count = [0, 0, 0], 0
    for slot in range(8):
        kid = nodes[n]['kids'][slot]
        if kid:
            total = [total[i] + nodes[kid]['sum'][i] for i in range(3)]
            count += nodes[kid]['count']
            release(kid)
            st['leaves'] -= 1
            nodes[n]['kids'][slot] = 0
    st['leaves'] += 1
    nodes[n]['leaf'], nodes[n]['sum'], nodes[n]['count'] = True, total, count
    return True
for i in range(w * h):
    b, g, r = data[4 * i], data[4 * i + 1], data[4 * i + 2]
    add(1, 1, [(0, 255)] * 3, (r, g, b))
    while st['leaves'] > ncolors and reduce():
        pass
for n in nodes[1:]:
    if n['leaf']:
        print(*(round(s / n['count']) for s in n['sum']))
)PY";

struct ReferenceCase {
    int width, height, colours, levels, spread;
};

class OptimalReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(OptimalReference, MatchesTheRederivation) {
    if (!HaveProgram("/usr/bin/python3")) GTEST_SKIP() << "no python3";
    const ReferenceCase& c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(c.width * 1000 + c.levels * 10 + c.colours));
    std::vector<Colour> pixels;
    // Clusters around a few centres plus noise, so that leaves fill and merge.
    std::vector<Colour> centres(12);
    for (Colour& centre : centres)
        centre = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())};
    auto jitter = [&](int v) { return static_cast<std::uint8_t>(std::clamp(v + static_cast<int>(rng() % (2 * c.spread + 1)) - c.spread, 0, 255)); };
    for (int i = 0; i < c.width * c.height; ++i) {
        const Colour& centre = centres[rng() % centres.size()];
        pixels.push_back({jitter(centre.r), jitter(centre.g), jitter(centre.b)});
    }
    const DibSurface pic = Picture32(c.width, c.height, pixels);
    Palette256 pal;
    pal.CreateOptimal(pic, c.colours, c.levels, 1.0f, 1.0f, 1.0f);

    TempDir tmp;
    WriteBytes(tmp / "pic.raw", std::vector<std::uint8_t>(pic.Bits(), pic.Bits() + pic.Size()));
    WriteBytes(tmp / "octree.py", std::vector<std::uint8_t>(kOctreeReference, kOctreeReference + std::strlen(kOctreeReference)));
    std::string out;
    ASSERT_EQ(crossmeld::test::Run("/usr/bin/python3 " + Quote(tmp / "octree.py") + " " + Quote(tmp / "pic.raw") + " " +
                                       std::to_string(c.width) + " " + std::to_string(c.height) + " " +
                                       std::to_string(c.colours) + " " + std::to_string(c.levels),
                                   &out),
              0);
    std::vector<Colour> want;
    std::istringstream lines(out);
    int r, g, b;
    while (lines >> r >> g >> b)
        want.push_back({static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)});
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(InUse(pal), want);
}

INSTANTIATE_TEST_SUITE_P(RandomPictures, OptimalReference,
                         ::testing::Values(ReferenceCase{50, 40, 256, 6, 40}, ReferenceCase{50, 50, 16, 6, 90},
                                           ReferenceCase{37, 29, 64, 8, 128}, ReferenceCase{20, 20, 5, 3, 30},
                                           ReferenceCase{48, 48, 256, 8, 128}));

}  // namespace
