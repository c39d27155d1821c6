// Windows bitmap files: the bmp test suite against PIL and ImageMagick,
// ImageMagick-written files of every depth, hand-built headers and RLE
// streams, refusals, and the 24-bit writer read back by both oracles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

#include "base/Error.h"
#include "formats/bmp/BitmapFile.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

RgbImage ToRgb(const Surface& s) {
    RgbImage img{s.width(), s.height(), {}};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const ColorRef c = s.GetPixel(x, y);
            img.rgb.insert(img.rgb.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
        }
    return img;
}

void ExpectRefused(const std::vector<std::uint8_t>& file, const std::string& fault, bool isDib = false) {
    try {
        DecodeBitmapFile(file, isDib);
        ADD_FAILURE() << "decoded; want a refusal naming \"" << fault << "\"";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        EXPECT_NE(e.description().find(fault), std::string::npos) << "have \"" << e.description() << "\"";
    }
}

// ImageMagick's samples at 16 bits, red, green, blue, alpha per pixel. Exit
// statuses are ignored: ImageMagick reports an early end of RLE data as an
// error after reading the pixels.
struct Samples16 {
    int width = 0, height = 0;
    std::vector<std::uint16_t> rgba;
};

std::optional<Samples16> ImageMagickSamples(const fs::path& file) {
    TempDir tmp;
    std::string size;
    Run("/usr/bin/identify -format '%w %h' " + Quote(file.string() + "[0]") + " 2>/dev/null", &size);
    Samples16 s;
    if (!(std::istringstream(size) >> s.width >> s.height)) return std::nullopt;
    const fs::path out = tmp / "out.rgba";
    Run("/usr/bin/convert " + Quote(file.string() + "[0]") + " -endian LSB -depth 16 rgba:" + Quote(out) +
        " 2>/dev/null");
    if (!fs::exists(out)) return std::nullopt;
    const auto bytes = ReadBytes(out);
    if (bytes.size() != 8u * s.width * s.height) return std::nullopt;
    for (std::size_t i = 0; i < bytes.size(); i += 2) s.rgba.push_back(std::uint16_t(bytes[i] | bytes[i + 1] << 8));
    return s;
}

// Expected pixels from ImageMagick's samples for channels of the given
// widths (red, green, blue, alpha; alpha 0 = none): each channel value is
// taken from the top of its 16-bit sample and widened as round(v * 255 /
// max), multiplied by alpha / alphaMax when there is alpha. Channels wider
// than 16 bits are compared through their top 16 bits.
RgbImage Expected(const Samples16& s, std::array<int, 4> bits = {8, 8, 8, 0}) {
    RgbImage img{s.width, s.height, {}};
    const std::uint64_t aBits = bits[3], aMax = (1u << aBits) - 1;
    for (std::size_t p = 0; p < s.rgba.size(); p += 4) {
        const std::uint64_t a = aBits ? s.rgba[p + 3] >> (16 - aBits) : 1;
        for (int c = 0; c < 3; ++c) {
            const int b = std::min(bits[c], 16);
            const std::uint64_t v = s.rgba[p + c] >> (16 - b), max = (1u << b) - 1;
            const std::uint64_t den = aBits ? max * aMax : max;
            img.rgb.push_back(std::uint8_t((2 * v * a * 255 + den) / (2 * den)));
        }
    }
    return img;
}

void ExpectSame(const RgbImage& ours, const std::optional<RgbImage>& want, int tolerance = 0) {
    ASSERT_TRUE(want.has_value()) << "the oracle could not read the file";
    ASSERT_EQ(ours.width, want->width);
    ASSERT_EQ(ours.height, want->height);
    const Difference d = Compare(ours, *want, tolerance);
    EXPECT_EQ(d.over, 0u) << "largest channel difference " << d.maxDelta;
}

// ---------------------------------------------------------------- bmp suite

enum class Oracle { Pil, Refused, ImageMagick, ImageMagickChannels, PilTable256 };

struct SuiteCase {
    Oracle oracle;
    std::string detail;  // the fault named by a refusal, or why the oracle differs from PIL
    int tolerance = 0;
    std::array<int, 4> bits = {8, 8, 8, 0};
    std::string sibling = {};  // a file with the same pixels that ImageMagick reads
};

