// The picture services: format recognition by content, file-system errors,
// refused formats, and SavePicture output read back by ImageMagick and PIL.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/LoadPicture.h"
#include "formats/PictureFormat.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::Quote;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Recognition by the first bytes.

struct SniffCase {
    const char* name;
    std::vector<std::uint8_t> head;
    PictureFormat format;
};

std::vector<std::uint8_t> EmfHead(std::size_t size = 88) {
    std::vector<std::uint8_t> head(88, 0);
    head[0] = 1;  // record type EMR_HEADER
    head[4] = 88;  // record size
    head[40] = ' ', head[41] = 'E', head[42] = 'M', head[43] = 'F';
    head.resize(size);
    return head;
}

class Sniff : public ::testing::TestWithParam<SniffCase> {};

TEST_P(Sniff, RecognisesTheFormat) { EXPECT_EQ(SniffPictureFormat(GetParam().head), GetParam().format); }

INSTANTIATE_TEST_SUITE_P(
    Heads, Sniff,
    ::testing::Values(
        SniffCase{"Bitmap", {'B', 'M', 0x3A, 0, 0, 0}, PictureFormat::Bitmap},
        SniffCase{"Jpeg", {0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::Jpeg},
        SniffCase{"Png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}, PictureFormat::Png},
        SniffCase{"PngWithLineEndsConverted", {0x89, 'P', 'N', 'G', 0x0A, 0x1A, 0x0A, 0}, PictureFormat::Unknown},
        SniffCase{"Gif87", {'G', 'I', 'F', '8', '7', 'a', 1, 0}, PictureFormat::Gif},
        SniffCase{"Gif89", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, PictureFormat::Gif},
        SniffCase{"Gif88", {'G', 'I', 'F', '8', '8', 'a', 1, 0}, PictureFormat::Unknown},
        // Placeable metafile: key D7 CD C6 9A.
        SniffCase{"WmfPlaceable", {0xD7, 0xCD, 0xC6, 0x9A, 0, 0}, PictureFormat::Wmf},
        // Standard metafile header: type (1 memory, 2 disk), header words 9, version 0x0300 or 0x0100.
        SniffCase{"WmfDisk", {2, 0, 9, 0, 0, 3, 0x24, 0}, PictureFormat::Wmf},
        SniffCase{"WmfMemoryVersion1", {1, 0, 9, 0, 0, 1}, PictureFormat::Wmf},
        SniffCase{"WmfBadHeaderSize", {1, 0, 8, 0, 0, 3}, PictureFormat::Unknown},
        SniffCase{"WmfBadVersion", {1, 0, 9, 0, 0, 2}, PictureFormat::Unknown},
        SniffCase{"Emf", EmfHead(), PictureFormat::Emf},
        SniffCase{"EmfCutBeforeSignature", EmfHead(43), PictureFormat::Unknown},
        SniffCase{"Text", {'h', 'e', 'l', 'l', 'o'}, PictureFormat::Unknown},
        SniffCase{"OneByte", {'B'}, PictureFormat::Unknown},
        SniffCase{"Empty", {}, PictureFormat::Unknown}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Loading files.

ErrorKind KindOfLoad(const fs::path& path) {
    try {
        LoadPicture(path.string());
    } catch (const Error& e) {
        return e.kind();
    }
    return ErrorKind::InvalidProcedureCall;  // stands for "no error"
}

// A 5 x 3 picture in a format of ImageMagick's choosing, under any file name.
fs::path MakePicture(const test::TempDir& tmp, const std::string& format, const std::string& name) {
    fs::path path = tmp / name;
    EXPECT_EQ(test::Run("/usr/bin/convert -size 5x3 gradient:red-blue " + format + ":" + Quote(path)), 0);
    return path;
}

struct ContentCase {
    const char* format;
    const char* name;
};

class LoadByContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(LoadByContent, NameDoesNotMatter) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    test::TempDir tmp;
    fs::path path = MakePicture(tmp, GetParam().format, GetParam().name);
    Picture picture = LoadPicture(path.string());
    ASSERT_TRUE(picture);
    EXPECT_NE(picture.Handle(), 0u);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(picture.Height(), 3);
    // Top-left red, bottom-left blue, whatever the format.
    auto pil = test::DecodeWithPil(path);
    ASSERT_TRUE(pil.has_value());
    auto d = test::Compare(test::RgbFromSurface(*picture.bitmap()), *pil);
    EXPECT_EQ(d.over, 0u) << "largest channel difference " << d.maxDelta;
}

INSTANTIATE_TEST_SUITE_P(Files, LoadByContent,
                         ::testing::Values(ContentCase{"jpg", "photo.bmp"}, ContentCase{"png", "image.jpg"},
                                           ContentCase{"bmp3", "picture.png"}, ContentCase{"jpg", "no-extension"}),
                         [](const auto& info) { return std::string(info.param.format) + "_" + std::to_string(info.index); });

TEST(LoadPicture, FileSystemErrors) {
    test::TempDir tmp;
    EXPECT_EQ(KindOfLoad(tmp / "missing.jpg"), ErrorKind::FileNotFound);
    EXPECT_EQ(KindOfLoad(tmp / "no-folder" / "missing.jpg"), ErrorKind::PathNotFound);
    EXPECT_EQ(KindOfLoad(tmp.path()), ErrorKind::PathFileAccessError);
    EXPECT_EQ(static_cast<int>(KindOfLoad(tmp / "missing.jpg")), 53);
}

TEST(LoadPicture, UnreadableFileIsPermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    test::TempDir tmp;
    fs::path path = tmp / "locked.jpg";
    test::WriteBytes(path, {0xFF, 0xD8});
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(KindOfLoad(path), ErrorKind::PermissionDenied);
}

std::string RefusalOf(const fs::path& path) {
    try {
        LoadPicture(path.string());
    } catch (const Error& e) {
        return std::to_string(e.number()) + " " + e.description();
    }
    return "loaded";
}

TEST(LoadPicture, PipesDevicesAndFoldersAreRefusedAtOnce) {
    test::TempDir tmp;
    EXPECT_EQ(RefusalOf(tmp.path()), "75 Path/File access error: a folder, not a picture file");
    EXPECT_EQ(RefusalOf("/dev/null"), "75 Path/File access error: a device, not a picture file");
    const fs::path fifo = tmp / "pipe.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    alarm(10);  // an open that waits for a writer ends the test program instead of hanging
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RefusalOf(fifo), "75 Path/File access error: a pipe, not a picture file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    alarm(0);
}

TEST(LoadPicture, EmptyPathGivesTheEmptyPicture) {
    Picture picture = LoadPicture("");
    EXPECT_FALSE(picture);
    EXPECT_EQ(picture.Handle(), 0u);
}

struct RefusedCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* description;
};

class RefusedContent : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedContent, RaisesInvalidPicture) {
    test::TempDir tmp;
    fs::path path = tmp / "picture.bmp";
    test::WriteBytes(path, GetParam().bytes);
    try {
        LoadPicture(path.string());
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 481);
        EXPECT_EQ(e.description(), GetParam().description);
    }
}

