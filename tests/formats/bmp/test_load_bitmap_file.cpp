// Loading a bitmap file into a DIB surface: the file's depth, row order and
// stored pixel bytes kept as they are, and the missing, empty and broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/bmp/LoadBitmapFile.h"
#include "raster/DibSurface.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using crossmeld::test::ReadBytes;
using crossmeld::test::TempDir;
using crossmeld::test::WriteBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

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

// A bottom-up 2 x 2 24-bit bitmap file, spelled out field by field.
Bytes TwoByTwoFile() {
    return Bytes{
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 70, pixels at 54
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,              // biSize 40, width 2, height 2 (bottom-up)
        1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,             // planes 1, 24 bits, kUncompressedRgb, 16 pixel bytes
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // resolutions, colours used / important
        1, 2, 3, 4, 5, 6, 0, 0,                           // stored first: the bottom row, padded
        7, 8, 9, 10, 11, 12, 0, 0,                        // then the top row
    };
}

TEST(DibSurfaceFile, BitmapFileKeepsItsDepthAndRowOrder) {
    TempDir dir;
    WriteBytes(dir / "a.bmp", TwoByTwoFile());
    DibSurface dib;
    EXPECT_EQ(LoadBitmapFileInto(dib, (dir / "a.bmp").string()), 24);
    EXPECT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.BytesPerScanline(), 8);
    EXPECT_EQ(dib.Size(), 16);
    const Bytes file = TwoByTwoFile();
    EXPECT_EQ(Bytes(dib.Bits(), dib.Bits() + 16), Bytes(file.begin() + 54, file.end()));
    // The clone copies raw memory, so it holds the same stored order.
    DibSurface clone;
    dib.CloneTo(clone);
    EXPECT_EQ(Bytes(clone.Bits(), clone.Bits() + 16), Bytes(file.begin() + 54, file.end()));
}

TEST(DibSurfaceFile, MissingZeroLengthAndUndecodableFiles) {
    TempDir dir;
    DibSurface dib;
    ASSERT_TRUE(dib.Create(4, 4, 8));
    try {
        LoadBitmapFileInto(dib, (dir / "missing.bmp").string());
        ADD_FAILURE() << "no error for a missing file";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileNotFound);
    }

    WriteBytes(dir / "zero.bmp", {});
    EXPECT_EQ(LoadBitmapFileInto(dib, (dir / "zero.bmp").string()), 0);
    EXPECT_EQ(dib.Width(), 4) << "a zero-length file leaves the surface as it was";
    EXPECT_NE(dib.Bitmap(), nullptr);

    WriteBytes(dir / "junk.bmp", {'B', 'M', 1, 2, 3});
    EXPECT_EQ(LoadBitmapFileInto(dib, (dir / "junk.bmp").string()), 0);
    ExpectEmpty(dib);
}

TEST(DibSurfaceFile, SuiteFilesLoadWithTheirStoredPixelBytes) {
    CROSSMELD_REQUIRE_TESTDATA();
    // Uncompressed files of 127 x 64 pixels; offsets read with Python's struct module.
    struct Case {
        const char* name;
        int bpp;
        std::size_t offBits;
        int stride;
    };
    for (const Case& c : {Case{"pal8.bmp", 8, 1062, 128}, Case{"rgb24.bmp", 24, 54, 384}, Case{"pal1.bmp", 1, 62, 16},
                          Case{"pal4.bmp", 4, 102, 64}}) {
        const auto path = crossmeld::test::TestDataDir() / "bmp" / "good" / c.name;
        DibSurface dib;
        EXPECT_EQ(LoadBitmapFileInto(dib, path.string()), c.bpp) << c.name;
        EXPECT_EQ(dib.BytesPerScanline(), c.stride) << c.name;
        ASSERT_EQ(dib.Size(), c.stride * 64) << c.name;
        const Bytes file = ReadBytes(path);
        EXPECT_EQ(0, std::memcmp(dib.Bits(), file.data() + c.offBits, static_cast<std::size_t>(dib.Size()))) << c.name;
    }
}

}  // namespace
