// JPEG decoding: pixels against libjpeg's own tools (djpeg, cjpeg) and PIL,
// the public reference and crash suites, CMYK, truncation and size limits,
// warnings against djpeg's, EXIF orientation against PIL's exif_transpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/LoadPicture.h"
#include "formats/jpeg/JpegDecoder.h"
#include "formats/jpeg/JpegOrientation.h"
#include "support/Expect.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::Quote;
using test::RgbImage;
namespace fs = std::filesystem;

RgbImage Decode(const std::vector<std::uint8_t>& bytes) { return test::RgbFromSurface(*DecodeJpeg(bytes)); }

// djpeg's output for a file, as RGB (read back through PIL).
RgbImage Djpeg(const fs::path& jpeg, const test::TempDir& tmp) {
    fs::path ppm = tmp / "djpeg.pnm";
    // djpeg exits with 2 after warnings; its output is still complete.
    int rc = test::Run("/usr/bin/djpeg -outfile " + Quote(ppm) + " " + Quote(jpeg) + " 2>/dev/null");
    EXPECT_TRUE(rc == 0 || rc == 2) << "djpeg failed on " << jpeg;
    auto img = test::DecodeWithPil(ppm);
    EXPECT_TRUE(img.has_value());
    return img.value_or(RgbImage{});
}

void ExpectSame(const RgbImage& ours, const RgbImage& theirs, int tolerance = 0) {
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    auto d = test::Compare(ours, theirs, tolerance);
    EXPECT_EQ(d.over, 0u) << "largest channel difference " << d.maxDelta;
}

// Expects a clean refusal: an invalid-picture error with a description.
void ExpectRefused(const std::vector<std::uint8_t>& bytes, const std::string& description = {}) {
    test::ExpectInvalidPicture([&] { DecodeJpeg(bytes); }, description);
}

// A PPM with smooth gradients and sharp edges, so that every stage of the
// decoder (IDCT, upsampling, colour conversion) shows in the pixels.
fs::path WriteTestPpm(const test::TempDir& tmp, int width, int height) {
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes.push_back(static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1)));
            bytes.push_back(static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1)));
            bytes.push_back(((x / 5 + y / 3) % 2) ? 230 : 20);
        }
    }
    fs::path path = tmp / "source.ppm";
    test::WriteBytes(path, bytes);
    return path;
}

// ---------------------------------------------------------------------------
// Files written by cjpeg with each coding option decode exactly as djpeg
// decodes them.

struct CjpegCase {
    const char* name;
    const char* options;
    int width;
    int height;
};

class CjpegVariants : public ::testing::TestWithParam<CjpegCase> {};

TEST_P(CjpegVariants, DecodesLikeDjpeg) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const CjpegCase& c = GetParam();
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, c.width, c.height);
    fs::path jpeg = tmp / "test.jpg";
    ASSERT_EQ(test::Run(std::string("/usr/bin/cjpeg ") + c.options + " -outfile " + Quote(jpeg) + " " + Quote(source) +
                        " 2>/dev/null"),
              0);
    ExpectSame(Decode(test::ReadBytes(jpeg)), Djpeg(jpeg, tmp));
}

INSTANTIATE_TEST_SUITE_P(
    Options, CjpegVariants,
    ::testing::Values(CjpegCase{"Sampling420", "-quality 90 -sample 2x2", 67, 45},
                      CjpegCase{"Sampling444", "-quality 90 -sample 1x1", 67, 45},
                      CjpegCase{"Sampling422", "-sample 2x1", 67, 45},
                      CjpegCase{"Sampling440", "-sample 1x2", 67, 45},
                      CjpegCase{"Sampling411", "-sample 4x1", 67, 45},
                      CjpegCase{"Sampling32", "-sample 3x2", 67, 45},
                      CjpegCase{"Progressive", "-progressive", 67, 45},
                      CjpegCase{"ProgressiveSampling41", "-progressive -sample 4x1", 67, 45},
                      CjpegCase{"Arithmetic", "-arithmetic", 67, 45},
                      CjpegCase{"ArithmeticProgressive", "-arithmetic -progressive", 67, 45},
                      CjpegCase{"RestartEveryRow", "-restart 1", 67, 45},
                      CjpegCase{"RestartEvery3Blocks", "-restart 3B", 67, 45},
                      CjpegCase{"Grey", "-grayscale", 67, 45},
                      CjpegCase{"GreyProgressive", "-grayscale -progressive", 67, 45},
                      CjpegCase{"RgbComponents", "-rgb", 67, 45},
                      CjpegCase{"OptimisedTables", "-optimize -quality 30", 67, 45},
                      CjpegCase{"LowQuality", "-quality 2", 67, 45},
                      CjpegCase{"OnePixel", "-sample 2x2", 1, 1},
                      CjpegCase{"OneRow", "-sample 2x2", 300, 1},
                      CjpegCase{"OneColumn", "-sample 2x2 -progressive", 1, 300}),
    [](const auto& info) { return std::string(info.param.name); });

