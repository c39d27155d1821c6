// PictureBox: sizes with border and AutoSize, the persistent image
// (background, picture, drawings), Cls, pen and brush settings, Refresh.
#include <gtest/gtest.h>

#include <array>

#include "base/Error.h"
#include "raster/PictureBox.h"

using namespace crossmeld;

namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kWhite = 0xFFFFFF;

Picture SolidPicture(std::int32_t w, std::int32_t h, ColorRef color, int bpp = 24) {
    auto s = Surface::Create(w, h, bpp);
    if (bpp <= 8) s->colorTable()[1] = RgbQuad{BlueOf(color), GreenOf(color), RedOf(color), 0};
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) s->SetPixel(x, y, color);
    return Picture(s);
}

ColorRef At(const PictureBox& box, std::int32_t x, std::int32_t y) { return box.Image().bitmap()->GetPixel(x, y); }

TEST(PictureBox, Defaults) {
    PictureBox box;
    EXPECT_EQ(box.BorderStyle(), BoxBorder::FixedSingle);
    EXPECT_EQ(box.FillStyle(), BoxFillStyle::Transparent);
    EXPECT_EQ(box.DrawStyle(), BoxDrawStyle::Solid);
    EXPECT_EQ(box.ScaleMode(), 3);
    EXPECT_FALSE(box.AutoSize());
    EXPECT_TRUE(box.Visible());
    EXPECT_TRUE(box.Picture().empty());
    EXPECT_TRUE(box.Image().empty());
    ASSERT_NE(box.Context(), nullptr);
    EXPECT_EQ(box.Context()->brush().style, BrushStyle::Null);
    EXPECT_EQ(box.Context()->pen().style, PenStyle::Solid);
}

TEST(PictureBox, BorderTakesTwoPixelsPerSide) {
    PictureBox box;
    box.Move(5, 6, 104, 84);
    EXPECT_EQ(box.Left(), 5);
    EXPECT_EQ(box.Top(), 6);
    EXPECT_EQ(box.Width(), 104);
    EXPECT_EQ(box.ScaleWidth(), 100);
    EXPECT_EQ(box.ScaleHeight(), 80);
    ASSERT_FALSE(box.Image().empty());
    EXPECT_EQ(box.Image().Width(), 100);
    EXPECT_EQ(box.Image().Height(), 80);
    EXPECT_EQ(box.Image().bitmap()->bpp(), 24);

    box.SetBorderStyle(BoxBorder::None);
    EXPECT_EQ(box.Width(), 104);
    EXPECT_EQ(box.ScaleWidth(), 104);
    EXPECT_EQ(box.Image().Width(), 104);

    box.SetBorderStyle(BoxBorder::FixedSingle);
    box.SetWidth(3);
    EXPECT_EQ(box.ScaleWidth(), 0);
    EXPECT_TRUE(box.Image().empty());
    EXPECT_THROW(box.SetHeight(-1), Error);
}

TEST(PictureBox, AutoSizeTakesThePictureSize) {
    PictureBox box;
    box.Move(0, 0, 50, 50);
    box.SetPicture(SolidPicture(30, 20, kBlue));
    EXPECT_EQ(box.Width(), 50) << "without AutoSize the size stays";
    box.SetAutoSize(true);
    EXPECT_EQ(box.Width(), 34);
    EXPECT_EQ(box.Height(), 24);
    EXPECT_EQ(box.ScaleWidth(), 30);
    EXPECT_EQ(box.ScaleHeight(), 20);
    box.SetBorderStyle(BoxBorder::None);
    EXPECT_EQ(box.Width(), 30);
    box.SetPicture(SolidPicture(7, 9, kBlue));
    EXPECT_EQ(box.Width(), 7);
    EXPECT_EQ(box.Height(), 9);
    EXPECT_EQ(box.Image().Width(), 7);
}

TEST(PictureBox, ImageShowsBackgroundThenPictureThenDrawings) {
    PictureBox box;
    box.SetBorderStyle(BoxBorder::None);
    box.SetBackColor(kRed);
    box.Move(0, 0, 10, 8);
    box.SetPicture(SolidPicture(4, 3, kBlue, 8));
    EXPECT_EQ(At(box, 0, 0), kBlue);
    EXPECT_EQ(At(box, 3, 2), kBlue);
    EXPECT_EQ(At(box, 4, 2), kRed);
    EXPECT_EQ(At(box, 3, 3), kRed);

    box.SetForeColor(kGreen);
    box.Context()->MoveTo(0, 1);
    box.Context()->LineTo(10, 1);
    EXPECT_EQ(At(box, 2, 1), kGreen);
    EXPECT_EQ(At(box, 8, 1), kGreen);

    box.Cls();
    EXPECT_EQ(At(box, 2, 1), kBlue) << "Cls keeps the picture";
    EXPECT_EQ(At(box, 8, 1), kRed) << "Cls removes drawings";
    EXPECT_EQ(box.Context()->position(), (Point{0, 0}));
    EXPECT_FALSE(box.Picture().empty());
}

