// Preview pane layout: bars, corner square, ranges, for pictures around the
// pane's size. The pane is 520 x 385 outside, as in the main window.

#include <gtest/gtest.h>

#include "app/controls/Panes.h"
#include "base/Error.h"

namespace crossmeld {
namespace {

struct Box {
    std::int32_t left, top, width, height;
    friend bool operator==(const Box&, const Box&) = default;
};

template <class C>
Box BoxOf(const C& c) {
    return {c.Left(), c.Top(), c.Width(), c.Height()};
}

struct LayoutCase {
    const char* name;
    std::int32_t pw, ph;
    bool horizontalVisible, verticalVisible, cornerVisible;
    Box horizontal, vertical, corner;
    std::int16_t hMax, hLarge, vMax, vLarge;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class PaneLayout : public testing::TestWithParam<LayoutCase> {
protected:
    PaneLayout() {
        pane.Move(8, 42, 520, 385);
        picture.SetBorderStyle(BoxBorder::None);
        // Leftovers of an earlier layout that the new one must replace.
        horizontal.SetValue(17);
        vertical.SetValue(23);
        horizontal.SetVisible(true);
        corner.SetVisible(true);
    }
    PictureBox pane;
    PictureBox picture;
    ScrollBar horizontal{ScrollBar::Orientation::Horizontal};
    ScrollBar vertical{ScrollBar::Orientation::Vertical};
    Frame corner;
};

TEST_P(PaneLayout, PlacesBarsAndCorner) {
    const LayoutCase& c = GetParam();
    picture.Move(0, 0, c.pw, c.ph);
    LayoutPane(PreviewPane{pane, picture, horizontal, vertical, corner});
    EXPECT_EQ(horizontal.Visible(), c.horizontalVisible);
    EXPECT_EQ(vertical.Visible(), c.verticalVisible);
    EXPECT_EQ(corner.Visible(), c.cornerVisible);
    EXPECT_EQ(BoxOf(horizontal), c.horizontal);
    EXPECT_EQ(BoxOf(vertical), c.vertical);
    EXPECT_EQ(BoxOf(corner), c.corner);
    EXPECT_EQ(horizontal.Max(), c.hMax);
    EXPECT_EQ(horizontal.LargeChange(), c.hLarge);
    EXPECT_EQ(vertical.Max(), c.vMax);
    EXPECT_EQ(vertical.LargeChange(), c.vLarge);
    EXPECT_EQ(horizontal.Value(), 0);
    EXPECT_EQ(vertical.Value(), 0);
}

// sw = 520, sh = 385: a bar sits at sw - 12 = 508 (sh - 12 = 373) unless the
// picture is at least 24 pixels smaller than the pane.
INSTANTIATE_TEST_SUITE_P(
    Cases, PaneLayout,
    testing::Values(
        LayoutCase{"ExactlyPaneWide",
                   520,
                   100,
                   false,
                   false,
                   false,
                   {0, 100, 508, 12},
                   {508, 0, 12, 100},
                   {508, 100, 12, 12},
                   12,
                   520,
                   0,
                   100},
        LayoutCase{"OnePixelWider",
                   521,
                   100,
                   true,
                   false,
                   true,
                   {0, 100, 508, 12},
                   {508, 0, 12, 100},
                   {508, 100, 12, 12},
                   13,
                   521,
                   0,
                   100},
        LayoutCase{"TenNarrowerAndTaller",
                   510,
                   400,
                   false,
                   true,
                   true,
                   {0, 373, 508, 12},
                   {508, 0, 12, 373},
                   {508, 373, 12, 12},
                   2,
                   510,
                   27,
                   400},
        LayoutCase{"HundredNarrowerAndTaller",
                   420,
                   400,
                   false,
                   true,
                   true,
                   {0, 373, 420, 12},
                   {420, 0, 12, 373},
                   {420, 373, 12, 12},
                   0,
                   420,
                   27,
                   400},
        LayoutCase{"SmallPicture",
                   100,
                   80,
                   false,
                   false,
                   false,
                   {0, 80, 100, 12},
                   {100, 0, 12, 80},
                   {100, 80, 12, 12},
                   0,
                   100,
                   0,
                   80},
        LayoutCase{"LargerBothWays",
                   800,
                   600,
                   true,
                   true,
                   true,
                   {0, 373, 508, 12},
                   {508, 0, 12, 373},
                   {508, 373, 12, 12},
                   292,
                   800,
                   227,
                   600},
        // 496 + 12 < 508 fails, 495 + 12 < 508 holds.
        LayoutCase{"TwentyFourNarrower",
                   496,
                   361,
                   false,
                   false,
                   false,
                   {0, 373, 508, 12},
                   {508, 0, 12, 373},
                   {508, 373, 12, 12},
                   -12,
                   496,
                   -12,
                   361},
        LayoutCase{"TwentyFiveNarrower",
                   495,
                   360,
                   false,
                   false,
                   false,
                   {0, 360, 495, 12},
                   {495, 0, 12, 360},
                   {495, 360, 12, 12},
                   0,
                   495,
                   0,
                   360},
        LayoutCase{
            "EmptyPicture", 0, 0, false, false, false, {0, 0, 0, 12}, {0, 0, 12, 0}, {0, 0, 12, 12}, 0, 0, 0, 0}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(PaneLayout, PictureBeyondSixteenBitsOverflowsAfterPlacingTheBars) {
    picture.Move(0, 0, 40000, 100);
    try {
        LayoutPane(PreviewPane{pane, picture, horizontal, vertical, corner});
        FAIL() << "no overflow";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
    EXPECT_TRUE(horizontal.Visible());
    EXPECT_EQ(BoxOf(horizontal), (Box{0, 100, 508, 12}));
    EXPECT_EQ(horizontal.Value(), 17);  // the layout stopped before the values
}

TEST_F(PaneLayout, BarsFollowThePaneOuterSizeNotItsInnerSize) {
    // A bordered pane of 200 x 150 has an inner area of 196 x 146; the rule
    // still measures against 200 and 150.
    pane.Move(0, 0, 200, 150);
    picture.Move(0, 0, 190, 160);
    LayoutPane(PreviewPane{pane, picture, horizontal, vertical, corner});
    EXPECT_FALSE(horizontal.Visible());
    EXPECT_TRUE(vertical.Visible());
    EXPECT_EQ(BoxOf(vertical), (Box{188, 0, 12, 138}));
    EXPECT_EQ(BoxOf(corner), (Box{188, 138, 12, 12}));
}

}  // namespace
}  // namespace crossmeld
