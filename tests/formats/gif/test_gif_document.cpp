// The GIF document: frame storage (insert, remove, reorder), the frames'
// surfaces, and the properties with their conversions and errors.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld::test {
namespace {

ErrorKind KindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.kind();
    }
    return static_cast<ErrorKind>(0);
}

// A document of n frames, frame k being k x (10 + k) pixels with delay k.
GifDocument Frames(int n) {
    GifDocument gif;
    gif.Destroy();
    for (int k = 1; k <= n; ++k) {
        gif.FrameInsert(static_cast<std::int16_t>(k), static_cast<std::int16_t>(k), static_cast<std::int16_t>(10 + k));
        gif.SetFrameDelay(static_cast<std::int16_t>(k), static_cast<std::int16_t>(k));
    }
    return gif;
}

std::vector<int> Delays(GifDocument& gif) {
    std::vector<int> out;
    for (std::int16_t k = 1; k <= gif.FramesCount(); ++k) out.push_back(gif.FrameDelay(k));
    return out;
}

// ---- storage ---------------------------------------------------------------

TEST(GifDocument, NewDocumentHasNoStorageUntilInsertOrDestroy) {
    GifDocument gif;
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_EQ(KindOf([&] { gif.FrameDelay(1); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(KindOf([&] { gif.FrameMoveDown(1); }), ErrorKind::SubscriptOutOfRange);
    gif.FrameInsert(1, 4, 3);
    EXPECT_EQ(gif.FramesCount(), 1);

    GifDocument destroyed;
    destroyed.Destroy();
    EXPECT_EQ(destroyed.FrameDelay(1), 0);  // the blank record
    EXPECT_EQ(KindOf([&] { destroyed.FrameDelay(2); }), ErrorKind::SubscriptOutOfRange);
}

TEST(GifDocument, NewFrameHasBlackSurfacesOfItsSize) {
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 5, 3);
    const DibSurface& pixels = gif.FrameDIBXOR(1);
    EXPECT_EQ(pixels.BPP(), 8);
    EXPECT_EQ(pixels.Width(), 5);
    EXPECT_EQ(pixels.Height(), 3);
    for (std::int32_t i = 0; i < pixels.Size(); ++i) ASSERT_EQ(pixels.Bits()[i], 0) << i;

    const DibSurface& mask = gif.FrameDIBAND(1);
    EXPECT_EQ(mask.BPP(), 1);
    EXPECT_EQ(mask.Width(), 5);
    EXPECT_EQ(mask.Height(), 3);
    for (std::int32_t i = 0; i < mask.Size(); ++i) ASSERT_EQ(mask.Bits()[i], 0) << i;
    std::vector<std::uint8_t> table;
    mask.GetPalette(table);
    EXPECT_EQ(table, (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));

    // Every other field is blank.
    EXPECT_EQ(gif.FrameLeft(1), 0);
    EXPECT_EQ(gif.FrameTop(1), 0);
    EXPECT_EQ(gif.FrameDelay(1), 0);
    EXPECT_EQ(gif.FrameDisposalMethod(1), FrameDisposal::Unspecified);
    EXPECT_FALSE(gif.FrameInterlaced(1));
    EXPECT_FALSE(gif.FrameUseTransparentColor(1));
    EXPECT_FALSE(gif.LocalPaletteUsed(1));
    EXPECT_EQ(gif.LocalPaletteEntries(1), 0);
}

TEST(GifDocument, InsertIntoAnEmptyDocumentStartsFromABlankRecord) {
    // Fields set on the blank record that Destroy leaves do not reach the
    // new frame.
    GifDocument gif;
    gif.Destroy();
    gif.SetFrameDelay(1, 50);
    gif.SetFrameUseTransparentColor(1, true);
    gif.SetLocalPaletteUsed(1, true);
    gif.LocalPalette(1)[0] = 9;
    gif.FrameInsert(1, 2, 2);
    EXPECT_EQ(gif.FramesCount(), 1);
    EXPECT_EQ(gif.FrameDelay(1), 0);
    EXPECT_FALSE(gif.FrameUseTransparentColor(1));
    EXPECT_FALSE(gif.LocalPaletteUsed(1));
    EXPECT_EQ(gif.LocalPalette(1)[0], 0);
    EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 2);
}

TEST(GifDocument, ASizeThatCannotBeMadeLeavesEmptySurfaces) {
    GifDocument gif;
    gif.FrameInsert(1, -4, 3);
    EXPECT_EQ(gif.FramesCount(), 1);
    EXPECT_EQ(gif.FrameDIBXOR(1).Bitmap(), nullptr);
    EXPECT_EQ(gif.FrameDIBAND(1).Bitmap(), nullptr);
}

TEST(GifDocument, FirstInsertSetsTheScreenSizeLaterOnesDoNot) {
    for (std::int16_t at : {1, 2, 50}) {
        GifDocument gif;
        gif.Destroy();
        gif.FrameInsert(at, 30, 20);
        EXPECT_EQ(gif.FramesCount(), 1);
        EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 30) << "inserted at " << at;
        gif.FrameInsert(1, 60, 40);
        EXPECT_EQ(gif.ScreenWidth(), 30);
        EXPECT_EQ(gif.ScreenHeight(), 20);
    }
}

