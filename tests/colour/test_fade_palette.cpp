// The palette of a whole fade: the blended samples it is built from and
// the refinement of its entries, checked on colours worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "base/Error.h"
#include "colour/FadeSamples.h"
#include "colour/Palette256.h"
#include "colour/PaletteRefinement.h"
#include "raster/DibSurface.h"
#include "raster/MapPixelsAsArray.h"

namespace crossmeld {
namespace {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

DibSurface Picture(std::int32_t width, const std::vector<Rgb>& pixels, std::int32_t bpp = 32) {
    DibSurface s;
    const auto height = static_cast<std::int32_t>(pixels.size()) / width;
    EXPECT_TRUE(s.Create(width, height, bpp));
    const int step = bpp / 8;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const auto y = static_cast<std::int32_t>(i) / width, x = static_cast<std::int32_t>(i) % width;
        std::uint8_t* p = s.Bits() + static_cast<std::size_t>(y) * s.BytesPerScanline() + x * step;
        p[0] = pixels[i].b;
        p[1] = pixels[i].g;
        p[2] = pixels[i].r;
    }
    return s;
}

std::vector<Rgb> Pixels(const DibSurface& s) {
    std::vector<Rgb> out;
    const MapPixelsAsArray view(s);
    for (std::int32_t y = 0; y < view.Rows(); ++y)
        for (std::int32_t x = 0; x < view.Columns(); ++x) out.push_back({view(x, y)[2], view(x, y)[1], view(x, y)[0]});
    return out;
}

TEST(FadeSamples, OneBlendPerWeightBelowEachOtherRoundedHalvesToEven) {
    // start (0, 10, 255) and (101, 0, 3), end (100, 30, 0) and (0, 1, 4):
    // at 1/2 the blends are (50, 20, 127.5 -> 128) and (50.5 -> 50, 0.5 -> 0, 3.5 -> 4).
    const DibSurface start = Picture(2, {{0, 10, 255}, {101, 0, 3}}, 24);
    const DibSurface end = Picture(2, {{100, 30, 0}, {0, 1, 4}});
    const double weights[] = {0.0, 0.5, 1.0};
    DibSurface samples;
    MakeFadeSamples(start, end, weights, 64, samples);
    EXPECT_EQ(samples.BPP(), 32);
    EXPECT_EQ(Pixels(samples), (std::vector<Rgb>{{0, 10, 255},
                                                 {101, 0, 3},  // weight 0
                                                 {50, 20, 128},
                                                 {50, 0, 4},  // weight 1/2
                                                 {100, 30, 0},
                                                 {0, 1, 4}}));  // weight 1
    EXPECT_THROW(MakeFadeSamples(start, Picture(1, {{0, 0, 0}, {0, 0, 0}}), weights, 64, samples), Error);
}

TEST(FadeSamples, LargePicturesAreScaledToTheBox) {
    const DibSurface start = Picture(200, std::vector<Rgb>(200 * 100, Rgb{10, 20, 30}));
    const DibSurface end = Picture(200, std::vector<Rgb>(200 * 100, Rgb{30, 20, 10}));
    const double weights[] = {0.0, 0.5};
    DibSurface samples;
    MakeFadeSamples(start, end, weights, 64, samples);
    EXPECT_EQ(samples.Width(), 64);
    EXPECT_EQ(samples.Height(), 2 * 32);
    EXPECT_EQ(Pixels(samples).back(), (Rgb{20, 20, 20}));
}

TEST(PaletteRefinement, EntriesMoveToTheMeanOfTheirNearestSamples) {
    // Entries black and white; samples 10, 20 (nearer black) and 200, 221
    // (nearer white) in grey: one pass moves them to 15 and 210.5 -> 210.
    // A third entry, red, gets no sample and stays.
    Palette256 palette;
    palette.Initialize(3);
    palette.SetRed(1, 255);
    palette.SetGreen(1, 255);
    palette.SetBlue(1, 255);
    palette.SetRed(2, 255);
    const DibSurface samples = Picture(2, {{10, 10, 10}, {200, 200, 200}, {20, 20, 20}, {221, 221, 221}});
    RefinePalette(palette, samples, 1);
    EXPECT_EQ((Rgb{palette.Red(0), palette.Green(0), palette.Blue(0)}), (Rgb{15, 15, 15}));
    EXPECT_EQ((Rgb{palette.Red(1), palette.Green(1), palette.Blue(1)}), (Rgb{210, 210, 210}));
    EXPECT_EQ((Rgb{palette.Red(2), palette.Green(2), palette.Blue(2)}), (Rgb{255, 0, 0}));
    // The logical palette follows: grey 205 is now nearest entry 1.
    EXPECT_EQ(palette.ClosestIndex(205, 205, 205), 1);

    // Ties go to the lower index: samples at 100 lie as near entry 0 (90)
    // as entry 1 (110), so all move entry 0 and entry 1 stays.
    Palette256 tied;
    tied.Initialize(2);
    for (std::uint8_t e = 0; e < 2; ++e) {
        const std::uint8_t v = e == 0 ? 90 : 110;
        tied.SetRed(e, v);
        tied.SetGreen(e, v);
        tied.SetBlue(e, v);
    }
    RefinePalette(tied, Picture(1, {{100, 100, 100}}), 3);
    EXPECT_EQ(tied.Red(0), 100);
    EXPECT_EQ(tied.Red(1), 110);
}

}  // namespace
}  // namespace crossmeld
