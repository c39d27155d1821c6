// DibSurface: strides and sizes, the overflow rules, colour tables, best fit,
// resizing, clearing, copies in and out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Error.h"
#include "raster/DibSurface.h"

using namespace crossmeld;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes of a 24-bit pixel at (x, y) of a top-down surface.
Bytes Pixel24(const DibSurface& dib, int x, int y) {
    const std::uint8_t* p = dib.Bits() + y * dib.BytesPerScanline() + 3 * x;
    return Bytes(p, p + 3);
}

void SetPixel24(DibSurface& dib, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    std::uint8_t* p = dib.Bits() + y * dib.BytesPerScanline() + 3 * x;
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

void ExpectEmpty(const DibSurface& dib) {
    EXPECT_EQ(dib.Context(), nullptr);
    EXPECT_EQ(dib.Bitmap(), nullptr);
    EXPECT_EQ(dib.Bits(), nullptr);
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.BPP(), 0);
    EXPECT_EQ(dib.BytesPerScanline(), 0);
    EXPECT_EQ(dib.Size(), 0);
}

void ExpectOverflow(auto fn) {
    try {
        fn();
        ADD_FAILURE() << "no overflow raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
}

struct StrideCase {
    std::int32_t width, height, bpp, stride, size;
};

class DibSurfaceStride : public ::testing::TestWithParam<StrideCase> {};

TEST_P(DibSurfaceStride, RowsArePaddedToFourBytes) {
    const StrideCase& c = GetParam();
    DibSurface dib;
    ASSERT_TRUE(dib.Create(c.width, c.height, c.bpp));
    EXPECT_EQ(dib.Width(), c.width);
    EXPECT_EQ(dib.Height(), c.height);
    EXPECT_EQ(dib.BPP(), c.bpp);
    EXPECT_EQ(dib.BytesPerScanline(), c.stride);
    EXPECT_EQ(dib.Size(), c.size);
    ASSERT_NE(dib.Bitmap(), nullptr);
    EXPECT_EQ(dib.Bitmap()->sizeBytes(), static_cast<std::size_t>(c.size));
    EXPECT_EQ(dib.Context()->surface(), dib.Bitmap());
    EXPECT_EQ(dib.Bits(), dib.Bitmap()->bits());
}

INSTANTIATE_TEST_SUITE_P(Vectors, DibSurfaceStride,
                         ::testing::Values(StrideCase{3, 2, 8, 4, 8}, StrideCase{3, 2, 24, 12, 24},
                                           StrideCase{33, 1, 1, 8, 8}, StrideCase{32, 1, 1, 4, 4},
                                           StrideCase{9, 2, 4, 8, 16}, StrideCase{5, 3, 16, 12, 36},
                                           StrideCase{7, 2, 32, 28, 56}, StrideCase{1, 1, 24, 4, 4}));

TEST(DibSurfaceCreate, OverflowRules) {
    DibSurface dib;
    // width x bits at the limit is accepted (a side of 0 then fails quietly).
    EXPECT_FALSE(dib.Create(2147483616, 0, 1));
    ExpectOverflow([&] { dib.Create(2147483617, 0, 1); });
    EXPECT_FALSE(dib.Create(1073741808, 1, 2));
    ExpectOverflow([&] { dib.Create(1073741809, 1, 2); });
    // Size = 4 x height: 536870911 rows still fit 32 signed bits, one more does not.
    EXPECT_FALSE(dib.Create(1, 536870911, 8));
    ExpectOverflow([&] { dib.Create(1, 536870912, 8); });
    ExpectOverflow([&] { dib.Create(100000, 100000, 32); });
}

TEST(DibSurfaceCreate, OverflowLeavesTheObjectEmpty) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(4, 4, 24));
    ExpectOverflow([&] { dib.Create(100000, 100000, 32); });
    ExpectEmpty(dib);
}

