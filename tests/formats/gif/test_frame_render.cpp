// Frame rendering: the mask pair over a coloured target (opaque frames,
// a transparent index, black and white frame colours), position and scale
// with their rounding, cropping at the logical screen, and FrameMask with
// the frame's flag on and off.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld {
namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

// Frame palette: entry i is (i * 10, 100 + i, 200 - i); entry 1 is black
// and entry 2 white, so that both can be told from the mask's colours.
ColorRef EntryColour(int i) {
    if (i == 1) return Rgb(0, 0, 0);
    if (i == 2) return kWhite;
    return Rgb(static_cast<std::uint8_t>(i * 10), static_cast<std::uint8_t>(100 + i), static_cast<std::uint8_t>(200 - i));
}

// A document with one w x h frame whose pixel (x, y) holds pixel(x, y).
template <typename F>
GifDocument OneFrame(int w, int h, F pixel) {
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, static_cast<std::int16_t>(w), static_cast<std::int16_t>(h));
    DibSurface& dib = gif.FrameDIBXOR(1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) dib.Bits()[y * dib.BytesPerScanline() + x] = static_cast<std::uint8_t>(pixel(x, y));
    auto palette = gif.LocalPalette(1);
    for (int i = 0; i < 256; ++i) {
        const ColorRef c = EntryColour(i);
        palette[4 * i] = BlueOf(c);
        palette[4 * i + 1] = GreenOf(c);
        palette[4 * i + 2] = RedOf(c);
    }
    return gif;
}

// A 24-bit target filled with red.
DibSurface RedTarget(int w, int h) {
    DibSurface target;
    EXPECT_TRUE(target.Create(w, h, 24));
    target.Cls(0x0000FF);
    return target;
}

ColorRef At(const DibSurface& dib, int x, int y) { return dib.Bitmap()->GetPixel(x, y); }

std::uint8_t Index(GifDocument& gif, int x, int y) {
    const DibSurface& dib = gif.FrameDIBXOR(1);
    return dib.Bits()[y * dib.BytesPerScanline() + x];
}

TEST(FrameRender, AnOpaqueFrameReplacesItsWholeRectangle) {
    GifDocument gif = OneFrame(4, 3, [](int x, int y) { return 1 + x + 4 * y; });
    gif.SetFrameLeft(1, 2);
    gif.SetFrameTop(1, 1);
    gif.FrameMask(1, 0);
    DibSurface target = RedTarget(8, 6);
    gif.FrameDraw(*target.Context(), 1, 0, 0, 1.0f, false);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 1 && y < 4;
            EXPECT_EQ(At(target, x, y), inside ? EntryColour(1 + (x - 2) + 4 * (y - 1)) : kRed) << x << "," << y;
        }
}

TEST(FrameRender, TransparentPixelsKeepTheTarget) {
    // Index 5 transparent; 1 (black) and 2 (white) are ordinary colours.
    GifDocument gif = OneFrame(5, 3, [](int x, int y) { return (x + y) % 2 == 0 ? 5 : 1 + (x + y) % 3; });
    gif.SetFrameUseTransparentColor(1, true);
    gif.SetFrameTransparentColorIndex(1, 5);
    gif.FrameMask(1, 5);
    DibSurface target = RedTarget(7, 5);
    gif.FrameDraw(*target.Context(), 1, 1, 1, 1.0f, false);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool inside = x >= 1 && x < 6 && y >= 1 && y < 4;
            ColorRef expected = kRed;
            if (inside && Index(gif, x - 1, y - 1) != 5) expected = EntryColour(Index(gif, x - 1, y - 1));
            EXPECT_EQ(At(target, x, y), expected) << x << "," << y;
        }
    // The surface shows the transparent entry black; the frame keeps its colour.
    std::vector<std::uint8_t> table;
    gif.FrameDIBXOR(1).GetPalette(table);
    EXPECT_EQ(table[20] + table[21] + table[22], 0);
    EXPECT_EQ(gif.LocalPaletteRGBEntry(1, 5), static_cast<std::int32_t>(EntryColour(5)));
    EXPECT_EQ(table[4 * 6 + 2], RedOf(EntryColour(6)));
}

TEST(FrameRender, ScaleAndPositionAreRoundedHalvesToEven) {
    // ScaleFactor 2, FrameLeft 3, Left 10: x = 16, twice the width; FrameTop
    // 1, Top 2: y = 4, twice the height.
    GifDocument gif = OneFrame(5, 4, [](int x, int y) { return 10 + x + 5 * y; });
    gif.SetFrameLeft(1, 3);
    gif.SetFrameTop(1, 1);
    gif.FrameMask(1, 0);
    DibSurface target = RedTarget(40, 16);
    gif.FrameDraw(*target.Context(), 1, 10, 2, 2.0f, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 16 && x < 26 && y >= 4 && y < 12;
            const ColorRef expected = inside ? EntryColour(10 + (x - 16) / 2 + 5 * ((y - 4) / 2)) : kRed;
            ASSERT_EQ(At(target, x, y), expected) << x << "," << y;
        }

    // ScaleFactor 1.5: x = 1.5 x 1 = 1.5 -> 2, width 1.5 x 5 = 7.5 -> 8;
    // y = 1.5 x 3 = 4.5 -> 4, height 1.5 x 4 = 6.
    gif.SetFrameLeft(1, 1);
    gif.SetFrameTop(1, 3);
    DibSurface other = RedTarget(14, 12);
    gif.FrameDraw(*other.Context(), 1, 0, 0, 1.5f, false);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 14; ++x) {
            const bool inside = x >= 2 && x < 10 && y >= 4 && y < 10;
            // Target column i takes source column floor(i x 5 / 8).
            const ColorRef expected = inside ? EntryColour(10 + (x - 2) * 5 / 8 + 5 * ((y - 4) * 4 / 6)) : kRed;
            ASSERT_EQ(At(other, x, y), expected) << x << "," << y;
        }
}