// libjpeg-turbo's own test images (baseline, arithmetic, interleaved).
class LibjpegTurboImages : public ::testing::TestWithParam<const char*> {};

TEST_P(LibjpegTurboImages, DecodeLikeDjpeg) {
    CROSSMELD_REQUIRE_TESTDATA();
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    test::TempDir tmp;
    fs::path file = test::TestDataDir() / "jpg/libjpeg-turbo" / GetParam();
    ExpectSame(Decode(test::ReadBytes(file)), Djpeg(file, tmp));
}

INSTANTIATE_TEST_SUITE_P(Files, LibjpegTurboImages, ::testing::Values("testorig.jpg", "testimgint.jpg", "testimgari.jpg"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(JpegDecoder, TwelveBitSamplesAreRefusedAsDjpegRefusesThem) {
    CROSSMELD_REQUIRE_TESTDATA();
    ExpectRefused(test::ReadBytes(test::TestDataDir() / "jpg/libjpeg-turbo/monkey12.jpg"),
                  "Unsupported JPEG data precision 12");
}

// ---------------------------------------------------------------------------
// The reference suite: every file decodes exactly as PIL (which runs the same
// libjpeg with the same settings) decodes it, and close to the reference PNG,
// which another decoder (with another IDCT) produced.

TEST(JpegReftest, EveryFileMatchesPilExactlyAndReferenceClosely) {
    CROSSMELD_REQUIRE_TESTDATA();
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    // Largest channel difference allowed against the PNG; 0 for files not named.
    const std::map<std::string, int> tolerance = {{"grayscale_16x24_sampling2x2.jpg", 2}, {"restarts.jpg", 2}};
    int files = 0;
    for (const auto& entry : fs::directory_iterator(test::TestDataDir() / "jpg/jpeg-decoder-reftest")) {
        if (entry.path().extension() != ".jpg") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++files;
        RgbImage ours = Decode(test::ReadBytes(entry.path()));
        auto pil = test::DecodeWithPil(entry.path());
        ASSERT_TRUE(pil.has_value());
        ExpectSame(ours, *pil);
        // The reference PNGs can be 16-bit grey: read them keeping the high byte.
        auto reference = test::DecodeWithPil(fs::path(entry.path()).replace_extension(".png"), test::Background{});
        ASSERT_TRUE(reference.has_value());
        ExpectSame(ours, *reference, tolerance.count(name) ? tolerance.at(name) : 0);
    }
    EXPECT_EQ(files, 9);
}

// The crash suite: every file decodes or is refused cleanly; where libjpeg
// decodes a file (with warnings), the pixels are djpeg's.
TEST(JpegCrashtest, EveryFileDecodesAsDjpegOrIsRefused) {
    CROSSMELD_REQUIRE_TESTDATA();
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    const std::set<std::string> decodable = {"dc-predictor-overflow.jpg", "multiple-0xff-before-eoi.jpg",
                                             "subtract-with-overflow.jpg"};
    test::TempDir tmp;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(test::TestDataDir() / "jpg/jpeg-decoder-crashtest")) {
        if (entry.path().extension() != ".jpg") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++files;
        auto bytes = test::ReadBytes(entry.path());
        if (decodable.count(name)) {
            ExpectSame(Decode(bytes), Djpeg(entry.path(), tmp));
        } else {
            ExpectRefused(bytes);
        }
    }
    EXPECT_EQ(files, 12);
}

TEST(JpegDecoder, LibjpegMessagesReachTheError) {
    CROSSMELD_REQUIRE_TESTDATA();
    fs::path dir = test::TestDataDir() / "jpg/jpeg-decoder-crashtest";
    // The texts djpeg prints for the same files.
    ExpectRefused(test::ReadBytes(dir / "missing-sos.jpg"), "Invalid JPEG file structure: missing SOS marker");
    ExpectRefused(test::ReadBytes(dir / "invalid-prediction-shift.jpg"), "Unsupported JPEG process: SOF type 0xc3");
    ExpectRefused({}, "Empty input file");
    ExpectRefused({0xFF, 0xD8}, "JPEG datastream contains no image");
}

// ---------------------------------------------------------------------------
// CMYK: PIL reads CMYK JPEGs with inverted (Adobe) samples and converts them
// with (255 - C) x (255 - K) / 255. PIL writes plain CMYK files (Adobe
// transform 0); ImageMagick writes YCCK files (transform 2).

struct CmykCase {
    const char* name;
    const char* command;  // $in and $out stand for the source and the JPEG
};

class CmykJpeg : public ::testing::TestWithParam<CmykCase> {};

TEST_P(CmykJpeg, MatchesPil) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, 45, 31);
    fs::path jpeg = tmp / "cmyk.jpg";
    std::string command = GetParam().command;
    command.replace(command.find("$in"), 3, Quote(source));
    command.replace(command.find("$out"), 4, Quote(jpeg));
    ASSERT_EQ(test::Run(command), 0) << command;
    auto pil = test::DecodeWithPil(jpeg);
    ASSERT_TRUE(pil.has_value());
    ExpectSame(Decode(test::ReadBytes(jpeg)), *pil);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CmykJpeg,
    ::testing::Values(
        CmykCase{"PlainCmyk", "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                              "Image.open(sys.argv[1]).convert('CMYK').save(sys.argv[2], quality=90)\" $in $out"},
        CmykCase{"Ycck", "/usr/bin/convert $in -colorspace CMYK -quality 95 $out"},
        CmykCase{"YcckProgressive", "/usr/bin/convert $in -colorspace CMYK -quality 60 -interlace JPEG $out"},
        CmykCase{"YcckSubsampled",
                 "/usr/bin/convert $in -colorspace CMYK -quality 90 -sampling-factor 2x2,1x1,1x1,2x2 $out"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Damaged and oversized files.

TEST(JpegDecoder, TruncatedFileKeepsTheDecodedRowsAsDjpegDoes) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, 64, 64);
    int decoded = 0;
    for (const char* options : {"-quality 90", "-progressive", "-restart 1"}) {
        fs::path jpeg = tmp / "whole.jpg";
        ASSERT_EQ(test::Run(std::string("/usr/bin/cjpeg ") + options + " -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
        const auto whole = test::ReadBytes(jpeg);
        for (int eighths = 1; eighths < 8; ++eighths) {
            SCOPED_TRACE(std::string(options) + ", " + std::to_string(eighths) + "/8 of the file");
            std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() * eighths / 8));
            fs::path cut = tmp / "cut.jpg";
            test::WriteBytes(cut, bytes);
            // djpeg writes the padded picture (exit status 2) when the cut falls in
            // the image data, and refuses the file when it falls in a header.
            if (test::Run("/usr/bin/djpeg -outfile /dev/null " + Quote(cut) + " 2>/dev/null") == 1) {
                ExpectRefused(bytes);
                continue;
            }
            ++decoded;
            ExpectSame(Decode(bytes), Djpeg(cut, tmp));
        }
    }
    EXPECT_GT(decoded, 10);
}

