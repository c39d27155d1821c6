// JPEG decoding: pixels against libjpeg's own tools (djpeg, cjpeg) and PIL,
// the public reference and crash suites, CMYK, truncation and size limits,
// warnings against djpeg's, EXIF orientation against PIL's exif_transpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "preview/pictures/JpegDecoder.h"
#include "preview/pictures/JpegOrientation.h"
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
    try {
        DecodeJpeg(bytes);
        ADD_FAILURE() << "decoded";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        EXPECT_FALSE(e.description().empty());
        if (!description.empty()) {
            EXPECT_EQ(e.description(), description);
        }
    }
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
// Warnings: the first is the one djpeg prints (it prints only the first);
// a file cut short is told once, whatever the coding.

// djpeg's standard error for a file, without the final line feed.
std::string DjpegWarning(const fs::path& jpeg, const test::TempDir& tmp) {
    const fs::path errors = tmp / "djpeg.txt";
    test::Run("/usr/bin/djpeg -outfile /dev/null " + Quote(jpeg) + " 2>" + Quote(errors));
    const auto bytes = test::ReadBytes(errors);
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TEST(JpegWarnings, TruncationIsToldOnceAndThePixelsStayTheSame) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    test::TempDir tmp;
    fs::path source = WriteTestPpm(tmp, 64, 64);
    for (const char* options : {"-quality 90", "-progressive", "-restart 1", "-arithmetic"}) {
        SCOPED_TRACE(options);
        fs::path jpeg = tmp / "whole.jpg";
        ASSERT_EQ(test::Run(std::string("/usr/bin/cjpeg ") + options + " -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
        const auto whole = test::ReadBytes(jpeg);
        EXPECT_TRUE(DecodeJpegPicture(whole).warnings.empty());
        const std::vector<std::uint8_t> half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
        fs::path cut = tmp / "half.jpg";
        test::WriteBytes(cut, half);
        EXPECT_EQ(DjpegWarning(cut, tmp), "Premature end of JPEG file");
        const JpegPicture picture = DecodeJpegPicture(half);
        EXPECT_EQ(picture.warnings, std::vector<std::string>{"Premature end of JPEG file"});
        ExpectSame(test::RgbFromSurface(*picture.surface), Decode(half));
    }
}

TEST(JpegWarnings, CorruptFilesGiveDjpegsFirstWarningFirst) {
    CROSSMELD_REQUIRE_TESTDATA();
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/djpeg");
    test::TempDir tmp;
    const fs::path dir = test::TestDataDir() / "jpg/jpeg-decoder-crashtest";
    for (const char* name :
         {"dc-predictor-overflow.jpg", "multiple-0xff-before-eoi.jpg", "subtract-with-overflow.jpg"}) {
        SCOPED_TRACE(name);
        const JpegPicture picture = DecodeJpegPicture(test::ReadBytes(dir / name));
        const std::string djpeg = DjpegWarning(dir / name, tmp);
        EXPECT_EQ(picture.warnings.empty() ? std::string() : picture.warnings.front(), djpeg);
        // Distinct texts only, and a bounded number of them.
        const std::set<std::string> distinct(picture.warnings.begin(), picture.warnings.end());
        EXPECT_EQ(distinct.size(), picture.warnings.size());
        EXPECT_LE(picture.warnings.size(), 8u);
    }
}

// ---------------------------------------------------------------------------
// EXIF orientation. The EXIF blocks are written here by hand and put into a
// cjpeg file, so both decoders see the same JPEG data; PIL's exif_transpose
// gives the expected pixels.

void Put16(std::vector<std::uint8_t>& out, bool little, std::uint32_t v) {
    if (little) {
        out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    } else {
        out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    }
}
void Put32(std::vector<std::uint8_t>& out, bool little, std::uint32_t v) {
    if (little) {
        Put16(out, true, v & 0xFFFF), Put16(out, true, v >> 16);
    } else {
        Put16(out, false, v >> 16), Put16(out, false, v & 0xFFFF);
    }
}

struct IfdEntry {
    std::uint16_t tag, type;
    std::uint32_t count, value;  // a SHORT value sits in the first two bytes
};

// A TIFF structure: header, IFD0 at 8 with the entries, then the next-IFD offset.
std::vector<std::uint8_t> Tiff(bool little, const std::vector<IfdEntry>& entries, std::uint32_t next = 0,
                               std::uint32_t ifd0 = 8) {
    std::vector<std::uint8_t> t = little ? std::vector<std::uint8_t>{'I', 'I'} : std::vector<std::uint8_t>{'M', 'M'};
    Put16(t, little, 42);
    Put32(t, little, ifd0);
    Put16(t, little, static_cast<std::uint32_t>(entries.size()));
    for (const IfdEntry& e : entries) {
        Put16(t, little, e.tag), Put16(t, little, e.type), Put32(t, little, e.count);
        if (e.type == 3) {
            Put16(t, little, e.value), Put16(t, little, 0);
        } else {
            Put32(t, little, e.value);
        }
    }
    Put32(t, little, next);
    return t;
}

std::vector<std::uint8_t> OrientationTiff(bool little, std::uint32_t value) {
    // A camera-maker entry first, so that the tag is found past another one.
    return Tiff(little, {{0x010F, 2, 4, 0x00636261}, {0x0112, 3, 1, value}});
}

// The JPEG with an APP1 segment "Exif\0\0" + payload after its JFIF APP0.
std::vector<std::uint8_t> WithExif(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& payload,
                                   const char* header = "Exif\0\0", std::size_t headerSize = 6) {
    EXPECT_TRUE(jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) << "cjpeg writes a JFIF APP0 first";
    const std::size_t at = 4 + (std::size_t{jpeg[4]} << 8 | jpeg[5]);
    const std::size_t length = 2 + headerSize + payload.size();
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(at));
    out.insert(out.end(), {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)});
    out.insert(out.end(), header, header + headerSize);
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
    return out;
}