TEST(DibSurfaceCreate, UnsupportedDepthOrSideLeavesAnEmptyObjectThatIgnoresEverything) {
    for (auto [w, h, bpp] : {std::tuple{4, 4, 2}, std::tuple{4, 4, 0}, std::tuple{-5, 2, 24}, std::tuple{3, 0, 8}}) {
        DibSurface dib;
        ASSERT_TRUE(dib.Create(2, 2, 8));
        EXPECT_FALSE(dib.Create(w, h, bpp));
        ExpectEmpty(dib);
    }
    DibSurface empty;
    empty.Create(4, 4, 2);
    DibSurface other;
    ASSERT_TRUE(other.Create(2, 2, 24));
    EXPECT_EQ(empty.LoadBlt(*other.Context(), 0, 0), 0);
    EXPECT_EQ(empty.Stretch(*other.Context(), 0, 0, 2, 2), 0);
    empty.Cls(0xFFFFFF);
    empty.SetPalette(Bytes(8, 1));
    Bytes palette{9, 9};
    empty.GetPalette(palette);
    EXPECT_EQ(palette, (Bytes{9, 9}));
    std::int32_t x = -1, y = -1, w = -1, h = -1;
    empty.GetBestFitInfo(10, 10, x, y, w, h, true);
    EXPECT_EQ(x + y + w + h, -4);
    empty.Resize(5, 5, true);
    ExpectEmpty(empty);
    EXPECT_TRUE(empty.Image().empty());
    empty.CloneTo(other);
    ExpectEmpty(other);
}

TEST(DibSurfacePalette, NewPalettedSurfacesHaveAllBlackTables) {
    for (auto [bpp, entries] : {std::pair{1, 2}, std::pair{4, 16}, std::pair{8, 256}}) {
        DibSurface dib;
        ASSERT_TRUE(dib.Create(3, 3, bpp));
        Bytes palette;
        dib.GetPalette(palette);
        EXPECT_EQ(palette, Bytes(4 * entries, 0)) << bpp;
    }
}

TEST(DibSurfacePalette, SetPaletteLoadsWholeEntriesFromTheFirst) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 2, 4));
    // Six bytes: one whole entry; the two extra bytes are ignored.
    dib.SetPalette(Bytes{1, 2, 3, 4, 5, 6});
    Bytes palette;
    dib.GetPalette(palette);
    ASSERT_EQ(palette.size(), 64u);
    EXPECT_EQ(Bytes(palette.begin(), palette.begin() + 8), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
    // More entries than the table holds: the table takes the first 16.
    Bytes many(4 * 20);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<std::uint8_t>(i);
    dib.SetPalette(many);
    dib.GetPalette(palette);
    EXPECT_EQ(palette, Bytes(many.begin(), many.begin() + 64));
}

TEST(DibSurfacePalette, TrueColourSurfacesLeaveTheArrayUntouched) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 2, 24));
    Bytes palette{1, 2, 3};
    dib.SetPalette(Bytes(16, 7));
    dib.GetPalette(palette);
    EXPECT_EQ(palette, (Bytes{1, 2, 3}));
}

struct FitCase {
    const char* what;
    std::int32_t width, height, targetWidth, targetHeight;
    bool stretch;
    std::int32_t x, y, fitWidth, fitHeight;
};

class DibSurfaceBestFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(DibSurfaceBestFit, CentresTheFit) {
    const FitCase& c = GetParam();
    DibSurface dib;
    ASSERT_TRUE(dib.Create(c.width, c.height, 8));
    std::int32_t x = -1, y = -1, w = -1, h = -1;
    dib.GetBestFitInfo(c.targetWidth, c.targetHeight, x, y, w, h, c.stretch);
    EXPECT_EQ(w, c.fitWidth);
    EXPECT_EQ(h, c.fitHeight);
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
}

