// Importing AVI frames into a GIF document: delays from the frame rate,
// frame size from the frame rectangle, pixels through the ordered dither
// onto the 216-colour cube, one palette for all frames, failures that leave
// the document untouched or half filled, and files written by ffmpeg.
//
// Expected indices come from a small reference of the ordered cube dither
// written from its definition (threshold matrix, six levels per channel)
// and from nearest-neighbour scaling worked out here, never from the import.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "export/GifExport.h"
#include "formats/avi/AviReader.h"
#include "formats/gif/GifDocument.h"
#include "raster/DibSurface.h"
#include "support/AviFrames.h"
#include "support/AviWriting.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using namespace crossmeld::avi;

const char* const kFfmpeg = "/usr/bin/ffmpeg";

struct Bgr {
    std::uint8_t b, g, r;
};
using Colour = std::function<Bgr(int x, int y, int frame)>;

Bgr Pattern(int x, int y, int k) {
    std::uint8_t p[3];
    PatternBgr(x, y, k, p);
    return {p[0], p[1], p[2]};
}

struct Clip {
    int width = 6, height = 4;
    std::uint32_t fps = 5;
    int frames = 3;
    FrameRect rect{};  // empty: the frame size
    Codec codec = Codec::FullFrames;
    Colour colour = Pattern;
};

// 24-bit bottom-up frames through the writer, as the fade's AVI output
// writes them (Motion JPEG at quality 9000). A frame rectangle other than
// the frame size, which the writer never stores, is then put into the
// stream header as other writers may have it.
void WriteClip(const fs::path& path, const Clip& c) {
    const int stride = (c.width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> info;
    for (std::uint32_t v : {40u, std::uint32_t(c.width), std::uint32_t(c.height)}) Put32(info, v);
    Put16(info, 1), Put16(info, 24);
    for (std::uint32_t v : {0u, std::uint32_t(stride * c.height), 0u, 0u, 0u, 0u}) Put32(info, v);

    std::vector<std::uint8_t> bits(std::size_t(stride) * c.height, 0xEE);
    auto frameAt = [&](std::size_t k) -> const std::vector<std::uint8_t>& {
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const Bgr p = c.colour(x, y, int(k));
                std::uint8_t* q = &bits[std::size_t(c.height - 1 - y) * stride + 3 * x];
                q[0] = p.b, q[1] = p.g, q[2] = p.r;
            }
        return bits;
    };
    ASSERT_EQ(WriteAviFrames(path, info, std::size_t(c.frames), c.fps, CodecChoice{c.codec, 9000u}, frameAt).Result(),
              WriteResult::Ok);
    if (c.rect.right <= c.rect.left || c.rect.bottom <= c.rect.top) return;
    auto file = ReadBytes(path);
    const char strh[] = "strh";
    const auto at = std::search(file.begin(), file.end(), strh, strh + 4);
    ASSERT_NE(at, file.end());
    std::vector<std::uint8_t> rect;
    for (std::int32_t v : {c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}) Put16(rect, std::uint32_t(v));
    std::copy(rect.begin(), rect.end(), at + 8 + 48);  // the rectangle ends the 56-byte header
    WriteBytes(path, file);
}

// ---- the ordered dither onto the cube, from its definition ---------------

const int kThreshold6[4][4] = {{3, 29, 10, 35}, {41, 16, 48, 22}, {13, 38, 6, 32}, {51, 26, 45, 19}};

// v / 51 to the nearest integer (never a tie for whole v), within 0 ... 5.
int Level6(int v) {
    const int level = v < 0 ? 0 : (2 * v + 51) / 102;
    return std::clamp(level, 0, 5);
}

std::uint8_t CubeIndex(Bgr p, int x, int y) {
    const int t = kThreshold6[y % 4][x % 4];
    return std::uint8_t(Level6(p.r + 26 - t) + 6 * Level6(p.g + 26 - t) + 36 * Level6(p.b + 26 - t));
}