std::vector<std::uint8_t> PlainJpeg(const test::TempDir& tmp, const char* options = "-sample 2x2") {
    fs::path source = WriteTestPpm(tmp, 37, 21);  // not square, odd sides
    fs::path jpeg = tmp / "plain.jpg";
    EXPECT_EQ(test::Run(std::string("/usr/bin/cjpeg ") + options + " -outfile " + Quote(jpeg) + " " + Quote(source)), 0);
    return test::ReadBytes(jpeg);
}

TEST(JpegOrientation, EveryValueMatchesPilExifTranspose) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    test::TempDir tmp;
    const auto plain = PlainJpeg(tmp);
    // One PIL run turns every tagged file into a PPM.
    std::string command =
        "/usr/bin/python3 -c \"import sys; from PIL import Image, ImageOps\n"
        "for n in sys.argv[1:]: ImageOps.exif_transpose(Image.open(n + '.jpg')).convert('RGB').save(n + '.ppm')\"";
    for (bool little : {true, false})
        for (int value = 1; value <= 8; ++value) {
            const fs::path base = tmp / ((little ? "II" : "MM") + std::to_string(value));
            test::WriteBytes(base.string() + ".jpg", WithExif(plain, OrientationTiff(little, value)));
            command += " " + Quote(base);
        }
    ASSERT_EQ(test::Run(command), 0);
    for (bool little : {true, false})
        for (int value = 1; value <= 8; ++value) {
            SCOPED_TRACE(std::string(little ? "II" : "MM") + " orientation " + std::to_string(value));
            const fs::path base = tmp / ((little ? "II" : "MM") + std::to_string(value));
            const JpegPicture ours = DecodeJpegPicture(test::ReadBytes(base.string() + ".jpg"));
            EXPECT_EQ(ours.orientation, value);
            EXPECT_EQ(ours.surface->width(), value >= 5 ? 21 : 37);
            auto pil = test::DecodeWithPil(base.string() + ".ppm");
            ASSERT_TRUE(pil.has_value());
            ExpectSame(test::RgbFromSurface(*ours.surface), *pil);
        }
}

TEST(JpegOrientation, DamagedOrHostileExifLoadsUnrotated) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/cjpeg");
    test::TempDir tmp;
    const auto plain = PlainJpeg(tmp);
    const RgbImage upright = Decode(plain);
    const auto six = OrientationTiff(true, 6);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> payload;
    };
    std::vector<Case> cases = {
        {"cut inside the entry", std::vector<std::uint8_t>(six.begin(), six.begin() + 24)},
        {"cut inside the header", {'I', 'I', 42}},
        {"empty", {}},
        {"IFD0 past the end", Tiff(true, {{0x0112, 3, 1, 6}}, 0, 0xFFFFFFF0u)},
        {"IFD0 just past the end", Tiff(true, {{0x0112, 3, 1, 6}}, 0, 26)},
        {"IFD0 on the header", Tiff(true, {{0x0112, 3, 1, 6}}, 0, 0)},
        {"IFD0 its own next IFD", Tiff(false, {{0x010F, 2, 4, 0}}, 8)},
        {"EXIF IFD pointing at IFD0", Tiff(true, {{0x8769, 4, 1, 8}}, 8)},
        {"more entries than data", [] {
             auto t = Tiff(true, {{0x010F, 2, 4, 0}});
             t[8] = t[9] = 0xFF;
             return t;
         }()},
        {"unknown byte order", [&] {
             auto t = six;
             t[1] = 'M';
             return t;
         }()},
        {"not 42", [&] {
             auto t = six;
             t[2] = 43;
             return t;
         }()},
        {"LONG instead of SHORT", Tiff(true, {{0x0112, 4, 1, 6}})},
        {"two values", Tiff(true, {{0x0112, 3, 2, 6}})},
        {"value 0", OrientationTiff(true, 0)},
        {"value 9", OrientationTiff(false, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = WithExif(plain, c.payload);
        EXPECT_EQ(ReadJpegOrientation(file), 1);
        const JpegPicture picture = DecodeJpegPicture(file);
        ExpectSame(test::RgbFromSurface(*picture.surface), upright);
    }
    // Not an EXIF segment at all (XMP shares APP1), or a short one.
    EXPECT_EQ(ReadJpegOrientation(WithExif(plain, six, "Exif\0\1", 6)), 1);
    EXPECT_EQ(ReadJpegOrientation(WithExif(plain, {}, "Exif", 4)), 1);
    // An APP1 length running past the end of the file, or no segments at all.
    auto overlong = WithExif(plain, six);
    const std::size_t app1 = 4 + (std::size_t{plain[4]} << 8 | plain[5]);
    overlong.resize(app1 + 4 + 6 + 20);  // ends inside the orientation entry
    EXPECT_EQ(ReadJpegOrientation(overlong), 1);
    EXPECT_EQ(ReadJpegOrientation(std::vector<std::uint8_t>{0xFF, 0xD8}), 1);
    EXPECT_EQ(ReadJpegOrientation(std::vector<std::uint8_t>{}), 1);
    // The same structure, intact, is read.
    EXPECT_EQ(ReadJpegOrientation(WithExif(plain, six)), 6);
}

}  // namespace
}  // namespace crossmeld