// Files not decoded to exactly PIL's pixels. Everything else in good/ and
// questionable/ must match PIL exactly; everything in bad/ must be listed.
const std::map<std::string, SuiteCase>& SuiteTable() {
    static const std::map<std::string, SuiteCase> table = {
        // PIL 9 reads count / 2 bytes for an odd RLE4 literal run and loses its place.
        {"good/pal4rle.bmp", {Oracle::ImageMagick, "PIL RLE4 literal runs"}},
        // 5-bit channels: PIL truncates v * 255 / 31, the 5-5-5 surface replicates bits.
        {"good/rgb16.bmp", {Oracle::Pil, "5-bit widening", 1}},
        {"good/rgb16bfdef.bmp", {Oracle::Pil, "5-bit widening", 1}},
        {"questionable/rgb16faketrns.bmp", {Oracle::Pil, "5-bit widening", 1}},
        // PIL truncates where the decoder rounds.
        {"good/rgb16-565.bmp", {Oracle::ImageMagickChannels, "5-6-5 widening", 0, {5, 6, 5, 0}}},
        {"good/rgb16-565pal.bmp", {Oracle::ImageMagickChannels, "5-6-5 widening", 0, {5, 6, 5, 0}}},
        // PIL refuses masks outside its short list of layouts.
        {"good/rgb32bf.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {8, 8, 8, 0}}},
        {"questionable/rgb16-231.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {2, 3, 1, 0}}},
        {"questionable/rgb16-3103.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {3, 10, 3, 0}}},
        {"questionable/rgb32-111110.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {11, 11, 10, 0}}},
        {"questionable/rgb32-7187.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {7, 18, 7, 0}}},
        {"questionable/rgba16-1924.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {1, 9, 2, 4}}},
        {"questionable/rgba16-4444.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {4, 4, 4, 4}}},
        {"questionable/rgba32-1010102.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {10, 10, 10, 2}}},
        {"questionable/rgba32-2.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {8, 8, 8, 8}}},
        {"questionable/rgba32-61754.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {6, 17, 5, 4}}},
        {"questionable/rgba32-81284.bmp", {Oracle::ImageMagickChannels, "PIL mask layouts", 0, {8, 12, 8, 4}}},
        // PIL ignores 16-bit alpha; the decoder composites every alpha channel over black.
        {"questionable/rgba16-5551.bmp", {Oracle::ImageMagickChannels, "16-bit alpha", 0, {5, 5, 5, 1}}},
        // Header sizes PIL does not know.
        {"questionable/pal8os2v2-16.bmp", {Oracle::ImageMagick, "16-byte OS/2 header"}},
        {"questionable/rgb32h52.bmp", {Oracle::ImageMagickChannels, "52-byte header", 0, {8, 8, 8, 0}}},
        {"questionable/rgba32h56.bmp", {Oracle::ImageMagickChannels, "56-byte header", 0, {8, 8, 8, 8}}},
        // Neither oracle knows BI_ALPHABITFIELDS; the 56-byte file holds the same pixels and masks.
        {"questionable/rgba32abf.bmp",
         {Oracle::ImageMagickChannels, "alpha bit fields", 0, {8, 8, 8, 8}, "questionable/rgba32h56.bmp"}},
        // PIL 9 reads four bytes after a delta escape; ImageMagick also exits 1 on
        // the early end of the cut files, after writing the same pixels.
        {"questionable/pal4rletrns.bmp", {Oracle::ImageMagick, "PIL RLE delta"}},
        {"questionable/pal8rletrns.bmp", {Oracle::ImageMagick, "PIL RLE delta"}},
        {"questionable/pal4rlecut.bmp", {Oracle::ImageMagick, "PIL RLE delta"}},
        {"questionable/pal8rlecut.bmp", {Oracle::ImageMagick, "PIL RLE delta"}},
        // Colour tables: indices past the table show black (PIL shows grey
        // levels), and entries past 256 are skipped (PIL refuses).
        {"bad/pal8badindex.bmp", {Oracle::PilTable256, "indices past the table"}},
        {"questionable/pal8oversizepal.bmp", {Oracle::PilTable256, "300 table entries"}},
        // bad/ files whose fault lies in fields the decoder never needs.
        {"bad/badbitssize.bmp", {Oracle::Pil, "biSizeImage unused"}},
        {"bad/baddens1.bmp", {Oracle::Pil, "resolution unused"}},
        {"bad/baddens2.bmp", {Oracle::Pil, "resolution unused"}},
        {"bad/badfilesize.bmp", {Oracle::Pil, "bfSize unused"}},
        // Refused, with the fault the description must name.
        {"bad/badbitcount.bmp", {Oracle::Refused, "bits per pixel"}},
        {"bad/badheadersize.bmp", {Oracle::Refused, "header size 66"}},
        {"bad/badpalettesize.bmp", {Oracle::Refused, "colour table"}},
        {"bad/badplanes.bmp", {Oracle::Refused, "plane count"}},
        {"bad/badrle.bmp", {Oracle::Refused, "crosses the end of row"}},
        {"bad/badrle4.bmp", {Oracle::Refused, "crosses the end of row"}},
        {"bad/badrle4bis.bmp", {Oracle::Refused, "delta"}},
        {"bad/badrle4ter.bmp", {Oracle::Refused, "delta"}},
        {"bad/badrlebis.bmp", {Oracle::Refused, "delta"}},
        {"bad/badrleter.bmp", {Oracle::Refused, "delta"}},
        {"bad/badwidth.bmp", {Oracle::Refused, "width"}},
        {"bad/reallybig.bmp", {Oracle::Refused, "too large"}},
        {"bad/rgb16-880.bmp", {Oracle::Refused, "mask is empty"}},
        {"bad/rletopdown.bmp", {Oracle::Refused, "top-down"}},
        {"bad/shortfile.bmp", {Oracle::Refused, "truncated"}},
        {"questionable/pal1huffmsb.bmp", {Oracle::Refused, "Huffman"}},
        {"questionable/pal2.bmp", {Oracle::Refused, "2 bits per pixel"}},
        {"questionable/pal2color.bmp", {Oracle::Refused, "2 bits per pixel"}},
        {"questionable/rgb24jpeg.bmp", {Oracle::Refused, "JPEG"}},
        {"questionable/rgb24png.bmp", {Oracle::Refused, "PNG"}},
        {"questionable/rgb24rle24.bmp", {Oracle::Refused, "24-bit RLE"}},
        {"questionable/rgba64.bmp", {Oracle::Refused, "64 bits per pixel"}},
    };
    return table;
}

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"good", "bad", "questionable"}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(TestDataDir() / "bmp" / folder, ec))
            if (e.path().extension() == ".bmp")
                files.push_back(std::string(folder) + "/" + e.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The same file with a colour table of exactly 256 entries: missing ones
// added as black, surplus ones no longer counted.
std::vector<std::uint8_t> WithTable256(std::vector<std::uint8_t> f) {
    auto get = [&](std::size_t at) {
        return std::uint32_t(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | f[at + 3] << 24);
    };
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> (8 * i));
    };
    const std::uint32_t used = get(46);
    if (used < 256) {
        f.insert(f.begin() + 54 + 4 * used, 4 * (256 - used), 0);
        put(10, get(10) + 4 * (256 - used));
    }
    put(46, 256);
    return f;
}

class SuiteFile : public ::testing::TestWithParam<std::string> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SuiteFile);

TEST_P(SuiteFile, DecodesLikeTheOracleOrIsRefused) {
    CROSSMELD_REQUIRE_TESTDATA();
    const std::string name = GetParam();
    const fs::path path = TestDataDir() / "bmp" / name;
    const auto& table = SuiteTable();
    const auto found = table.find(name);
    ASSERT_TRUE(found != table.end() || name.rfind("bad/", 0) != 0) << "every bad/ file needs an entry";
    const SuiteCase c = found != table.end() ? found->second : SuiteCase{Oracle::Pil, "default"};
    const auto bytes = ReadBytes(path);
    if (c.oracle == Oracle::Refused) return ExpectRefused(bytes, c.detail);

    const RgbImage ours = ToRgb(*DecodeBitmapFile(bytes));
    switch (c.oracle) {
        case Oracle::Pil:
            return ExpectSame(ours, DecodeWithPil(path), c.tolerance);
        case Oracle::ImageMagick:
        case Oracle::ImageMagickChannels: {
            CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
            const auto samples = ImageMagickSamples(c.sibling.empty() ? path : TestDataDir() / "bmp" / c.sibling);
            ASSERT_TRUE(samples.has_value());
            return ExpectSame(ours, Expected(*samples, c.bits), c.tolerance);
        }
        case Oracle::PilTable256: {
            TempDir tmp;
            WriteBytes(tmp / "patched.bmp", WithTable256(bytes));
            return ExpectSame(ours, DecodeWithPil(tmp / "patched.bmp"));
        }
        case Oracle::Refused:
            break;
    }
}

std::string SuiteName(const ::testing::TestParamInfo<std::string>& info) {
    std::string s;
    for (char c : info.param.substr(0, info.param.size() - 4))
        s += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return s;
}

INSTANTIATE_TEST_SUITE_P(Bmp, SuiteFile, ::testing::ValuesIn(SuiteFiles()), SuiteName);

TEST(BmpSuite, EveryListedFileExists) {
    CROSSMELD_REQUIRE_TESTDATA();
    for (const auto& [name, c] : SuiteTable()) EXPECT_TRUE(fs::exists(TestDataDir() / "bmp" / name)) << name;
}

// ----------------------------------------------------------- hand-built files

struct Le {
    std::vector<std::uint8_t> v;
    Le& u8(std::initializer_list<int> bytes) {
        for (int b : bytes) v.push_back(std::uint8_t(b));
        return *this;
    }
    Le& u16(std::uint32_t x) { return u8({int(x & 0xFF), int(x >> 8 & 0xFF)}); }
    Le& u32(std::uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
};

// A Windows bitmap built field by field; tests change one thing at a time.
struct InfoFile {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1, height = 1;
    std::uint32_t planes = 1, bpp = 24, compression = 0, colorsUsed = 0;
    std::vector<std::uint32_t> headerMasks = {};  // in the header, from byte 40 on
    std::vector<std::uint32_t> masks = {};        // after the header
    std::vector<std::uint8_t> table = {}, pixels = {0, 0, 0, 0};
    std::optional<std::uint32_t> offBits = {};  // default: right after the table
    std::size_t gap = 0;                        // filler bytes between table and pixels
    bool packed = false;                        // no file header

    std::vector<std::uint8_t> Build() const {
        Le info;
        info.u32(headerSize);                                       // biSize
        info.u32(std::uint32_t(width)).u32(std::uint32_t(height));  // biWidth, biHeight (negative: top-down)
        info.u16(planes).u16(bpp);                                  // biPlanes, biBitCount
        info.u32(compression);                                      // biCompression
        info.u32(0);                                                // biSizeImage (not needed)
        info.u32(2835).u32(2835);                                   // resolution, 72 dpi
        info.u32(colorsUsed).u32(0);                                // biClrUsed, biClrImportant
        for (std::uint32_t m : headerMasks) info.u32(m);
        info.v.resize(std::max<std::size_t>(headerSize, info.v.size()));  // the rest of a longer header
        for (std::uint32_t m : masks) info.u32(m);
        info.v.insert(info.v.end(), table.begin(), table.end());
        info.v.insert(info.v.end(), gap, 0xEE);
        const auto start = std::uint32_t(14 + info.v.size());
        info.v.insert(info.v.end(), pixels.begin(), pixels.end());
        if (packed) return info.v;
        Le file;
        file.u8({'B', 'M'}).u32(std::uint32_t(14 + info.v.size()));  // signature, file size
        file.u16(0).u16(0).u32(offBits.value_or(start));             // reserved, bfOffBits
        file.v.insert(file.v.end(), info.v.begin(), info.v.end());
        return file.v;
    }
};

struct BuiltCase {
    std::string name;
    std::vector<std::uint8_t> file;
    bool isDib;
    int bpp;  // of the decoded surface
    RowOrder order;
    std::vector<std::vector<ColorRef>> rows;  // top row first
};
void PrintTo(const BuiltCase& c, std::ostream* os) {
    *os << c.name;
}

const RowOrder kUp = RowOrder::BottomUp;
const std::vector<std::uint32_t> kBgra = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

// clang-format off
std::vector<BuiltCase> BuiltCases() {
    return {
        {"Os2CoreOneBit",
         Le().u8({'B', 'M'}).u32(0).u16(0).u16(0).u32(14 + 12 + 6)  // signature, size 0, reserved, pixels at 32
             .u32(12).u16(3).u16(2).u16(1).u16(1)                    // core header: size, 3 x 2, 1 plane, 1 bit
             .u8({30, 20, 10, 50, 100, 200})                         // two 3-byte entries, blue first
             .u8({0xA0, 0, 0, 0, 0x40, 0, 0, 0})                     // bottom row 1 0 1, top row 0 1 0
             .v,
         false, 1, kUp,
         {{Rgb(10, 20, 30), Rgb(200, 100, 50), Rgb(10, 20, 30)},
          {Rgb(200, 100, 50), Rgb(10, 20, 30), Rgb(200, 100, 50)}}},
        {"Os2CoreTrueColourDib",
         Le().u32(12).u16(1).u16(1).u16(1).u16(24)  // core header only, 1 x 1, 24 bits, no table
             .u8({9, 8, 7, 0})                       // blue, green, red, pad
             .v,
         true, 24, kUp, {{Rgb(7, 8, 9)}}},
        // An OS/2 2.x header cut to 16 bytes (fields past it read as 0: 16
        // entries); bfOffBits 0 is unusable, so the pixels follow the table.
        {"Os2Header16",
         [] {
             Le f;
             f.u8({'B', 'M'}).u32(0).u16(0).u16(0).u32(0)  // signature, size, reserved, bfOffBits 0
                 .u32(16).u32(2).u32(1).u16(1).u16(4);      // size 16, 2 x 1, 1 plane, 4 bits
             for (int i = 0; i < 16; ++i) f.u8({i, 2 * i, 3 * i, 0});
             return f.u8({0x3C, 0, 0, 0}).v;  // indices 3 and 12
         }(),
         false, 4, kUp, {{Rgb(9, 6, 3), Rgb(36, 24, 12)}}},
        // Cut to 18 bytes: the half of the compression field it holds reads
        // as no compression, not as RLE8.
        {"Os2Header18IgnoresAHalfField",
         [] {
             Le f;
             f.u8({'B', 'M'}).u32(0).u16(0).u16(0).u32(0)       // signature, size, reserved, bfOffBits 0
                 .u32(18).u32(2).u32(1).u16(1).u16(4).u16(1);   // size 18, 2 x 1, 1 plane, 4 bits, half a field
             for (int i = 0; i < 16; ++i) f.u8({i, 2 * i, 3 * i, 0});
             return f.u8({0x3C, 0, 0, 0}).v;  // indices 3 and 12
         }(),
         false, 4, kUp, {{Rgb(9, 6, 3), Rgb(36, 24, 12)}}},
        // Three colours; index 5 lies past the table.
        {"TopDownIndexPastTable",
         InfoFile{.width = 3, .height = -2, .bpp = 8, .colorsUsed = 3,
                  .table = {3, 2, 1, 0, 120, 110, 100, 0, 252, 251, 250, 0},
                  .pixels = {0, 1, 5, 0, 2, 2, 0, 0}}.Build(),
         false, 8, RowOrder::TopDown,
         {{Rgb(1, 2, 3), Rgb(100, 110, 120), Rgb(0, 0, 0)}, {Rgb(250, 251, 252), Rgb(250, 251, 252), Rgb(1, 2, 3)}}},
        // White, then red 3, green 1, blue 30: round(3 * 255 / 31) = 25,
        // round(1 * 255 / 63) = 4, round(30 * 255 / 31) = 247.
        {"Header52Masks565",
         InfoFile{.headerSize = 52, .width = 2, .bpp = 16, .compression = 3,
                  .headerMasks = {0xF800, 0x07E0, 0x001F}, .pixels = {0xFF, 0xFF, 0x3E, 0x18}}.Build(),
         false, 32, kUp, {{Rgb(255, 255, 255), Rgb(25, 4, 247)}}},
        // Red 1 of 1 bit, green 512 of 10 bits: round(512 * 255 / 1023) = 128.
        {"Masks1And10Bits",
         InfoFile{.bpp = 16, .compression = 3, .masks = {0x8000, 0x7FE0, 0x001F}, .pixels = {0x00, 0xC0, 0, 0}}.Build(),
         false, 32, kUp, {{Rgb(255, 128, 0)}}},
        // Alpha 128 over black: round(200 * 128 / 255) = 100, 50, 25; alpha 0 gives black.
        {"V4AlphaOverBlack",
         InfoFile{.headerSize = 108, .width = 2, .bpp = 32, .compression = 3, .headerMasks = kBgra,
                  .pixels = {50, 100, 200, 128, 255, 255, 255, 0}}.Build(),
         false, 32, kUp, {{Rgb(100, 50, 25), Rgb(0, 0, 0)}}},
        {"V5AllAlphaZeroIsOpaque",
         InfoFile{.headerSize = 124, .width = 2, .bpp = 32, .compression = 3, .headerMasks = kBgra,
                  .pixels = {30, 20, 10, 0, 3, 2, 1, 0}}.Build(),
         false, 32, kUp, {{Rgb(10, 20, 30), Rgb(1, 2, 3)}}},
        {"V5UncompressedIgnoresAlphaMask",
         InfoFile{.headerSize = 124, .bpp = 32, .headerMasks = kBgra, .pixels = {1, 2, 3, 0}}.Build(),
         false, 32, kUp, {{Rgb(3, 2, 1)}}},
        {"AlphaBitfieldsFourMasksAfterHeader",
         InfoFile{.bpp = 32, .compression = 6, .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000},
                  .pixels = {10, 20, 30, 255}}.Build(),
         false, 32, kUp, {{Rgb(10, 20, 30)}}},
        // Masks, then a table unused at 16 bits, then bottom red 31, top blue 1
        // (the 5-5-5 surface widens 1 to 8 by bit replication).
        {"PackedDibMasksTablePixels",
         InfoFile{.height = 2, .bpp = 16, .compression = 3, .colorsUsed = 2, .masks = {0x7C00, 0x03E0, 0x001F},
                  .table = {9, 9, 9, 0, 9, 9, 9, 0}, .pixels = {0x00, 0x7C, 0, 0, 0x01, 0x00, 0, 0},
                  .packed = true}.Build(),
         true, 16, kUp, {{Rgb(0, 0, 8)}, {Rgb(255, 0, 0)}}},
        {"PixelOffsetPastAGap",
         InfoFile{.pixels = {9, 8, 7}, .offBits = 14 + 40 + 6, .gap = 6}.Build(),
         false, 24, kUp, {{Rgb(7, 8, 9)}}},
        {"LastRowWithoutPadding",
         InfoFile{.height = 2, .pixels = {1, 1, 1, 0, 2, 2, 2}}.Build(),
         false, 24, kUp, {{Rgb(2, 2, 2)}, {Rgb(1, 1, 1)}}},
    };
}
// clang-format on

class BuiltFile : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(BuiltFile, DecodesToHandWorkedPixels) {
    const BuiltCase& c = GetParam();
    const auto s = DecodeBitmapFile(c.file, c.isDib);
    EXPECT_EQ(s->bpp(), c.bpp);
    EXPECT_EQ(s->rowOrder(), c.order);
    ASSERT_EQ(s->height(), int(c.rows.size()));
    ASSERT_EQ(s->width(), int(c.rows[0].size()));
    for (int y = 0; y < s->height(); ++y)
        for (int x = 0; x < s->width(); ++x) EXPECT_EQ(s->GetPixel(x, y), c.rows[y][x]) << "pixel " << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Headers, BuiltFile, ::testing::ValuesIn(BuiltCases()),
                         [](const auto& info) { return info.param.name; });

// ------------------------------------------------------------------- RLE

struct RleCase {
    std::string name;
    std::uint32_t compression;
    std::int32_t width, height;
    std::vector<std::uint8_t> stream;
    std::vector<std::vector<std::uint32_t>> indices;  // top row first
};
void PrintTo(const RleCase& c, std::ostream* os) {
    *os << c.name;
}

class RleFile : public ::testing::TestWithParam<RleCase> {};

TEST_P(RleFile, DecodesEscapesToHandWorkedIndices) {
    const RleCase& c = GetParam();
    const std::uint32_t bpp = c.compression == 1 ? 8 : 4;
    const auto s = DecodeBitmapFile(
        InfoFile{.width = c.width, .height = c.height, .bpp = bpp, .compression = c.compression, .pixels = c.stream}
            .Build());
    EXPECT_EQ(s->bpp(), int(bpp));
    EXPECT_EQ(s->rowOrder(), RowOrder::BottomUp);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) EXPECT_EQ(s->GetRaw(x, y), c.indices[y][x]) << "pixel " << x << ", " << y;
}

// clang-format off
const RleCase kRleCases[] = {
    // 5 x 3: bottom row two 1s then a literal 2 3 4 (padded to a word); end of
    // line; a delta of 2 right, 1 up from the start of row 1 lands on row 2 at
    // x 2; two 5s; end of bitmap. Skipped pixels stay 0.
    {"Rle8EncodedLiteralDeltaEnd", 1, 5, 3, {2, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1},
     {{0, 0, 5, 5, 0}, {0, 0, 0, 0, 0}, {1, 1, 2, 3, 4}}},
    // 7 x 2 (rows padded to 8 pixels): five pixels alternating 1 and 2; a
    // literal 3 4 5 whose last pixel falls in the padding; end of line; an odd
    // literal 6..10 (three bytes and a pad byte); 11 and 12 alternating; the
    // data ends without an end-of-bitmap code.
    {"Rle4AlternatingOddLiteralPaddingNoEnd", 2, 7, 2,
     {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 5, 0x67, 0x89, 0xA0, 0, 2, 0xBC},
     {{6, 7, 8, 9, 10, 11, 12}, {1, 2, 1, 2, 1, 3, 4}}},
    // A literal run cut short by the end of the data keeps what it has.
    {"Rle8LiteralCutShort", 1, 4, 1, {0, 4, 7, 8}, {{7, 8, 0, 0}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Streams, RleFile, ::testing::ValuesIn(kRleCases),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------- refusals

struct RefusalCase {
    std::string name;
    InfoFile file;
    std::string fault;
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, RaisesInvalidPictureNamingTheFault) {
    ExpectRefused(GetParam().file.Build(), GetParam().fault, GetParam().file.packed);
}

// clang-format off
const RefusalCase kRefusals[] = {
    {"HeaderSize66", {.headerSize = 66}, "header size 66"},
    {"ZeroWidth", {.width = 0}, "width 0 is not positive"},
    {"NegativeWidth", {.width = -3}, "width -3"},
    {"ZeroHeight", {.height = 0}, "height is zero"},
    {"WiderThanLimit", {.width = 32768}, "too large"},
    {"LowestHeight", {.height = INT32_MIN}, "too large"},
    // Within the side limit, above the area limit: refused before allocating.
    {"AreaAboveLimit", {.width = 20000, .height = 20000, .bpp = 8, .compression = 1}, "too large"},
    {"TwoPlanes", {.planes = 2}, "plane count is 2"},
    {"TwoBits", {.bpp = 2}, "2 bits per pixel"},
    {"SixtyFourBits", {.bpp = 64}, "64 bits per pixel"},
    {"Rle8AtFourBits", {.bpp = 4, .compression = 1}, "RLE8"},
    {"BitfieldsAtEightBits", {.bpp = 8, .compression = 3}, "bit-field"},
    {"Jpeg", {.compression = 4}, "JPEG"},
    {"Png", {.compression = 5}, "PNG"},
    {"Compression7", {.compression = 7}, "unknown compression 7"},
    {"Os2Huffman", {.headerSize = 64, .bpp = 1, .compression = 3}, "Huffman"},
    {"RleTopDown", {.height = -1, .bpp = 8, .compression = 1}, "top-down"},
    {"EmptyBlueMask", {.bpp = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0}}, "mask is empty"},
    {"OverlappingMasks", {.bpp = 16, .compression = 3, .masks = {0xF800, 0x0FE0, 0x1F}}, "overlap"},
    {"SplitMask", {.bpp = 16, .compression = 3, .masks = {0xF00F, 0x0FE0, 0x10}}, "red mask is not contiguous"},
    {"MaskBeyondPixel", {.bpp = 16, .compression = 3, .masks = {0x1F0000, 0x07E0, 0x1F}}, "outside"},
    {"MasksCut", {.bpp = 16, .compression = 3, .masks = {0xF800}, .pixels = {}}, "masks are truncated"},
    {"TableLargerThanFile", {.bpp = 8, .colorsUsed = 0x10000000}, "colour table"},
    {"PixelsShort", {.width = 2, .height = 2, .pixels = {1, 2, 3, 4, 5, 6, 0, 0, 1}}, "truncated"},
    // RLE8 at 3 pixels wide (rows padded to 4): runs may reach the padding, not beyond.
    {"RunPastPaddedRow", {.width = 3, .bpp = 8, .compression = 1, .pixels = {5, 1}}, "run of 5 pixels crosses"},
    {"LiteralPastPaddedRow",
     {.width = 3, .bpp = 8, .compression = 1, .pixels = {2, 1, 0, 3, 1, 2, 3, 0}},
     "crosses the end of row 0"},
    {"DeltaPastRow", {.width = 3, .height = 2, .bpp = 8, .compression = 1, .pixels = {0, 2, 5, 0}}, "delta"},
    {"DeltaPastTop", {.width = 3, .height = 2, .bpp = 8, .compression = 1, .pixels = {0, 2, 0, 3}}, "delta"},
    {"RunPastLastRow", {.width = 3, .bpp = 8, .compression = 1, .pixels = {0, 0, 1, 1}}, "crosses the end of row 1"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return info.param.name; });

TEST(Refusal, InputsThatAreNoBitmaps) {
    ExpectRefused({}, "no BM file header");
    auto other = InfoFile{}.Build();
    other[1] = 'A';  // "BA": an OS/2 bitmap array
    ExpectRefused(other, "no BM file header");
    ExpectRefused({40, 0}, "header is missing", true);
    auto cut = InfoFile{}.Build();
    cut.resize(40);
    ExpectRefused(cut, "header is truncated");
}

// ----------------------------------------------------- ImageMagick's writer

// 13 x 7 with a different colour in every pixel.
void WriteSource(const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n13 7\n255\n";
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) out << char(x * 19) << char(y * 37) << char((x * y * 11 + 40) & 0xFF);
}

struct WriterCase {
    std::string name;
    std::string options;  // ending in the output format prefix
    int bpp;              // of the decoded surface
    std::array<int, 4> bits = {8, 8, 8, 0};
    int tolerance = 0;
};
void PrintTo(const WriterCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageMagickWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(ImageMagickWriter, DecodesToImageMagicksOwnPixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    const WriterCase& c = GetParam();
    TempDir tmp;
    WriteSource(tmp / "src.ppm");
    ASSERT_EQ(
        crossmeld::test::Run("/usr/bin/convert " + Quote(tmp / "src.ppm") + " " + c.options + Quote(tmp / "out.bmp")),
        0);
    const auto s = DecodeBitmapFile(ReadBytes(tmp / "out.bmp"));
    EXPECT_EQ(s->bpp(), c.bpp);
    const auto samples = ImageMagickSamples(tmp / "out.bmp");
    ASSERT_TRUE(samples.has_value());
    ExpectSame(ToRgb(*s), Expected(*samples, c.bits), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, ImageMagickWriter,
    ::testing::Values(
        WriterCase{"OneBit", "-type Bilevel BMP3:", 1}, WriterCase{"FourBit", "-colors 16 -type Palette BMP3:", 4},
        WriterCase{"FourBitOs2", "-colors 16 -type Palette BMP2:", 4}, WriterCase{"EightBit", "-type Palette BMP3:", 8},
        WriterCase{"Rle8", "-type Palette -compress RLE BMP3:", 8},
        WriterCase{"Rle8FewColours", "-colors 6 -type Palette -compress RLE BMP:", 8},
        // The 5-5-5 surface widens by bit replication, within 1 of rounding.
        WriterCase{"Rgb555", "-define bmp:subtype=RGB555 BMP:", 16, {5, 5, 5, 0}, 1},
        WriterCase{"Rgb565", "-define bmp:subtype=RGB565 BMP:", 32, {5, 6, 5, 0}},
        WriterCase{"TrueColour", "-type TrueColor BMP3:", 24}, WriterCase{"TrueColourOs2", "-type TrueColor BMP2:", 24},
        WriterCase{"TrueColourV5", "-type TrueColor BMP:", 24},
        WriterCase{"AlphaOpaque", "-type TrueColorAlpha BMP:", 32, {8, 8, 8, 8}},
        WriterCase{"AlphaHalf", "-alpha set -channel A -evaluate set 50% +channel BMP:", 32, {8, 8, 8, 8}}),
    [](const auto& info) { return info.param.name; });

// ------------------------------------------------------------ 24-bit writer

TEST(EncodeBitmapFile24, WritesTheFixedHeadersAndPaddedBottomUpRows) {
    auto s = Surface::Create(3, 2, 32);
    for (int x = 0; x < 3; ++x) {
        s->SetPixel(x, 0, Rgb(10 + x, 20, 30));
        s->SetPixel(x, 1, Rgb(40 + x, 50, 60));
    }
    const std::vector<std::uint8_t> want = {
        'B', 'M', 78, 0,  0,  0,                        // signature, file size 54 + 2 rows x 12
        0,   0,   0,  0,                                // reserved
        54,  0,   0,  0,                                // pixels after the two headers
        40,  0,   0,  0,                                // biSize
        3,   0,   0,  0,  2,  0,  0,  0,                // 3 x 2, positive height: bottom-up
        1,   0,   24, 0,                                // planes, bits
        0,   0,   0,  0,                                // kUncompressedRgb
        24,  0,   0,  0,                                // biSizeImage: stride 12 x 2 rows
        0,   0,   0,  0,  0,  0,  0,  0,                // no resolution recorded
        0,   0,   0,  0,  0,  0,  0,  0,                // no table
        60,  50,  40, 60, 50, 41, 60, 50, 42, 0, 0, 0,  // bottom row, blue first, 3 pad bytes
        30,  20,  10, 30, 20, 11, 30, 20, 12, 0, 0, 0,  // top row
    };
    EXPECT_EQ(EncodeBitmapFile24(*s), want);
}

struct EncodeCase {
    int bpp, width, height;
    RowOrder order;
};
void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.bpp << "bpp " << c.width << "x" << c.height << (c.order == RowOrder::TopDown ? " top-down" : " bottom-up");
}

// The colour the test sets at (x, y) through raw values, worked out from the
// surface's documented storage rather than read back from it.
ColorRef PatternColour(int bpp, int x, int y) {
    if (bpp <= 8) {
        const int i = (x + 3 * y) % (1 << bpp);
        return Rgb(std::uint8_t(i * 37), std::uint8_t(255 - i * 11), std::uint8_t(i * 5 + 7));
    }
    if (bpp == 16) {
        const std::uint32_t raw = std::uint32_t(x * 2117 + y * 3001) & 0x7FFF;
        auto widen = [](std::uint32_t v) { return std::uint8_t(v << 3 | v >> 2); };
        return Rgb(widen(raw >> 10 & 31), widen(raw >> 5 & 31), widen(raw & 31));
    }
    return Rgb(std::uint8_t(x * 29), std::uint8_t(y * 53), std::uint8_t(x * y + 3));
}

std::shared_ptr<Surface> PatternSurface(const EncodeCase& c) {
    auto s = Surface::Create(c.width, c.height, c.bpp, c.order);
    for (std::size_t i = 0; i < s->colorTable().size(); ++i) {
        const ColorRef col = PatternColour(c.bpp, int(i), 0);
        s->colorTable()[i] = RgbQuad{BlueOf(col), GreenOf(col), RedOf(col), 0};
    }
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            if (c.bpp <= 8)
                s->SetRaw(x, y, std::uint32_t((x + 3 * y) % (1 << c.bpp)));
            else if (c.bpp == 16)
                s->SetRaw(x, y, std::uint32_t(x * 2117 + y * 3001) & 0x7FFF);
            else
                s->SetPixel(x, y, PatternColour(c.bpp, x, y));
        }
    return s;
}

class EncodeRoundTrip : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeRoundTrip, PilImageMagickAndTheDecoderReadTheSetColours) {
    const EncodeCase& c = GetParam();
    RgbImage want{c.width, c.height, {}};
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const ColorRef col = PatternColour(c.bpp, x, y);
            want.rgb.insert(want.rgb.end(), {RedOf(col), GreenOf(col), BlueOf(col)});
        }
    const auto file = EncodeBitmapFile24(*PatternSurface(c));
    ASSERT_EQ(file.size(), 54u + std::size_t(Surface::StrideFor(c.width, 24)) * c.height);
    const auto back = DecodeBitmapFile(file);
    EXPECT_EQ(back->bpp(), 24);
    ExpectSame(ToRgb(*back), want);

    TempDir tmp;
    WriteBytes(tmp / "out.bmp", file);
    if (HaveProgram("/usr/bin/python3")) ExpectSame(want, DecodeWithPil(tmp / "out.bmp"));
    if (HaveProgram("/usr/bin/convert")) ExpectSame(want, DecodeWithImageMagick(tmp / "out.bmp"));
}

INSTANTIATE_TEST_SUITE_P(
    DepthsAndWidths, EncodeRoundTrip,
    ::testing::Values(EncodeCase{1, 5, 3, RowOrder::TopDown}, EncodeCase{4, 7, 2, RowOrder::BottomUp},
                      EncodeCase{8, 1, 4, RowOrder::TopDown}, EncodeCase{16, 3, 3, RowOrder::BottomUp},
                      EncodeCase{24, 2, 5, RowOrder::BottomUp}, EncodeCase{24, 5, 1, RowOrder::TopDown},
                      EncodeCase{32, 3, 2, RowOrder::BottomUp}),
    [](const auto& info) {
        const EncodeCase& c = info.param;
        return std::to_string(c.bpp) + "bpp" + std::to_string(c.width) + "x" + std::to_string(c.height) +
               (c.order == RowOrder::TopDown ? "TopDown" : "BottomUp");
    });

}  // namespace