// A small baseline file whose frame header declares another size.
std::vector<std::uint8_t> JpegDeclaring(const test::TempDir& tmp, int width, int height) {
    fs::path source = WriteTestPpm(tmp, 8, 8);
    fs::path jpeg = tmp / "small.jpg";
    EXPECT_EQ(test::Run("/usr/bin/cjpeg -baseline -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
    auto bytes = test::ReadBytes(jpeg);
    for (std::size_t i = 0; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            // FF C0, length (2), precision (1), height (2, big-endian), width (2)
            bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
            bytes[i + 6] = static_cast<std::uint8_t>(height);
            bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
            bytes[i + 8] = static_cast<std::uint8_t>(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no SOF0 marker";
    return bytes;
}

TEST(JpegDecoder, DeclaredSizeIsCheckedBeforeDecoding) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    test::TempDir tmp;
    ExpectRefused(JpegDeclaring(tmp, 32768, 8), "picture is too large (32768 x 8 pixels)");
    ExpectRefused(JpegDeclaring(tmp, 8, 40000), "picture is too large (8 x 40000 pixels)");
    // 2^28 pixels is the most; one more row of 32767 passes it.
    ExpectRefused(JpegDeclaring(tmp, 32767, 8193), "picture is too large (32767 x 8193 pixels)");
    // A caller's own lower limit.
    auto small = JpegDeclaring(tmp, 20, 10);
    EXPECT_THROW(DecodeJpeg(small, 199), Error);
    auto surface = DecodeJpeg(small, 200);
    EXPECT_EQ(surface->width(), 20);
    EXPECT_EQ(surface->height(), 10);
}

// A progressive file whose last scan is repeated until the file holds the
// given number of scans. libjpeg warns about the repeated scans and goes on.
std::vector<std::uint8_t> ProgressiveWithScans(const test::TempDir& tmp, int scans) {
    fs::path source = WriteTestPpm(tmp, 16, 16);
    fs::path jpeg = tmp / "progressive.jpg";
    EXPECT_EQ(test::Run("/usr/bin/cjpeg -grayscale -progressive -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
    const auto file = test::ReadBytes(jpeg);
    std::vector<std::size_t> starts;  // SOS markers
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) starts.push_back(i);
    EXPECT_GT(static_cast<int>(starts.size()), 1);
    EXPECT_LE(static_cast<int>(starts.size()), scans);
    const std::size_t last = starts.back(), end = file.size() - 2;  // the file ends with FF D9
    std::vector<std::uint8_t> out(file.begin(), file.begin() + static_cast<long>(last));
    for (int i = static_cast<int>(starts.size()) - 1; i < scans; ++i)
        out.insert(out.end(), file.begin() + static_cast<long>(last), file.begin() + static_cast<long>(end));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

TEST(JpegDecoder, ScanCountIsBounded) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    test::TempDir tmp;
    auto many = ProgressiveWithScans(tmp, 1000);
    fs::path file = tmp / "many.jpg";
    test::WriteBytes(file, many);
    ExpectSame(Decode(many), Djpeg(file, tmp));
    ExpectRefused(ProgressiveWithScans(tmp, 1001), "too many scans in the JPEG file (more than 1000)");
}

TEST(JpegDecoder, SurfaceIsTwentyFourBitTopDown) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, 9, 7);
    fs::path jpeg = tmp / "grey.jpg";
    ASSERT_EQ(test::Run("/usr/bin/cjpeg -grayscale -quality 100 -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
    auto surface = DecodeJpeg(test::ReadBytes(jpeg));
    EXPECT_EQ(surface->bpp(), 24);
    EXPECT_EQ(surface->rowOrder(), RowOrder::TopDown);
    EXPECT_EQ(surface->width(), 9);
    EXPECT_EQ(surface->height(), 7);
    // Grey pixels become equal red, green and blue.
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            ColorRef c = surface->GetPixel(x, y);
            EXPECT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c));
        }
}

// ---------------------------------------------------------------------------
// Warnings, and the EXIF orientation against PIL's exif_transpose.

TEST(JpegWarnings, FileCutShortIsToldOnceWithTheSamePixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, 64, 64);
    for (const char* options : {"-quality 90", "-progressive", "-restart 1", "-arithmetic"}) {
        SCOPED_TRACE(options);
        fs::path jpeg = tmp / "whole.jpg";
        ASSERT_EQ(test::Run(std::string("/usr/bin/cjpeg ") + options + " -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
        const auto whole = test::ReadBytes(jpeg);
        EXPECT_TRUE(DecodeJpegPicture(whole).warnings.empty());
        const std::vector<std::uint8_t> half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
        const JpegPicture picture = DecodeJpegPicture(half);
        EXPECT_EQ(picture.warnings, std::vector<std::string>{"Premature end of JPEG file"});
        ExpectSame(test::RgbFromSurface(*picture.surface), Decode(half));
    }
}

// A TIFF structure whose IFD0 (at ifd0) holds one entry; a SHORT value sits
// in the first two bytes of the value field.
std::vector<std::uint8_t> Tiff(bool little, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                               std::uint32_t value, std::uint32_t ifd0 = 8, std::uint32_t next = 0) {
    std::vector<std::uint8_t> t(2, little ? 'I' : 'M');
    auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) t.push_back(static_cast<std::uint8_t>(v >> 8 * (little ? i : n - 1 - i)));
    };
    put(42, 2), put(ifd0, 4), put(1, 2), put(tag, 2), put(type, 2), put(count, 4);
    type == 3 ? (put(value, 2), put(0, 2)) : put(value, 4);
    put(next, 4);
    return t;
}