// The cube's colour table: entry r + 6g + 36b = (51r, 51g, 51b), the rest black.
std::vector<std::uint8_t> CubeTable() {
    std::vector<std::uint8_t> t(1024, 0);
    for (int i = 0; i < 216; ++i) {
        t[4 * i] = std::uint8_t(51 * (i / 36));
        t[4 * i + 1] = std::uint8_t(51 * (i / 6 % 6));
        t[4 * i + 2] = std::uint8_t(51 * (i % 6));
    }
    return t;
}

std::vector<std::uint8_t> Indices(const DibSurface& dib) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < dib.Height(); ++y)
        out.insert(out.end(), dib.Bits() + std::size_t(y) * dib.BytesPerScanline(),
                   dib.Bits() + std::size_t(y) * dib.BytesPerScanline() + dib.Width());
    return out;
}

// The indices of clip frame k drawn onto a width x height surface (column x
// from source column x * w / width, rows likewise) and dithered.
std::vector<std::uint8_t> ExpectedIndices(const Clip& c, int k, int width, int height) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(CubeIndex(c.colour(x * c.width / width, y * c.height / height, k), x, y));
    return out;
}

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

// ---- what the import leaves behind ---------------------------------------

struct RecordingProgress final : ImportProgress {
    std::vector<std::string> calls;
    void SetMax(std::int32_t maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void SetValue(std::int32_t value) override { calls.push_back("value " + std::to_string(value)); }
    void DoEvents() override { calls.push_back("events"); }
};

// max n, then per frame shown "value i", "events", then "value 0".
std::vector<std::string> ProgressOf(int max, int shown) {
    std::vector<std::string> calls{"max " + std::to_string(max)};
    for (int i = 1; i <= shown; ++i) calls.insert(calls.end(), {"value " + std::to_string(i), "events"});
    calls.push_back("value 0");
    return calls;
}

std::size_t OpenFileCount() {
    return std::size_t(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

// Checks that an import closed its file, on any path, errors included.
class AviImport : public ::testing::Test {
protected:
    void SetUp() override {
        reducer.InitDitherTables();
        reducer.SetPaletteMode(PaletteMode::Halftone);
        reducer.SetDitherMethod(DitherMethod::Ordered);
        m_files = OpenFileCount();
        doc.Destroy();
    }
    void TearDown() override { EXPECT_EQ(OpenFileCount(), m_files) << "the file is closed on every path"; }

    void ExpectUntouched() {
        EXPECT_EQ(doc.FramesCount(), 0);
        EXPECT_EQ(doc.ScreenWidth(), 0);
        EXPECT_EQ(doc.ScreenHeight(), 0);
        EXPECT_EQ(doc.ScreenPixelAspectByte(), 0);
        EXPECT_FALSE(doc.GlobalPaletteExists());
        EXPECT_EQ(doc.GlobalPaletteEntries(), 0);
        EXPECT_TRUE(progress.calls.empty());
    }

    TempDir dir;
    GifDocument doc;
    RecordingProgress progress;
    ColourReducer reducer;

private:
    std::size_t m_files = 0;
};

// ---- delays -------------------------------------------------------------

struct DelayCase {
    std::uint32_t fps;
    int frames;
    std::int16_t gifDelay;
};

class ImportDelays : public AviImport, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(ImportDelays, EveryFrameGetsTheMeanFrameTime) {
    const DelayCase& c = GetParam();
    Clip clip;
    clip.width = 2, clip.height = 2, clip.fps = c.fps, clip.frames = c.frames;
    WriteClip(dir / "clip.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), c.frames);
    for (std::int16_t i = 1; i <= c.frames; ++i) {
        EXPECT_EQ(doc.FrameDelay(i), c.gifDelay) << "frame " << i;
        EXPECT_EQ(doc.FrameDisposalMethod(i), FrameDisposal::RestorePrevious);
    }
    EXPECT_EQ(progress.calls, ProgressOf(c.frames, c.frames));
}

INSTANTIATE_TEST_SUITE_P(Rates, ImportDelays,
                         ::testing::Values(DelayCase{5, 10, 20},   // 2000 ms / 10 = 200 ms
                                           DelayCase{30, 30, 3},   // 1000 / 30 = 33.3 -> 33 ms
                                           DelayCase{30, 10, 3},   // 333 / 10 = 33.3 -> 33 ms
                                           DelayCase{8, 8, 12},    // 125 ms: 12.5 to even
                                           DelayCase{8, 3, 12},    // 375 / 3 = 125 ms
                                           DelayCase{4, 2, 25},    // 250 ms
                                           DelayCase{15, 15, 7},   // 66.7 ms: nearest, not 6
                                           DelayCase{1, 1, 100}),  // 1000 ms
                         [](const auto& info) {
                             return std::to_string(info.param.fps) + "fps_" + std::to_string(info.param.frames);
                         });

TEST(StreamDurationMs, TimeAtTheEndOfTheStream) {
    Clip clip;
    clip.width = 2, clip.height = 1, clip.fps = 3, clip.frames = 4;
    TempDir dir;
    WriteClip(dir / "clip.avi", clip);
    const auto opened = Reader::OpenFile((dir / "clip.avi").string());
    ASSERT_EQ(opened.result, OpenResult::Ok);
    EXPECT_EQ(StreamDurationMs(*opened.reader), 1333);  // 4 / 3 s, rounded down

    // The stream's start counts: from sample 2, the end is sample 6.
    auto bytes = ReadBytes(dir / "clip.avi");
    const char strh[] = "strh";
    const std::size_t start = std::size_t(std::search(bytes.begin(), bytes.end(), strh, strh + 4) - bytes.begin()) + 8 + 28;
    const auto WithStart = [&](std::uint32_t sample) {
        for (int i = 0; i < 4; ++i) bytes[start + i] = std::uint8_t(sample >> (8 * i));
        return Reader::OpenBytes(bytes).reader;
    };
    EXPECT_EQ(StreamDurationMs(*WithStart(2)), 2000);
    // A start + length past 31 bits.
    try {
        StreamDurationMs(*WithStart(0x7FFFFFFE));
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
}

// ---- pixels, palette, screen --------------------------------------------

TEST_F(AviImport, FramesAreTheVideoFramesDitheredOntoTheCube) {
    Clip clip;
    clip.width = 7, clip.height = 5, clip.frames = 3;
    WriteClip(dir / "clip.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 3);
    const auto cube = CubeTable();
    std::vector<std::uint8_t> table;
    for (std::int16_t i = 1; i <= 3; ++i) {
        const DibSurface& xorDib = doc.FrameDIBXOR(i);
        ASSERT_EQ(xorDib.BPP(), 8);
        ASSERT_EQ(xorDib.Width(), 7);
        ASSERT_EQ(xorDib.Height(), 5);
        EXPECT_EQ(Indices(xorDib), ExpectedIndices(clip, i - 1, 7, 5)) << "GIF frame " << i << " is video frame " << i - 1;
        xorDib.GetPalette(table);
        EXPECT_EQ(table, cube) << "frame " << i;
        // The palette's 216 entries are copied; the rest stays as it was (zero).
        EXPECT_EQ(Bytes(doc.LocalPalette(i)), cube) << "frame " << i;
        EXPECT_FALSE(doc.LocalPaletteUsed(i));
        EXPECT_EQ(doc.FrameLeft(i), 0);
        EXPECT_EQ(doc.FrameTop(i), 0);
    }
    EXPECT_EQ(doc.ScreenWidth(), 7);
    EXPECT_EQ(doc.ScreenHeight(), 5);
    EXPECT_EQ(doc.ScreenPixelAspectByte(), 49);
    EXPECT_TRUE(doc.GlobalPaletteExists());
    EXPECT_EQ(doc.GlobalPaletteEntries(), 216);
    EXPECT_EQ(Bytes(doc.GlobalPalette()), cube);
}

// Two decodes of the same JPEG frame (or a frame and its JPEG) differ by a
// few levels, which moves some pixels across a dither threshold: by one
// cube step at most, and rarely.
void ExpectCloseIndices(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& expected,
                        const std::string& what, std::size_t maxDiffering) {
    ASSERT_EQ(got.size(), expected.size()) << what;
    const auto cube = CubeTable();
    std::size_t differing = 0;
    for (std::size_t p = 0; p < got.size(); ++p) {
        if (got[p] == expected[p]) continue;
        ++differing;
        for (int channel = 0; channel < 3; ++channel)
            ASSERT_LE(std::abs(cube[4 * got[p] + channel] - cube[4 * expected[p] + channel]), 51)
                << what << " pixel " << p;
    }
    EXPECT_LE(differing, maxDiffering) << what;
}

TEST_F(AviImport, MotionJpegFramesImportAtTheirSize) {
    Clip clip;
    clip.width = 16, clip.height = 8, clip.frames = 2, clip.codec = Codec::MotionJpeg;
    clip.colour = [](int x, int y, int k) {
        return Bgr{std::uint8_t(40 + 8 * x), std::uint8_t(60 + 15 * y), std::uint8_t(200 - 60 * k)};
    };
    WriteClip(dir / "clip.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 2);
    for (std::int16_t i = 1; i <= 2; ++i) {
        ASSERT_EQ(doc.FrameDIBXOR(i).Width(), 16);
        ASSERT_EQ(doc.FrameDIBXOR(i).Height(), 8);
        // Against the frame before compression: a quarter of the pixels may move.
        ExpectCloseIndices(Indices(doc.FrameDIBXOR(i)), ExpectedIndices(clip, i - 1, 16, 8),
                           "frame " + std::to_string(i), 32);
    }
}

// The frame is drawn scaled to right x bottom of the frame rectangle;
// its left and top play no part.
TEST_F(AviImport, NonzeroLeftAndTopStillTakeRightAndBottomAsTheSize) {
    Clip clip;
    clip.width = 4, clip.height = 3, clip.frames = 2;
    clip.rect = FrameRect{2, 1, 8, 6};
    WriteClip(dir / "clip.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 2);
    EXPECT_EQ(doc.ScreenWidth(), 8);
    EXPECT_EQ(doc.ScreenHeight(), 6);
    for (std::int16_t i = 1; i <= 2; ++i) {
        ASSERT_EQ(doc.FrameDIBXOR(i).Width(), 8);
        ASSERT_EQ(doc.FrameDIBXOR(i).Height(), 6);
        ASSERT_EQ(doc.FrameDIBAND(i).Width(), 8);
        EXPECT_EQ(Indices(doc.FrameDIBXOR(i)), ExpectedIndices(clip, i - 1, 8, 6)) << "frame " << i;
        EXPECT_EQ(doc.FrameLeft(i), 0);
    }
}

// With the adaptive palette the first frame (shades of red) decides the
// palette; a later blue frame is reduced to it rather than given its own.
TEST_F(AviImport, LaterFramesKeepThePaletteOfTheFirst) {
    reducer.SetPaletteMode(PaletteMode::Adaptive);
    Clip clip;
    clip.width = 8, clip.height = 4, clip.frames = 3;
    clip.colour = [](int x, int y, int k) {
        if (k == 0) return Bgr{0, 0, std::uint8_t(60 + 20 * x + 5 * y)};
        return Bgr{std::uint8_t(200 + 5 * x), std::uint8_t(10 * y), 0};
    };
    WriteClip(dir / "clip.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 3);
    const std::int16_t entries = doc.GlobalPaletteEntries();
    ASSERT_GT(entries, 0);
    ASSERT_LE(entries, 256);
    const auto global = Bytes(doc.GlobalPalette());
    for (int e = 0; e < entries; ++e) EXPECT_LT(global[4 * e], 64) << "entry " << e << " is not from the red frame";
    std::vector<std::uint8_t> first, table;
    doc.FrameDIBXOR(1).GetPalette(first);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.begin() + 4 * entries),
              std::vector<std::uint8_t>(global.begin(), global.begin() + 4 * entries));
    for (std::int16_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(Bytes(doc.LocalPalette(i)), global) << "frame " << i;
        doc.FrameDIBXOR(i).GetPalette(table);
        EXPECT_EQ(table, first) << "frame " << i;
        for (std::uint8_t index : Indices(doc.FrameDIBXOR(i))) ASSERT_LT(index, entries) << "frame " << i;
    }
}

// ---- failures ---------------------------------------------------------------

TEST_F(AviImport, ZeroLengthStreamRaisesDivisionByZero) {
    Clip clip;
    clip.frames = 0;
    WriteClip(dir / "empty.avi", clip);
    try {
        ImportAviIntoGif((dir / "empty.avi").string(), doc, progress, reducer);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::DivisionByZero);
    }
    EXPECT_EQ(progress.calls, std::vector<std::string>{"max 0"});
    EXPECT_EQ(doc.FramesCount(), 0);
}

std::size_t FrameChunkAt(const std::vector<std::uint8_t>& file, int k) {
    const char movi[] = "movi";
    auto at = std::search(file.begin(), file.end(), movi, movi + 4);
    for (int n = 0; n <= k; ++n) {
        const char id[] = "00d";
        at = std::search(at + 1, file.end(), id, id + 3);
    }
    return std::size_t(at - file.begin());
}

TEST_F(AviImport, MissingOrBrokenFilesLeaveTheDocumentUntouched) {
    Clip clip;
    WriteClip(dir / "good.avi", clip);
    const auto good = ReadBytes(dir / "good.avi");
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> broken{
        {"text", std::vector<std::uint8_t>(200, 'x')},
        {"empty", {}},
        {"headers_cut", std::vector<std::uint8_t>(good.begin(), good.begin() + 100)},
    };
    // A codec the reader has no decoder for: the frame reader does not open.
    auto xvid = good;
    const char strf[] = "strf";
    const std::size_t format = std::size_t(std::search(xvid.begin(), xvid.end(), strf, strf + 4) - xvid.begin()) + 8;
    std::memcpy(&xvid[format + 16], "XVID", 4);
    broken.emplace_back("unknown_codec", xvid);
    // No video stream: the only stream is audio.
    auto audio = good;
    const char vids[] = "vids";
    std::memcpy(&*std::search(audio.begin(), audio.end(), vids, vids + 4), "auds", 4);
    broken.emplace_back("audio_only", audio);

    for (const auto& [name, bytes] : broken) {
        WriteBytes(dir / (name + ".avi"), bytes);
        EXPECT_FALSE(ImportAviIntoGif((dir / (name + ".avi")).string(), doc, progress, reducer)) << name;
        ExpectUntouched();
    }
    EXPECT_FALSE(ImportAviIntoGif((dir / "missing.avi").string(), doc, progress, reducer));
    EXPECT_FALSE(ImportAviIntoGif(dir.path().string(), doc, progress, reducer)) << "a folder";
    ExpectUntouched();
}

// A frame whose chunk is damaged cannot be fetched: the frames before it
// stay, its own GIF frame stays inserted but unfilled, and the screen and
// palette are set as after a full import.
TEST_F(AviImport, AFrameThatCannotBeFetchedEndsTheImport) {
    Clip clip;
    clip.width = 5, clip.height = 3, clip.frames = 4;
    WriteClip(dir / "clip.avi", clip);
    auto bytes = ReadBytes(dir / "clip.avi");
    std::memcpy(&bytes[FrameChunkAt(bytes, 2)], "99", 2);
    WriteBytes(dir / "clip.avi", bytes);

    EXPECT_FALSE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 3);
    const auto cube = CubeTable();
    for (std::int16_t i = 1; i <= 2; ++i) {
        EXPECT_EQ(Indices(doc.FrameDIBXOR(i)), ExpectedIndices(clip, i - 1, 5, 3));
        EXPECT_EQ(doc.FrameDelay(i), 20);
        EXPECT_EQ(Bytes(doc.LocalPalette(i)), cube);
    }
    EXPECT_EQ(doc.FrameDIBXOR(3).BPP(), 8);
    EXPECT_EQ(doc.FrameDIBXOR(3).Width(), 5);
    EXPECT_EQ(Indices(doc.FrameDIBXOR(3)), std::vector<std::uint8_t>(15, 0));
    EXPECT_EQ(Bytes(doc.LocalPalette(3)), std::vector<std::uint8_t>(1024, 0));
    EXPECT_EQ(doc.FrameDelay(3), 0);
    EXPECT_EQ(doc.FrameDisposalMethod(3), FrameDisposal::Unspecified);
    EXPECT_EQ(doc.ScreenWidth(), 5);
    EXPECT_EQ(doc.ScreenHeight(), 3);
    EXPECT_EQ(doc.ScreenPixelAspectByte(), 49);
    EXPECT_TRUE(doc.GlobalPaletteExists());
    EXPECT_EQ(doc.GlobalPaletteEntries(), 216);
    EXPECT_EQ(Bytes(doc.GlobalPalette()), cube);
    EXPECT_EQ(progress.calls, ProgressOf(4, 2));
}

TEST_F(AviImport, AFirstFrameThatCannotBeFetchedLeavesNoPalette) {
    Clip clip;
    clip.frames = 2;
    WriteClip(dir / "clip.avi", clip);
    auto bytes = ReadBytes(dir / "clip.avi");
    // The chunk says it holds one byte: too few for the frame's rows.
    const std::uint8_t one[4] = {1, 0, 0, 0};
    std::memcpy(&bytes[FrameChunkAt(bytes, 0) + 4], one, 4);
    WriteBytes(dir / "clip.avi", bytes);

    EXPECT_FALSE(ImportAviIntoGif((dir / "clip.avi").string(), doc, progress, reducer));
    EXPECT_EQ(doc.FramesCount(), 1);
    EXPECT_EQ(doc.ScreenWidth(), 6);
    EXPECT_TRUE(doc.GlobalPaletteExists());
    EXPECT_EQ(doc.GlobalPaletteEntries(), 0);
    EXPECT_EQ(Bytes(doc.GlobalPalette()), std::vector<std::uint8_t>(1024, 0));
    EXPECT_EQ(progress.calls, ProgressOf(2, 0));
}

// Frame numbers go past 16 bits: every frame is imported, the last one
// included, and the progress counts to the end.
TEST_F(AviImport, FramesPast32767AreImported) {
    Clip clip;
    clip.width = 1, clip.height = 1, clip.frames = 32769, clip.fps = 30;
    clip.colour = [](int, int, int k) { return k == 32768 ? Bgr{200, 100, 50} : Bgr{10, 20, 30}; };
    WriteClip(dir / "long.avi", clip);
    ASSERT_TRUE(ImportAviIntoGif((dir / "long.avi").string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 32769);
    EXPECT_EQ(doc.FrameDelay(32769), 3);
    EXPECT_EQ(doc.FrameDisposalMethod(32769), FrameDisposal::RestorePrevious);
    EXPECT_EQ(Indices(doc.FrameDIBXOR(32768)), ExpectedIndices(clip, 32767, 1, 1));
    EXPECT_EQ(Indices(doc.FrameDIBXOR(32769)), ExpectedIndices(clip, 32768, 1, 1));
    EXPECT_NE(ExpectedIndices(clip, 32768, 1, 1), ExpectedIndices(clip, 32767, 1, 1));
    EXPECT_TRUE(doc.GlobalPaletteExists());
    ASSERT_GE(progress.calls.size(), 3u);
    EXPECT_EQ(progress.calls.front(), "max 32769");
    EXPECT_EQ(progress.calls[progress.calls.size() - 3], "value 32769");
}

// ---- files written by ffmpeg ------------------------------------------------

// Every frame of the file decoded by ffmpeg to 32-bit BGRA, top row first.
std::vector<std::vector<std::uint8_t>> DecodeWithFfmpeg(const fs::path& file, int width, int height) {
    const fs::path raw = file.string() + ".bgra";
    const std::string command = std::string(kFfmpeg) + " -v error -y -i " + Quote(file) +
                                " -f rawvideo -pix_fmt bgra " + Quote(raw);
    EXPECT_EQ(Run(command), 0) << command;
    const auto bytes = ReadBytes(raw);
    const std::size_t frameBytes = std::size_t(width) * height * 4;
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes)
        frames.emplace_back(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + frameBytes));
    return frames;
}

// The frames reduced by a ColourReducer on their own, one palette for all.
std::vector<std::vector<std::uint8_t>> DitherFrames(ColourReducer& reducer,
                                                    const std::vector<std::vector<std::uint8_t>>& frames, int width,
                                                    int height) {
    std::vector<std::vector<std::uint8_t>> out;
    Palette256 palette;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        DibSurface source, target;
        EXPECT_TRUE(source.Create(width, height, 32));
        for (int y = 0; y < height; ++y)
            std::memcpy(source.Bits() + std::size_t(y) * source.BytesPerScanline(),
                        frames[k].data() + std::size_t(y) * width * 4, std::size_t(width) * 4);
        reducer.ConvertTo8bpp(source, target, palette, k > 0);
        out.push_back(Indices(target));
    }
    return out;
}

struct FfmpegCase {
    const char* name;
    const char* codec;
    bool exact;
};

class FfmpegImport : public AviImport, public ::testing::WithParamInterface<FfmpegCase> {};

TEST_P(FfmpegImport, TestPatternImportsFrameForFrame) {
    CROSSMELD_REQUIRE_PROGRAM(kFfmpeg);
    const FfmpegCase& c = GetParam();
    const fs::path avi = dir / "x.avi";
    const std::string command = std::string(kFfmpeg) +
                                " -v error -y -f lavfi -i testsrc=size=64x48:rate=5 -frames:v 10 -c:v " + c.codec +
                                " " + Quote(avi);
    ASSERT_EQ(RunCommand(command), 0) << command;
    ASSERT_TRUE(ImportAviIntoGif(avi.string(), doc, progress, reducer));
    ASSERT_EQ(doc.FramesCount(), 10);
    EXPECT_EQ(doc.ScreenWidth(), 64);
    EXPECT_EQ(doc.ScreenHeight(), 48);

    const auto expected = DitherFrames(reducer, DecodeWithFfmpeg(avi, 64, 48), 64, 48);
    ASSERT_EQ(expected.size(), 10u);
    for (std::int16_t i = 1; i <= 10; ++i) {
        EXPECT_EQ(doc.FrameDelay(i), 20) << "5 frames a second";
        ASSERT_EQ(doc.FrameDIBXOR(i).Width(), 64);
        ASSERT_EQ(doc.FrameDIBXOR(i).Height(), 48);
        const auto got = Indices(doc.FrameDIBXOR(i));
        if (c.exact) {
            EXPECT_EQ(got, expected[i - 1]) << "frame " << i;
            continue;
        }
        ExpectCloseIndices(got, expected[i - 1], "frame " + std::to_string(i), got.size() / 20);
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, FfmpegImport,
                         ::testing::Values(FfmpegCase{"rawvideo_bgr24", "rawvideo -pix_fmt bgr24", true},
                                           FfmpegCase{"mjpeg", "mjpeg", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace crossmeld::test
