// Icon and cursor files: the shipped hand cursor, files written by
// ImageMagick, and broken directories.
#include <gtest/gtest.h>

#include "base/Error.h"
#include "formats/LoadPicture.h"
#include "formats/ico/IconDecoder.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

TEST(Icon, TheShippedHandCursorHasItsHotSpotAndMask) {
    const auto bytes = ReadBytes(SourceDir() / "HAND-M.CUR");
    const IconImage icon = DecodeIconFile(bytes);
    ASSERT_EQ(icon.image->width(), 32);
    ASSERT_EQ(icon.image->height(), 32);
    EXPECT_EQ(icon.hotspotX, 5);
    EXPECT_EQ(icon.hotspotY, 0);
    // Row 0: transparent, then the black outline of the fingertip at x = 5, 6.
    EXPECT_EQ(icon.image->row(0)[4 * 0 + 3], 0);
    EXPECT_EQ(icon.image->row(0)[4 * 5 + 3], 255);
    EXPECT_EQ(icon.image->GetPixel(5, 0), Rgb(0, 0, 0));
    EXPECT_EQ(icon.image->GetPixel(5, 1), Rgb(255, 255, 255));  // inside the finger
    EXPECT_EQ(icon.image->row(31)[4 * 31 + 3], 0);
}

TEST(Icon, LoadPictureFlattensOverWhiteAsImageMagickDoes) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    TempDir tmp;
    const auto flat = tmp / "hand.png";
    ASSERT_EQ(RunCommand("/usr/bin/convert " + Quote(SourceDir() / "HAND-M.CUR") + " -background white -flatten " +
                  Quote(flat)),
              0);
    const auto theirs = DecodeWithImageMagick(flat);
    ASSERT_TRUE(theirs);
    const Picture ours = LoadPicture((SourceDir() / "HAND-M.CUR").string());
    EXPECT_EQ(Compare(RgbFromSurface(*ours.bitmap()), *theirs).over, 0u);
}

class ImageMagickIcons : public ::testing::TestWithParam<const char*> {};

TEST_P(ImageMagickIcons, DecodeToImageMagicksPixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    TempDir tmp;
    const auto source = tmp / "source.png";
    const auto ico = tmp / "out.ico";
    ASSERT_EQ(RunCommand("/usr/bin/convert -size 20x12 gradient:red-blue " + Quote(source)), 0);
    ASSERT_EQ(RunCommand("/usr/bin/convert " + Quote(source) + " " + GetParam() + " " + Quote(ico)), 0);
    const auto theirs = DecodeWithImageMagick(ico);
    ASSERT_TRUE(theirs);
    const Picture ours = LoadPicture(ico.string());
    ASSERT_TRUE(ours);
    EXPECT_LE(Compare(RgbFromSurface(*ours.bitmap()), *theirs).maxDelta, 1) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageMagickIcons, ::testing::Values("", "-type palette", "-colors 16", "-monochrome"));

TEST(Icon, BrokenDirectoriesAreRefused) {
    auto bytes = ReadBytes(SourceDir() / "HAND-M.CUR");
    // Each cut of the file either decodes (the mask may be missing) or is refused cleanly.
    for (std::size_t n = 0; n < bytes.size(); n += 37) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        try {
            DecodeIconFile(cut);
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        }
    }
    // An entry pointing past the end.
    auto bad = bytes;
    bad[18] = 0xFF;
    bad[19] = 0xFF;
    EXPECT_THROW(DecodeIconFile(bad), Error);
    // A huge declared width inside the image header.
    bad = bytes;
    bad[22 + 4] = 0xFF;
    bad[22 + 5] = 0xFF;
    EXPECT_THROW(DecodeIconFile(bad), Error);
}

}  // namespace