TEST(PictureBox, NewPictureOrBackColourRemovesDrawings) {
    PictureBox box;
    box.SetBorderStyle(BoxBorder::None);
    box.Move(0, 0, 6, 6);
    box.SetBackColor(kWhite);
    box.Context()->FillRect(Rect{0, 0, 6, 6}, kGreen);
    box.SetPicture(SolidPicture(2, 2, kBlue));
    EXPECT_EQ(At(box, 1, 1), kBlue);
    EXPECT_EQ(At(box, 5, 5), kWhite);

    box.Context()->FillRect(Rect{0, 0, 6, 6}, kGreen);
    box.SetBackColor(kRed);
    EXPECT_EQ(At(box, 1, 1), kBlue);
    EXPECT_EQ(At(box, 5, 5), kRed);

    box.SetPicture(Picture());
    EXPECT_TRUE(box.Picture().empty());
    EXPECT_EQ(box.Picture().Handle(), 0u);
    EXPECT_EQ(At(box, 1, 1), kRed);
}

TEST(PictureBox, ImageSharesTheBoxPixelsAndIsRecreatedOnResize) {
    PictureBox box;
    box.SetBorderStyle(BoxBorder::None);
    box.Move(0, 0, 4, 4);
    const Picture image = box.Image();
    image.bitmap()->SetPixel(2, 2, kGreen);
    EXPECT_EQ(box.Context()->surface()->GetPixel(2, 2), kGreen);
    EXPECT_EQ(box.Image().Handle(), image.Handle());

    box.Move(1, 1, 4, 4);
    EXPECT_EQ(box.Image().Handle(), image.Handle()) << "moving without resizing keeps the image";
    box.Move(1, 1, 5, 4);
    EXPECT_NE(box.Image().Handle(), image.Handle());
    EXPECT_EQ(box.Image().Width(), 5);
    EXPECT_EQ(box.Context()->surface(), box.Image().bitmap().get());
}

TEST(PictureBox, PenAndBrushFollowTheStyles) {
    PictureBox box;
    box.SetForeColor(kRed);
    EXPECT_EQ(box.Context()->pen().color, kRed);
    box.SetDrawStyle(BoxDrawStyle::Transparent);
    EXPECT_EQ(box.Context()->pen().style, PenStyle::Null);
    box.SetDrawStyle(BoxDrawStyle::Solid);
    EXPECT_EQ(box.Context()->pen().style, PenStyle::Solid);
    box.SetFillColor(kBlue);
    EXPECT_EQ(box.Context()->brush().style, BrushStyle::Null);
    box.SetFillStyle(BoxFillStyle::Solid);
    EXPECT_EQ(box.Context()->brush().style, BrushStyle::Solid);
    EXPECT_EQ(box.Context()->brush().color, kBlue);
}

// The frame canvas set-up: black background, filled shapes without outline.
TEST(PictureBox, FrameCanvasFillsPolygonsWithoutOutline) {
    PictureBox box;
    box.SetBorderStyle(BoxBorder::None);
    box.SetBackColor(0);
    box.Move(0, 0, 10, 10);
    box.SetDrawStyle(BoxDrawStyle::Transparent);
    box.SetFillStyle(BoxFillStyle::Solid);
    box.SetForeColor(kWhite);
    box.SetFillColor(kGreen);
    const std::array<Point, 4> square{Point{2, 2}, Point{8, 2}, Point{8, 8}, Point{2, 8}};
    box.Context()->Polygon(square);
    for (std::int32_t y = 0; y < 10; ++y)
        for (std::int32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 8 && y >= 2 && y < 8;
            EXPECT_EQ(At(box, x, y), inside ? kGreen : 0u) << x << "," << y;
        }
}

TEST(PictureBox, RefreshNotifiesObserversAndCounts) {
    PictureBox box;
    int first = 0, second = 0;
    const int id = box.AddRefreshObserver([&] { ++first; });
    box.AddRefreshObserver([&] { ++second; });
    box.Refresh();
    box.RemoveRefreshObserver(id);
    box.Refresh();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(box.RefreshCount(), 2);
}

}  // namespace