TEST(FrameRender, ANegativeScaleDrawsMirrored) {
    // ScaleFactor -1 at Left 10: the target rectangle runs from 10 - 4 to 9,
    // the frame mirrored along both axes.
    GifDocument gif = OneFrame(4, 2, [](int x, int y) { return 20 + x + 4 * y; });
    gif.FrameMask(1, 0);
    DibSurface target = RedTarget(12, 6);
    gif.FrameDraw(*target.Context(), 1, 10, 4, -1.0f, false);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 6 && x < 10 && y >= 2 && y < 4;
            const ColorRef expected = inside ? EntryColour(20 + (9 - x) + 4 * (3 - y)) : kRed;
            EXPECT_EQ(At(target, x, y), expected) << x << "," << y;
        }
}

TEST(FrameRender, ScreenCropCutsOnlyTheRightAndBottomEdges) {
    GifDocument gif = OneFrame(100, 10, [](int x, int) { return x; });
    gif.SetScreenWidth(120);
    gif.SetScreenHeight(14);
    gif.SetFrameLeft(1, 60);
    gif.SetFrameTop(1, 8);
    gif.FrameMask(1, 0);
    {
        // 60 wide from the frame's left part, 6 rows, doubled.
        DibSurface target = RedTarget(400, 40);
        gif.FrameDraw(*target.Context(), 1, 0, 0, 2.0f, true);
        for (int x = 100; x < 400; ++x) {
            const bool inside = x >= 120 && x < 240;
            ASSERT_EQ(At(target, x, 16), inside ? EntryColour((x - 120) / 2) : kRed) << x;
        }
        EXPECT_EQ(At(target, 120, 27), EntryColour(0));
        EXPECT_EQ(At(target, 120, 28), kRed);
    }
    {
        // Without cropping the whole frame is drawn.
        DibSurface target = RedTarget(400, 40);
        gif.FrameDraw(*target.Context(), 1, 0, 0, 1.0f, false);
        EXPECT_EQ(At(target, 159, 8), EntryColour(99));
        EXPECT_EQ(At(target, 160, 8), kRed);
        EXPECT_EQ(At(target, 60, 17), EntryColour(0));
    }
    {
        // A frame left of and above the screen keeps its size.
        gif.SetFrameLeft(1, -10);
        gif.SetFrameTop(1, -2);
        DibSurface target = RedTarget(200, 20);
        gif.FrameDraw(*target.Context(), 1, 20, 5, 1.0f, true);
        EXPECT_EQ(At(target, 10, 3), EntryColour(0));
        EXPECT_EQ(At(target, 109, 12), EntryColour(99));
        EXPECT_EQ(At(target, 110, 3), kRed);
        EXPECT_EQ(At(target, 10, 13), kRed);
    }
    {
        // Right of the screen: nothing is left to draw.
        gif.SetFrameLeft(1, 130);
        gif.SetFrameTop(1, 0);
        DibSurface target = RedTarget(300, 20);
        gif.FrameDraw(*target.Context(), 1, -130, 0, 1.0f, true);
        for (int x = 0; x < 300; ++x) ASSERT_EQ(At(target, x, 0), kRed) << x;
    }
}

TEST(FrameRender, FrameMaskFollowsTheFramesFlag) {
    GifDocument gif = OneFrame(3, 2, [](int x, int y) { return x + 3 * y; });
    gif.SetFrameUseTransparentColor(1, true);
    gif.SetFrameTransparentColorIndex(1, 4);
    // The index taken is the argument, not the frame's own.
    gif.FrameMask(1, 2);
    DibSurface& mask = gif.FrameDIBAND(1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(At(mask, x, y), x + 3 * y == 2 ? kWhite : Rgb(0, 0, 0)) << x << "," << y;

    // With the flag off: an all-black mask and the palette unchanged, the
    // entry of the argument included.
    gif.SetFrameUseTransparentColor(1, false);
    gif.FrameMask(1, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(At(mask, x, y), Rgb(0, 0, 0));
    std::vector<std::uint8_t> table;
    gif.FrameDIBXOR(1).GetPalette(table);
    ASSERT_EQ(table.size(), 1024u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(table[4 * i + 2], RedOf(EntryColour(i))) << i;
        ASSERT_EQ(table[4 * i + 1], GreenOf(EntryColour(i))) << i;
        ASSERT_EQ(table[4 * i], BlueOf(EntryColour(i))) << i;
    }
    // Drawn opaque: index 2 (white) shows white over red.
    DibSurface target = RedTarget(3, 2);
    gif.FrameDraw(*target.Context(), 1, 0, 0, 1.0f, false);
    EXPECT_EQ(At(target, 2, 0), kWhite);
}

TEST(FrameRender, FramesWithoutSurfacesDrawNothing) {
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 0, 0);  // a size that cannot be made: empty surfaces
    gif.SetFrameUseTransparentColor(1, true);
    gif.FrameMask(1, 0);
    DibSurface target = RedTarget(4, 4);
    gif.FrameDraw(*target.Context(), 1, 0, 0, 1.0f, false);
    gif.FrameDraw(*target.Context(), 1, 0, 0, 3.0f, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(target, x, y), kRed);
    EXPECT_THROW(gif.FrameDraw(*target.Context(), 2, 0, 0, 1.0f, false), Error);
    EXPECT_THROW(gif.FrameMask(0, 0), Error);
}

}  // namespace
}  // namespace crossmeld