// Worked by hand. The ratio 1/10 held in single precision is 0.100000001490116,
// so 25 rows give 2.50000004 and round up, where a double ratio would give
// exactly 2.5 and round to 2.
INSTANTIATE_TEST_SUITE_P(
    Vectors, DibSurfaceBestFit,
    ::testing::Values(FitCase{"shrink_wide", 200, 100, 100, 100, false, 0, 25, 100, 50},
                      FitCase{"no_enlarge", 200, 100, 400, 400, false, 100, 150, 200, 100},
                      FitCase{"stretch", 200, 100, 400, 400, true, 0, 100, 400, 200},
                      FitCase{"single_precision", 10, 25, 1, 100, false, 0, 48, 1, 3},
                      FitCase{"half_to_even_down", 4, 5, 2, 100, false, 0, 49, 2, 2},
                      FitCase{"half_to_even_up", 4, 7, 2, 100, false, 0, 48, 2, 4},
                      FitCase{"equal_ratios_fit_height", 200, 100, 100, 50, false, 0, 0, 100, 50},
                      FitCase{"shrink_tall", 5, 5, 10, 4, false, 3, 0, 4, 4},
                      FitCase{"odd_margin_truncates", 3, 3, 2, 1, false, 0, 0, 1, 1}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(DibSurfaceBlit, LoadBltCopiesToTheOriginWithOwnSizeForZeroSizes) {
    DibSurface source;
    ASSERT_TRUE(source.Create(3, 3, 24));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) SetPixel24(source, x, y, static_cast<std::uint8_t>(10 * x + y), 0, 0);
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 2, 24));
    EXPECT_EQ(dib.LoadBlt(*source.Context(), 1, 1), 1);
    EXPECT_EQ(Pixel24(dib, 0, 0), (Bytes{11, 0, 0}));
    EXPECT_EQ(Pixel24(dib, 1, 0), (Bytes{21, 0, 0}));
    EXPECT_EQ(Pixel24(dib, 0, 1), (Bytes{12, 0, 0}));
    EXPECT_EQ(Pixel24(dib, 1, 1), (Bytes{22, 0, 0}));
}

TEST(DibSurfaceBlit, StretchScalesAndPutsTheTargetModeBack) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 1, 24));
    SetPixel24(dib, 0, 0, 1, 2, 3);
    SetPixel24(dib, 1, 0, 4, 5, 6);
    DibSurface target;
    ASSERT_TRUE(target.Create(4, 2, 24));
    target.Context()->SetStretchMode(StretchMode::Halftone);
    EXPECT_EQ(dib.Stretch(*target.Context(), 0, 0, 4, 2), 1);
    EXPECT_EQ(target.Context()->stretchMode(), StretchMode::Halftone);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(Pixel24(target, 0, y), (Bytes{1, 2, 3}));
        EXPECT_EQ(Pixel24(target, 1, y), (Bytes{1, 2, 3}));
        EXPECT_EQ(Pixel24(target, 2, y), (Bytes{4, 5, 6}));
        EXPECT_EQ(Pixel24(target, 3, y), (Bytes{4, 5, 6}));
    }
    // A part of the source, unscaled, with a raster operation.
    EXPECT_EQ(dib.Stretch(*target.Context(), 0, 0, 1, 1, 1, 0, 1, 1, RasterOp::SrcAnd), 1);
    EXPECT_EQ(Pixel24(target, 0, 0), (Bytes{1 & 4, 2 & 5, 3 & 6}));
}

TEST(DibSurfaceCls, FillsWithTheTranslatedColour) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(3, 2, 24));
    dib.Cls(0x0000FF);  // red as 0x00BBGGRR
    EXPECT_EQ(Pixel24(dib, 2, 1), (Bytes{0, 0, 255}));
    dib.Cls(0x80000005);  // window background
    EXPECT_EQ(Pixel24(dib, 0, 0), (Bytes{255, 255, 255}));
    dib.Cls(0x8000000F);  // button face
    EXPECT_EQ(Pixel24(dib, 1, 1), (Bytes{240, 240, 240}));
    // Row padding is left alone.
    EXPECT_EQ(dib.Bits()[9], 0);
}