// The JPEG with an APP1 segment (header + payload) after its JFIF APP0.
std::vector<std::uint8_t> WithApp1(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload,
                                   std::string header = std::string("Exif\0\0", 6)) {
    const std::size_t at = 4 + (std::size_t{jpeg[4]} << 8 | jpeg[5]);
    const std::size_t length = 2 + header.size() + payload.size();
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(at));
    out.insert(out.end(), {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)});
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
    return out;
}

std::vector<std::uint8_t> PlainJpeg(const test::TempDir& tmp) {
    fs::path jpeg = tmp / "plain.jpg";
    EXPECT_EQ(test::Run("/usr/bin/cjpeg -outfile " + Quote(jpeg) + " " + Quote(WriteTestPpm(tmp, 37, 21))), 0);
    return test::ReadBytes(jpeg);
}

TEST(JpegOrientation, EveryValueInBothByteOrdersMatchesPil) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    test::TempDir tmp;
    const auto plain = PlainJpeg(tmp);
    std::string command = "/usr/bin/python3 -c \"import sys; from PIL import Image, ImageOps\n"
                          "for n in sys.argv[1:]: ImageOps.exif_transpose(Image.open(n)).convert('RGB').save(n + '.ppm')\"";
    for (int i = 0; i < 16; ++i) {
        test::WriteBytes(tmp / std::to_string(i), WithApp1(plain, Tiff(i < 8, 0x0112, 3, 1, i % 8 + 1)));
        command += " " + Quote(tmp / std::to_string(i));
    }
    ASSERT_EQ(test::Run(command), 0);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(std::string(i < 8 ? "II" : "MM") + " orientation " + std::to_string(i % 8 + 1));
        const Picture ours = LoadPicture((tmp / std::to_string(i)).string());
        EXPECT_EQ(ours.Width(), i % 8 >= 4 ? 21 : 37);
        ExpectSame(test::RgbFromSurface(*ours.bitmap()), test::DecodeWithPil(tmp / (std::to_string(i) + ".ppm")).value());
    }
}