struct InsertCase {
    std::int16_t at;
    std::vector<int> delays;  // 0 marks the new frame
};

class GifInsert : public ::testing::TestWithParam<InsertCase> {};

TEST_P(GifInsert, NewFrameLandsInPlace) {
    GifDocument gif = Frames(3);
    gif.FrameInsert(GetParam().at, 7, 7);
    EXPECT_EQ(Delays(gif), GetParam().delays);
}

INSTANTIATE_TEST_SUITE_P(Positions, GifInsert,
                         ::testing::Values(InsertCase{1, {0, 1, 2, 3}}, InsertCase{2, {1, 0, 2, 3}},
                                           InsertCase{3, {1, 2, 0, 3}}, InsertCase{4, {1, 2, 3, 0}},
                                           InsertCase{10, {1, 2, 3, 0}}));

TEST(GifDocument, InsertedFramesKeepTheirOwnSurfaces) {
    GifDocument gif = Frames(3);
    DibSurface* second = &gif.FrameDIBXOR(2);
    gif.FrameInsert(1, 7, 7);
    EXPECT_EQ(&gif.FrameDIBXOR(3), second);  // the reference moved with its frame
    EXPECT_EQ(gif.FrameDIBXOR(3).Width(), 2);
    EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 7);
}

TEST(GifDocument, InsertBelowOneFailsAfterTheCountGrew) {
    GifDocument gif = Frames(3);
    EXPECT_EQ(KindOf([&] { gif.FrameInsert(0, 7, 7); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(gif.FramesCount(), 4);
}

// Frame numbers past 16 bits neither wrap nor fail.
TEST(GifDocument, FramesPast32767AreNumberedOn) {
    GifDocument gif;
    for (std::int32_t k = 1; k <= 40000; ++k) {
        gif.FrameInsert(k, 1, 1);
        gif.SetFrameDelay(k, static_cast<std::int16_t>(k % 1000));
    }
    EXPECT_EQ(gif.FramesCount(), 40000);
    EXPECT_EQ(gif.FrameDelay(32768), 768);
    EXPECT_EQ(gif.FrameDelay(40000), 0);
    EXPECT_EQ(KindOf([&] { gif.FrameDelay(40001); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(KindOf([&] { gif.FrameDelay(-32768); }), ErrorKind::SubscriptOutOfRange);

    gif.FrameMoveDown(32767);  // 32767 <-> 32768
    gif.FrameMoveUp(40000);    // 39999 <-> 40000
    EXPECT_EQ(gif.FrameDelay(32767), 768);
    EXPECT_EQ(gif.FrameDelay(32768), 767);
    EXPECT_EQ(gif.FrameDelay(39999), 0);
    gif.FrameInsert(32768, 3, 3);
    EXPECT_EQ(gif.FramesCount(), 40001);
    EXPECT_EQ(gif.FrameDIBXOR(32768).Width(), 3);
    EXPECT_EQ(gif.FrameDelay(32769), 767);
    gif.FrameRemove(32768);
    gif.FrameRemove(40000);
    EXPECT_EQ(gif.FramesCount(), 39999);
    EXPECT_EQ(gif.FrameDelay(32768), 767);
    EXPECT_EQ(gif.FrameDelay(39999), 0);
}

TEST(GifDocument, RemoveClosesTheGap) {
    GifDocument gif = Frames(3);
    DibSurface* third = &gif.FrameDIBXOR(3);
    gif.SetFrameLeft(3, 33);
    gif.FrameRemove(1);
    EXPECT_EQ(Delays(gif), (std::vector<int>{2, 3}));
    EXPECT_EQ(&gif.FrameDIBXOR(2), third);
    EXPECT_EQ(gif.FrameDIBXOR(2).Width(), 3);
    EXPECT_EQ(gif.FrameLeft(2), 33);
    EXPECT_EQ(KindOf([&] { gif.FrameDelay(3); }), ErrorKind::SubscriptOutOfRange);

    gif.FrameRemove(2);
    EXPECT_EQ(Delays(gif), (std::vector<int>{2}));
}

TEST(GifDocument, RemovingTheOnlyFrameLeavesOneBlankRecord) {
    GifDocument gif = Frames(1);
    gif.SetFrameLeft(1, 9);
    gif.FrameRemove(1);
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_EQ(gif.FrameLeft(1), 0);
    EXPECT_EQ(gif.FrameDIBXOR(1).Bitmap(), nullptr);
    EXPECT_EQ(KindOf([&] { gif.FrameDelay(2); }), ErrorKind::SubscriptOutOfRange);
    // With no frames left there is nothing to remove.
    EXPECT_EQ(KindOf([&] { gif.FrameRemove(1); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(gif.FramesCount(), 0);
}

TEST(GifDocument, MovesExchangeWholeRecordsWithinTheStorage) {
    GifDocument gif = Frames(3);
    DibSurface* first = &gif.FrameDIBXOR(1);
    gif.FrameMoveDown(1);
    EXPECT_EQ(Delays(gif), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(&gif.FrameDIBXOR(2), first);
    gif.FrameMoveUp(3);
    EXPECT_EQ(Delays(gif), (std::vector<int>{2, 3, 1}));

    EXPECT_EQ(KindOf([&] { gif.FrameMoveUp(1); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(KindOf([&] { gif.FrameMoveDown(3); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(KindOf([&] { gif.FrameMoveUp(-32768); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(KindOf([&] { gif.FrameMoveDown(32767); }), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(Delays(gif), (std::vector<int>{2, 3, 1}));
}

TEST(GifDocument, DestroyClearsAllButTheGlobalPaletteFlag) {
    GifDocument gif = Frames(2);
    gif.SetScreenBackgroundColorIndex(5);
    gif.SetScreenPixelAspectRatio(1.0f);
    gif.SetAnimationLoops(3);
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteSorted(true);
    gif.SetGlobalPaletteEntries(16);
    gif.GlobalPalette()[100] = 7;
    gif.Destroy();
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_EQ(gif.ScreenWidth(), 0);
    EXPECT_EQ(gif.ScreenHeight(), 0);
    EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 0);
    EXPECT_EQ(gif.ScreenPixelAspectByte(), 0);
    EXPECT_EQ(gif.AnimationLoops(), 0);
    EXPECT_TRUE(gif.GlobalPaletteExists());
    EXPECT_FALSE(gif.GlobalPaletteSorted());
    EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
    EXPECT_EQ(gif.GlobalPalette()[100], 0);
    EXPECT_EQ(gif.FrameDelay(1), 0);
}

// ---- properties --------------------------------------------------------------

struct AspectCase {
    float value;
    int byte;  // -1: overflow, byte unchanged
};

class GifAspect : public ::testing::TestWithParam<AspectCase> {};

TEST_P(GifAspect, SetterRoundsHalvesToEven) {
    GifDocument gif;
    gif.SetScreenPixelAspectRatio(1.0f);  // byte 49
    const AspectCase& c = GetParam();
    if (c.byte < 0) {
        EXPECT_EQ(KindOf([&] { gif.SetScreenPixelAspectRatio(c.value); }), ErrorKind::Overflow);
        EXPECT_EQ(gif.ScreenPixelAspectByte(), 49);
    } else {
        gif.SetScreenPixelAspectRatio(c.value);
        EXPECT_EQ(gif.ScreenPixelAspectByte(), c.byte);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, GifAspect,
                         ::testing::Values(AspectCase{1.0f, 49},             // 64 - 15
                                           AspectCase{0.234375f, 0},         // 15 / 64
                                           AspectCase{4.21875f, 255},        // 270 / 64
                                           AspectCase{0.2734375f, 2},        // 2.5 -> 2
                                           AspectCase{0.2890625f, 4},        // 3.5 -> 4
                                           AspectCase{0.5f, 17},             // 32 - 15
                                           AspectCase{0.2265625f, 0},        // -0.5 -> 0
                                           AspectCase{0.21875f, -1},         // -1
                                           AspectCase{4.2265625f, -1},       // 255.5 -> 256
                                           AspectCase{5.0f, -1}));

TEST(GifDocument, AspectGetterIsBytePlus15Over64) {
    GifDocument gif;
    EXPECT_FLOAT_EQ(gif.ScreenPixelAspectRatio(), 0.234375f);
    gif.SetScreenPixelAspectRatio(1.0f);
    EXPECT_FLOAT_EQ(gif.ScreenPixelAspectRatio(), 1.0f);
}

TEST(GifDocument, PaletteEntriesAsRgbValues) {
    GifDocument gif = Frames(1);
    // Entry 3: blue 0x30, green 0x20, red 0x10.
    auto global = gif.GlobalPalette();
    global[12] = 0x30;
    global[13] = 0x20;
    global[14] = 0x10;
    EXPECT_EQ(gif.GlobalPaletteRGBEntry(3), 0);  // no global table yet
    gif.SetGlobalPaletteExists(true);
    EXPECT_EQ(gif.GlobalPaletteRGBEntry(3), 0x302010);
    EXPECT_EQ(gif.GlobalPaletteRGBEntry(4), 0);

    auto local = gif.LocalPalette(1);
    local[1020] = 0xFF;  // entry 255 blue
    local[1022] = 0x01;  // entry 255 red
    EXPECT_FALSE(gif.LocalPaletteUsed(1));
    EXPECT_EQ(gif.LocalPaletteRGBEntry(1, 255), 0xFF0001);
    EXPECT_EQ(KindOf([&] { gif.LocalPaletteRGBEntry(2, 0); }), ErrorKind::SubscriptOutOfRange);
}

TEST(GifDocument, DisposalMethodIsStoredInEightBits) {
    GifDocument gif = Frames(1);
    gif.SetFrameDisposalMethod(1, FrameDisposal::RestorePrevious);
    EXPECT_EQ(gif.FrameDisposalMethod(1), FrameDisposal::RestorePrevious);
    gif.SetFrameDisposalMethod(1, static_cast<FrameDisposal>(255));
    EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(1)), 255);
    for (int bad : {256, -1, 100000}) {
        EXPECT_EQ(KindOf([&] { gif.SetFrameDisposalMethod(1, static_cast<FrameDisposal>(bad)); }), ErrorKind::Overflow);
        EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(1)), 255);
    }
}

TEST(GifDocument, TransparentIndexKeepsTheLowEightBits) {
    GifDocument gif = Frames(1);
    const std::vector<std::pair<int, int>> cases = {{5, 5}, {255, 255}, {256, 0}, {0x1FF, 255}, {-1, 255}, {-256, 0}};
    for (auto [value, stored] : cases) {
        gif.SetFrameTransparentColorIndex(1, value);
        EXPECT_EQ(gif.FrameTransparentColorIndex(1), stored) << value;
    }
}

TEST(GifDocument, FramePropertiesOutsideTheStorageFail) {
    GifDocument gif = Frames(2);
    for (std::int16_t bad : {0, 3, -1}) {
        EXPECT_EQ(KindOf([&] { gif.SetFrameDelay(bad, 5); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(KindOf([&] { gif.FrameDIBXOR(bad); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(KindOf([&] { gif.LocalPalette(bad); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(KindOf([&] { gif.FrameRemove(bad); }), ErrorKind::SubscriptOutOfRange);
    }
    EXPECT_EQ(Delays(gif), (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace crossmeld::test