std::vector<std::uint8_t> RandomBytes() {
    std::vector<std::uint8_t> bytes(4096);
    std::uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    bytes[0] = 0x17;  // no known signature
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedContent,
    ::testing::Values(
        RefusedCase{"GifWithoutImage", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}, "the GIF file holds no image"},
        // A 60000 x 60000 frame whose few data bytes could never fill it.
        RefusedCase{"GifFrameTooLarge",
                    {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0,
                     2, 2, 0x44, 0x01, 0, ';'},
                    "GIF frame 1 (60000 x 60000) is larger than a frame may be"},
        // Metafiles are played; these two stop at their headers.
        RefusedCase{"WmfPlaceableHeaderCut", {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0}, "WMF placeable header is cut short"},
        RefusedCase{"EmfWithoutFrame", EmfHead(), "EMF frame is empty"},
        RefusedCase{"RandomBytes", RandomBytes(), "Invalid picture"},
        RefusedCase{"EmptyFile", {}, "Invalid picture"},
        RefusedCase{"JpegSignatureOnly", {0xFF, 0xD8}, "JPEG datastream contains no image"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadPicture, GifIsTheFirstFrameOnTheLogicalScreenOverWhite) {
    // The shipped blank: a 320 x 368 frame of the white entry.
    const Picture blank = LoadPicture((test::SourceDir() / "Samples" / "none.gif").string());
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank.Width(), 320);
    EXPECT_EQ(blank.Height(), 368);
    EXPECT_EQ(blank.bitmap()->GetPixel(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(blank.bitmap()->GetPixel(319, 367), Rgb(255, 255, 255));

    // A 4 x 2 screen with a 2 x 1 frame at (1, 1): index 0 red, index 1
    // transparent. Codes 4 0 1 5, all at 3 bits: 0x0A44. Uncovered and
    // transparent pixels are white.
    const std::vector<std::uint8_t> gif{'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0x80, 0, 0,
                                        255, 0, 0, 0, 0, 255,                        // red, blue
                                        0x21, 0xF9, 4, 1, 0, 0, 1, 0,                // index 1 transparent
                                        0x2C, 1, 0, 1, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'};
    const Picture picture = LoadPictureFromMemory(gif);
    ASSERT_EQ(picture.Width(), 4);
    ASSERT_EQ(picture.Height(), 2);
    const Surface& s = *picture.bitmap();
    const ColorRef white = Rgb(255, 255, 255);
    EXPECT_EQ(s.GetPixel(0, 0), white);
    EXPECT_EQ(s.GetPixel(1, 1), Rgb(255, 0, 0));
    EXPECT_EQ(s.GetPixel(2, 1), white) << "transparent";
    EXPECT_EQ(s.GetPixel(3, 1), white) << "uncovered";
}

TEST(LoadPicture, DamagedPngAndBitmapAreRefused) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H'};
    EXPECT_THROW(LoadPictureFromMemory(png), Error);
    std::vector<std::uint8_t> bmp = {'B', 'M', 1, 2, 3};
    try {
        LoadPictureFromMemory(bmp);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
    }
}

// ---------------------------------------------------------------------------
// Saving.

TEST(SavePicture, OutputReadsBackInImageMagickAndPilWithOurPixels) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    test::TempDir tmp;
    fs::path source = tmp / "source.png";
    // Odd width, so that the saved rows need padding.
    ASSERT_EQ(test::Run("/usr/bin/convert -size 7x5 plasma:fractal -seed 3 " + Quote(source)), 0);
    Picture picture = LoadPicture(source.string());
    fs::path saved = tmp / "saved.bmp";
    SavePicture(picture, saved.string());
    auto ours = test::RgbFromSurface(*picture.bitmap());
    for (auto decoded : {test::DecodeWithImageMagick(saved), test::DecodeWithPil(saved)}) {
        ASSERT_TRUE(decoded.has_value());
        auto d = test::Compare(ours, *decoded);
        EXPECT_EQ(d.over, 0u) << "largest channel difference " << d.maxDelta;
    }
    // A second save replaces the file, and the file loads again.
    SavePicture(*picture.bitmap(), saved.string());
    auto again = LoadPicture(saved.string());
    EXPECT_EQ(test::Compare(test::RgbFromSurface(*again.bitmap()), ours).over, 0u);
}

TEST(SavePicture, FailuresRaiseErrors) {
    test::TempDir tmp;
    auto surface = Surface::Create(2, 2, 24);
    auto kindOfSave = [&](const fs::path& path) {
        try {
            SavePicture(*surface, path.string());
        } catch (const Error& e) {
            return e.kind();
        }
        return ErrorKind::InvalidProcedureCall;  // stands for "no error"
    };
    EXPECT_EQ(kindOfSave(tmp / "no-folder" / "out.bmp"), ErrorKind::PathNotFound);
    EXPECT_FALSE(fs::exists(tmp / "no-folder"));
    EXPECT_EQ(kindOfSave(tmp.path()), ErrorKind::PathFileAccessError);
    EXPECT_THROW(SavePicture(Picture(), (tmp / "empty.bmp").string()), Error);
    EXPECT_FALSE(fs::exists(tmp / "empty.bmp"));
}

}  // namespace
}  // namespace crossmeld