TEST(JpegOrientation, DamagedOrHostileExifLoadsUnrotated) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    test::TempDir tmp;
    const auto plain = PlainJpeg(tmp);
    const auto six = Tiff(true, 0x0112, 3, 1, 6);
    ASSERT_EQ(ReadJpegOrientation(WithApp1(plain, six)), 6);
    auto endless = Tiff(true, 0x010F, 2, 4, 0);  // 65535 entries announced
    endless[8] = endless[9] = 0xFF;
    const std::vector<std::vector<std::uint8_t>> payloads = {
        {six.begin(), six.begin() + 18},                  // cut before the value
        {},                                               // nothing after the header
        Tiff(true, 0x0112, 3, 1, 6, 0xFFFFFFF0u),         // IFD0 past the end
        Tiff(true, 0x0112, 3, 1, 6, 0),                   // IFD0 on the header
        Tiff(false, 0x8769, 4, 1, 8, 8, 8),               // EXIF IFD and next IFD are IFD0 itself
        endless,
        {'I', 'M', 42, 0, 8, 0, 0, 0},                    // no byte order
        Tiff(true, 0x0112, 4, 1, 6),                      // a LONG
        Tiff(false, 0x0112, 3, 1, 9),                     // no such orientation
    };
    const RgbImage upright = Decode(plain);
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        const auto file = WithApp1(plain, payloads[i]);
        EXPECT_EQ(ReadJpegOrientation(file), 1);
        ExpectSame(test::RgbFromSurface(*LoadPictureFromMemory(file).bitmap()), upright);
    }
    EXPECT_EQ(ReadJpegOrientation(WithApp1(plain, six, "XMP")), 1);
    auto cut = WithApp1(plain, six);
    cut.resize(plain[5] + 4 + 10);  // inside the APP1 segment
    EXPECT_EQ(ReadJpegOrientation(cut), 1);
}

}  // namespace
}  // namespace crossmeld
