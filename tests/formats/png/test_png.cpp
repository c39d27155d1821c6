// PNG decoding: PngSuite against PIL (transparency flattened over white),
// corrupt files, hand-worked alpha values, damaged files and size limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/png/PngDecoder.h"
#include "support/Expect.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::Quote;
using test::RgbImage;
namespace fs = std::filesystem;

constexpr test::Background kWhite{255, 255, 255};

fs::path SuiteDir() { return test::TestDataDir() / "png/pngsuite"; }

std::vector<std::string> SuiteFiles(bool corrupt) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(SuiteDir(), ec)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectRefused(const std::vector<std::uint8_t>& bytes, const std::string& description = {}) {
    test::ExpectInvalidPicture([&] { DecodePng(bytes); }, description);
}

TEST(PngSuite, EveryValidFileMatchesPilOverWhite) {
    CROSSMELD_REQUIRE_TESTDATA();
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    auto names = SuiteFiles(false);
    ASSERT_GT(names.size(), 150u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        fs::path file = SuiteDir() / name;
        auto surface = DecodePng(test::ReadBytes(file));
        EXPECT_EQ(surface->bpp(), 24);
        auto pil = test::DecodeWithPil(file, kWhite);
        ASSERT_TRUE(pil.has_value());
        RgbImage ours = test::RgbFromSurface(*surface);
        ASSERT_EQ(ours.width, pil->width);
        ASSERT_EQ(ours.height, pil->height);
        auto d = test::Compare(ours, *pil);
        EXPECT_EQ(d.over, 0u) << "largest channel difference " << d.maxDelta;
    }
}

TEST(PngSuite, EveryCorruptFileIsRefused) {
    CROSSMELD_REQUIRE_TESTDATA();
    auto names = SuiteFiles(true);
    ASSERT_GE(names.size(), 14u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        ExpectRefused(test::ReadBytes(SuiteDir() / name));
    }
}

// ---------------------------------------------------------------------------
// Small files written by PIL from raw pixels; expectations worked out by hand.

struct PixelCase {
    const char* name;
    const char* mode;         // PIL mode of the raw bytes
    std::vector<int> pixels;  // raw samples of a one-row picture
    std::vector<int> expect;  // red, green, blue per pixel
};

class HandWorkedPng : public ::testing::TestWithParam<PixelCase> {};

