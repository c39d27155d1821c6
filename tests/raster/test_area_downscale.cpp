// Area-average shrinking and the fitted preview size, against values worked
// out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "raster/AreaDownscale.h"

using namespace crossmeld;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FitInBox, KeepsTheAspectAndNeverEnlarges) {
    EXPECT_EQ(FitInBox({1920, 1080}, {640, 480}), (PixelSize{640, 360}));  // width-bound
    EXPECT_EQ(FitInBox({320, 368}, {640, 360}), (PixelSize{313, 360}));    // 320 * 360 / 368 = 313.04
    EXPECT_EQ(FitInBox({100, 50}, {640, 480}), (PixelSize{100, 50}));      // already fits
    EXPECT_EQ(FitInBox({1000, 1}, {10, 10}), (PixelSize{10, 1}));          // a side never below 1
    EXPECT_EQ(FitInBox({100, 100}, {0, 200}), (PixelSize{}));
}

TEST(AreaDownscale, BorderPixelsCountByTheirShareAndHalvesRoundUp) {
    // 3 x 1 into 2 x 1: target 0 covers source [0, 1.5), target 1 [1.5, 3).
    // blue (0*2 + 90)/3 = 30, (90 + 255*2)/3 = 200; green (60 + 60)/3 = 40,
    // (60 + 180)/3 = 80; red (510 + 0)/3 = 170, (0 + 6)/3 = 2. The fourth
    // byte (77 here) becomes 0.
    const Bytes row{0, 30, 255, 77, 90, 60, 0, 77, 255, 90, 3, 77};
    EXPECT_EQ(AreaDownscale(row, {3, 1}, {2, 1}), (Bytes{30, 40, 170, 0, 200, 80, 2, 0}));
    // 3 x 3 into 2 x 2, each target 1.5 x 1.5: a white centre lies a quarter
    // in each (255 * 0.25 / 2.25 = 28.3), a white corner wholly in one (113.3).
    Bytes centre(4 * 9, 0), corner(4 * 9, 0);
    centre[16] = 255;
    corner[0] = 255;
    const Bytes c = AreaDownscale(centre, {3, 3}, {2, 2}), k = AreaDownscale(corner, {3, 3}, {2, 2});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c[4 * i], 28) << i;
    EXPECT_EQ((Bytes{k[0], k[4], k[8], k[12]}), (Bytes{113, 0, 0, 0}));
    // A column of two into one: 2.5, 3.5, 4.5 round up.
    EXPECT_EQ(AreaDownscale(Bytes{1, 2, 3, 0, 4, 5, 6, 0}, {1, 2}, {1, 1}), (Bytes{3, 4, 5, 0}));
    EXPECT_TRUE(AreaDownscale(Bytes{1, 2, 3, 0}, {2, 2}, {1, 1}).empty());  // too few bytes
}

}  // namespace