TEST(DibSurfaceCls, PalettedSurfaceTakesTheNearestEntry) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(5, 1, 8));
    Bytes palette(1024, 0);
    palette[4 * 3 + 2] = 250;  // entry 3: almost pure red
    dib.SetPalette(palette);
    dib.Cls(0x0000FF);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dib.Bits()[x], 3);
    dib.Cls(0);
    EXPECT_EQ(dib.Bits()[4], 0);
}

struct OleCase {
    std::uint32_t ole;
    ColorRef rgb;
};

class OleColourTest : public ::testing::TestWithParam<OleCase> {};

TEST_P(OleColourTest, Translates) { EXPECT_EQ(TranslateOleColor(GetParam().ole), GetParam().rgb); }

INSTANTIATE_TEST_SUITE_P(Vectors, OleColourTest,
                         ::testing::Values(OleCase{0x00123456, 0x123456}, OleCase{0x80000005, 0xFFFFFF},
                                           OleCase{0x8000000F, 0xF0F0F0}, OleCase{0x80000008, 0},
                                           OleCase{0x800000FE, 0}, OleCase{0x80010005, 0},
                                           OleCase{0x02ABCDEF, 0xABCDEF}));

TEST(DibSurfaceResize, WithoutStretchKeepsTheOldPixelsTopLeft) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 2, 24));
    SetPixel24(dib, 0, 0, 1, 1, 1);
    SetPixel24(dib, 1, 0, 2, 2, 2);
    SetPixel24(dib, 0, 1, 3, 3, 3);
    SetPixel24(dib, 1, 1, 4, 4, 4);
    dib.Resize(4, 3, false);
    EXPECT_EQ(dib.Width(), 4);
    EXPECT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.BPP(), 24);
    EXPECT_EQ(dib.Size(), 36);
    EXPECT_EQ(Pixel24(dib, 0, 0), (Bytes{1, 1, 1}));
    EXPECT_EQ(Pixel24(dib, 1, 0), (Bytes{2, 2, 2}));
    EXPECT_EQ(Pixel24(dib, 0, 1), (Bytes{3, 3, 3}));
    EXPECT_EQ(Pixel24(dib, 1, 1), (Bytes{4, 4, 4}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            if (x > 1 || y > 1) {
                EXPECT_EQ(Pixel24(dib, x, y), (Bytes{0, 0, 0})) << x << "," << y;
            }
        }

    dib.Resize(1, 1, false);
    EXPECT_EQ(dib.Size(), 4);
    EXPECT_EQ(Pixel24(dib, 0, 0), (Bytes{1, 1, 1}));
}

TEST(DibSurfaceResize, WithStretchRepeatsPixels) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 2, 24));
    SetPixel24(dib, 0, 0, 1, 1, 1);
    SetPixel24(dib, 1, 0, 2, 2, 2);
    SetPixel24(dib, 0, 1, 3, 3, 3);
    SetPixel24(dib, 1, 1, 4, 4, 4);
    dib.Resize(4, 4, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t v = static_cast<std::uint8_t>(1 + x / 2 + 2 * (y / 2));
            EXPECT_EQ(Pixel24(dib, x, y), (Bytes{v, v, v})) << x << "," << y;
        }
}

TEST(DibSurfaceResize, PalettedSurfaceKeepsItsTableAndIndices) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 1, 8));
    Bytes palette(1024);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i * 7 + i / 4);
    dib.SetPalette(palette);
    dib.Bits()[0] = 5;
    dib.Bits()[1] = 200;
    dib.Resize(3, 2, false);
    Bytes after;
    dib.GetPalette(after);
    EXPECT_EQ(after, palette);
    EXPECT_EQ(dib.Bits()[0], 5);
    EXPECT_EQ(dib.Bits()[1], 200);
}