TEST_P(HandWorkedPng, Pixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const PixelCase& c = GetParam();
    test::TempDir tmp;
    fs::path png = tmp / "t.png";
    std::string list;
    for (int v : c.pixels) list += std::to_string(v) + ",";
    const int width = static_cast<int>(c.expect.size() / 3);
    std::string py = "import sys; from PIL import Image; Image.frombytes('" + std::string(c.mode) + "', (" +
                     std::to_string(width) + ", 1), bytes([" + list + "])).save(sys.argv[1])";
    ASSERT_EQ(test::Run("/usr/bin/python3 -c \"" + py + "\" " + Quote(png)), 0);
    auto surface = DecodePng(test::ReadBytes(png));
    ASSERT_EQ(surface->width(), width);
    for (int x = 0; x < width; ++x) {
        ColorRef color = surface->GetPixel(x, 0);
        EXPECT_EQ(RedOf(color), c.expect[3 * x]) << "pixel " << x;
        EXPECT_EQ(GreenOf(color), c.expect[3 * x + 1]) << "pixel " << x;
        EXPECT_EQ(BlueOf(color), c.expect[3 * x + 2]) << "pixel " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, HandWorkedPng,
    ::testing::Values(
        // Opaque colour stays; fully transparent becomes white.
        PixelCase{"Rgba", "RGBA", {10, 20, 30, 255, 10, 20, 30, 0}, {10, 20, 30, 255, 255, 255}},
        // (200 x 128 + 255 x 127) / 255 = 227.4 -> 227; (100 x 128 + 255 x 127) / 255 = 177.2 -> 177;
        // (0 x 128 + 255 x 127) / 255 = 127.
        PixelCase{"RgbaHalf", "RGBA", {200, 100, 0, 128}, {227, 177, 127}},
        // a = 1: (c + 255 x 254) / 255: c = 0 -> 254.0, c = 127 -> 254.5 -> 254 (254.498), c = 128 -> 254.5 -> 255 (254.502).
        PixelCase{"RgbaAlmostClear", "RGBA", {0, 127, 128, 1}, {254, 254, 255}},
        // Grey with alpha: (60 x 51 + 255 x 204) / 255 = 216.
        PixelCase{"GreyAlpha", "LA", {60, 51}, {216, 216, 216}},
        PixelCase{"Grey", "L", {0, 77, 255}, {0, 0, 0, 77, 77, 77, 255, 255, 255}},
        PixelCase{"Rgb", "RGB", {1, 2, 3, 250, 128, 7}, {1, 2, 3, 250, 128, 7}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Damaged files and limits, made from a valid suite file.

// Chunk layout: length (4, big-endian), type (4), data, CRC (4) over type and data.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type) {
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        std::size_t length = (std::size_t{png[pos]} << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
        if (std::equal(type, type + 4, png.begin() + static_cast<long>(pos) + 4)) return pos;
        pos += length + 12;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 0;
}

void PutU32(std::vector<std::uint8_t>& png, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Rewrites the IHDR size and fixes its CRC, so that only the size is wrong.
std::vector<std::uint8_t> WithDeclaredSize(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height) {
    std::size_t ihdr = FindChunk(png, "IHDR");
    PutU32(png, ihdr + 8, width);
    PutU32(png, ihdr + 12, height);
    PutU32(png, ihdr + 8 + 13, Crc32(&png[ihdr + 4], 17));
    return png;
}

TEST(PngDecoder, CrcErrorInAnyChunkIsRefused) {
    CROSSMELD_REQUIRE_TESTDATA();
    const auto original = test::ReadBytes(SuiteDir() / "basn2c08.png");
    EXPECT_NO_THROW(DecodePng(original));
    for (const char* type : {"gAMA", "IDAT"}) {  // an ancillary and a critical chunk
        SCOPED_TRACE(type);
        auto png = original;
        std::size_t chunk = FindChunk(png, type);
        std::size_t length = (std::size_t{png[chunk]} << 24) | (png[chunk + 1] << 16) | (png[chunk + 2] << 8) | png[chunk + 3];
        png[chunk + 8 + length] ^= 0x01;  // first CRC byte
        ExpectRefused(png);
    }
}

TEST(PngDecoder, TruncatedFilesAreRefused) {
    CROSSMELD_REQUIRE_TESTDATA();
    for (const char* name : {"basn2c08.png", "basi6a08.png", "basn3p04.png"}) {
        const auto whole = test::ReadBytes(SuiteDir() / name);
        // Every cut before the end of the image data; the IEND chunk alone may go.
        const std::size_t imageEnd = FindChunk(whole, "IEND");
        for (std::size_t size = 0; size < imageEnd; size += 7) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(size) + " bytes");
            ExpectRefused(std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(size)));
        }
        EXPECT_NO_THROW(DecodePng(std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(imageEnd))));
    }
}

TEST(PngDecoder, DeclaredSizeIsCheckedBeforeDecoding) {
    CROSSMELD_REQUIRE_TESTDATA();
    const auto png = test::ReadBytes(SuiteDir() / "basn0g08.png");  // 32 x 32
    EXPECT_THROW(DecodePng(WithDeclaredSize(png, 32768, 1)), Error);
    EXPECT_THROW(DecodePng(WithDeclaredSize(png, 1, 40000)), Error);
    ExpectRefused(WithDeclaredSize(png, 32767, 8193), "picture is too large (32767 x 8193 pixels)");
    ExpectRefused(WithDeclaredSize(png, 0, 32));
    EXPECT_THROW(DecodePng(png, 32 * 32 - 1), Error);
    EXPECT_EQ(DecodePng(png, 32 * 32)->width(), 32);
}

}  // namespace
}  // namespace crossmeld
