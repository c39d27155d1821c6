// Area-average shrinking and the fitted preview size, against values worked
// out by hand.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "raster/AreaDownscale.h"

using namespace crossmeld;

namespace {

// Pixels given as (blue, green, red) triples; the fourth byte is set to a
// non-zero filler that the result must not carry over.
std::vector<std::uint8_t> Bgrx(std::initializer_list<std::array<int, 3>> pixels) {
    std::vector<std::uint8_t> out;
    for (const auto& p : pixels) out.insert(out.end(), {std::uint8_t(p[0]), std::uint8_t(p[1]), std::uint8_t(p[2]), 77});
    return out;
}

TEST(FitInBox, KeepsTheAspectAndNeverEnlarges) {
    EXPECT_EQ(FitInBox({1920, 1080}, {640, 480}), (PixelSize{640, 360}));  // width-bound
    EXPECT_EQ(FitInBox({320, 368}, {640, 360}), (PixelSize{313, 360}));    // 320 * 360 / 368 = 313.04
    EXPECT_EQ(FitInBox({100, 50}, {640, 480}), (PixelSize{100, 50}));      // already fits
    EXPECT_EQ(FitInBox({1000, 1}, {10, 10}), (PixelSize{10, 1}));          // a side never below 1
    EXPECT_EQ(FitInBox({300, 100}, {200, 200}), (PixelSize{200, 67}));     // 66.67
    EXPECT_EQ(FitInBox({0, 100}, {200, 200}), (PixelSize{}));
    EXPECT_EQ(FitInBox({100, 100}, {0, 200}), (PixelSize{}));
}

TEST(AreaDownscale, ThreeColumnsIntoTwoWeighBorderPixelsByTheirShare) {
    // Target pixel 0 covers source [0, 1.5): p0 whole, half of p1;
    // target 1 covers [1.5, 3): half of p1, p2 whole. Means of 1.5 pixels.
    const auto src = Bgrx({{0, 30, 255}, {90, 60, 0}, {255, 90, 3}});
    const auto out = AreaDownscale(src, {3, 1}, {2, 1});
    // blue (0*2 + 90)/3 = 30, (90 + 255*2)/3 = 200; green (60 + 60)/3 = 40,
    // (60 + 180)/3 = 80; red (510 + 0)/3 = 170, (0 + 6)/3 = 2.
    EXPECT_EQ(out, (std::vector<std::uint8_t>{30, 40, 170, 0, 200, 80, 2, 0}));
}

TEST(AreaDownscale, TwoDimensionsAndHalvesRoundUp) {
    // 3 x 3 into 2 x 2: each target pixel is 1.5 x 1.5 source pixels. A
    // white centre pixel lies a quarter in each: 255 * 0.25 / 2.25 = 28.33.
    {
        std::vector<std::uint8_t> src(4 * 9, 0);
        for (int c = 0; c < 3; ++c) src[4 * 4 + c] = 255;
        const auto out = AreaDownscale(src, {3, 3}, {2, 2});
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[4 * i], 28) << i;
    }
    // A white top-left pixel lies wholly in target (0, 0): 255 / 2.25 = 113.3.
    {
        std::vector<std::uint8_t> src(4 * 9, 0);
        src[0] = 255;
        const auto out = AreaDownscale(src, {3, 3}, {2, 2});
        EXPECT_EQ(out[0], 113);
        EXPECT_EQ(out[4], 0);
        EXPECT_EQ(out[8], 0);
        EXPECT_EQ(out[12], 0);
    }
    // 2 x 2 into 1 x 1: means 0.5, 2.5, 11.75 round to 1, 3, 12.
    const auto src = Bgrx({{0, 2, 10}, {1, 3, 13}, {0, 2, 12}, {1, 3, 12}});
    EXPECT_EQ(AreaDownscale(src, {2, 2}, {1, 1}), (std::vector<std::uint8_t>{1, 3, 12, 0}));
}

TEST(AreaDownscale, EqualSizeCopiesAndBadInputGivesNothing) {
    const auto src = Bgrx({{1, 2, 3}, {4, 5, 6}});
    EXPECT_EQ(AreaDownscale(src, {2, 1}, {2, 1}), (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_EQ(AreaDownscale(src, {1, 2}, {1, 1}), (std::vector<std::uint8_t>{3, 4, 5, 0}));  // 2.5, 3.5, 4.5
    EXPECT_TRUE(AreaDownscale(src, {2, 2}, {1, 1}).empty());  // too few bytes
    EXPECT_TRUE(AreaDownscale(src, {2, 1}, {0, 1}).empty());
}

}  // namespace