TEST(DibSurfaceClone, CopiesSizeTableAndRawBytes) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(3, 2, 8));
    Bytes palette(1024);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(255 - i % 256);
    dib.SetPalette(palette);
    for (int i = 0; i < dib.Size(); ++i) dib.Bits()[i] = static_cast<std::uint8_t>(i * 11);
    DibSurface target;
    ASSERT_TRUE(target.Create(10, 10, 32));
    dib.CloneTo(target);
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(target.Height(), 2);
    EXPECT_EQ(target.BPP(), 8);
    EXPECT_EQ(target.Size(), 8);
    Bytes copied;
    target.GetPalette(copied);
    EXPECT_EQ(copied, palette);
    EXPECT_EQ(Bytes(target.Bits(), target.Bits() + 8), Bytes(dib.Bits(), dib.Bits() + 8));
    EXPECT_NE(target.Bits(), dib.Bits());
}

TEST(DibSurfacePicture, CreateFromStdPictureKeepsOrForcesTheDepth) {
    auto bitmap = Surface::Create(2, 2, 8, RowOrder::BottomUp);
    bitmap->colorTable()[1] = RgbQuad{10, 20, 30, 0};
    bitmap->colorTable()[2] = RgbQuad{40, 50, 60, 0};
    bitmap->SetRaw(0, 0, 1);  // top-left
    bitmap->SetRaw(1, 1, 2);  // bottom-right
    const Picture picture(bitmap);

    DibSurface same;
    EXPECT_EQ(same.CreateFromStdPicture(picture, false), 8);
    EXPECT_EQ(same.BPP(), 8);
    EXPECT_EQ(same.Bits()[0], 1);                            // top row first
    EXPECT_EQ(same.Bits()[same.BytesPerScanline() + 1], 2);  // bottom-right
    Bytes palette;
    same.GetPalette(palette);
    EXPECT_EQ(Bytes(palette.begin() + 4, palette.begin() + 12), (Bytes{10, 20, 30, 0, 40, 50, 60, 0}));

    DibSurface forced;
    EXPECT_EQ(forced.CreateFromStdPicture(picture, true), 8);
    EXPECT_EQ(forced.BPP(), 32);
    EXPECT_EQ(Bytes(forced.Bits(), forced.Bits() + 3), (Bytes{10, 20, 30}));
    EXPECT_EQ(Bytes(forced.Bits() + 12, forced.Bits() + 15), (Bytes{40, 50, 60}));

    DibSurface none;
    EXPECT_EQ(none.CreateFromStdPicture(Picture(), false), 0);
    ExpectEmpty(none);
}

TEST(DibSurfacePicture, ImageIsAThirtyTwoBitCopy) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(2, 1, 4));
    dib.SetPalette(Bytes{0, 0, 0, 0, 7, 8, 9, 0});
    dib.Bits()[0] = 0x01;  // left pixel black, right pixel entry 1
    const Picture image = dib.Image();
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.bitmap()->bpp(), 32);
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.bitmap()->GetPixel(0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(image.bitmap()->GetPixel(1, 0), Rgb(9, 8, 7));
    dib.Bits()[0] = 0x11;
    EXPECT_EQ(image.bitmap()->GetPixel(0, 0), Rgb(0, 0, 0)) << "the picture shares the pixels";
}

TEST(DibSurfaceMove, MovingLeavesTheSourceEmpty) {
    DibSurface dib;
    ASSERT_TRUE(dib.Create(3, 2, 24));
    std::uint8_t* bits = dib.Bits();
    DibSurface moved(std::move(dib));
    EXPECT_EQ(moved.Bits(), bits);
    EXPECT_EQ(moved.Size(), 24);
    ExpectEmpty(dib);
    DibSurface assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.BytesPerScanline(), 12);
    ExpectEmpty(moved);
}

}  // namespace
