// The GIF writer: the file layout spelled out byte by byte, the table sizes
// and flag bytes, the failures, the progress calls, and files that
// ImageMagick, PIL and ffmpeg decode to exactly the frames we wrote.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/gif/GifDocument.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RecordingProgress final : public GifProgress {
public:
    explicit RecordingProgress(std::vector<std::string>* log = nullptr) : m_log(log) {}
    void SetTotal(std::int32_t frames) override { Note("total " + std::to_string(frames)); }
    void SetValue(std::int32_t frame) override { Note("value " + std::to_string(frame)); }

private:
    void Note(const std::string& s) {
        if (m_log) m_log->push_back(s);
    }
    std::vector<std::string>* m_log;
};

// Saves into a fresh folder; the bytes, or nothing when Save returned false.
std::optional<Bytes> SaveBytes(GifDocument& gif) {
    TempDir dir;
    RecordingProgress progress;
    if (!gif.Save((dir / "out.gif").string(), progress)) return std::nullopt;
    return ReadBytes(dir / "out.gif");
}

void Append(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}
void Append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

void SetPixels(DibSurface& dib, const Bytes& pixels) {
    for (std::int32_t y = 0; y < dib.Height(); ++y)
        std::memcpy(dib.Bits() + y * dib.BytesPerScanline(), pixels.data() + y * dib.Width(),
                    static_cast<std::size_t>(dib.Width()));
}

// A one-frame document of a 1 x 1 black frame with a global table.
GifDocument OneFrame(std::int16_t globalEntries = 2) {
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 1, 1);
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(globalEntries);
    return gif;
}

// Offsets in a one-frame file with a global table of 2^g entries.
struct OneFrameLayout {
    explicit OneFrameLayout(int g) : table(13), loop(13 + 3 * (1 << g)), control(loop + 19), image(control + 8) {}
    std::size_t table, loop, control, image;
    std::size_t imageFlags() const { return image + 9; }
    std::size_t codeSize(std::size_t localTable = 0) const { return image + 10 + localTable; }
};

// ---- the layout, byte by byte -------------------------------------------------

TEST(GifWriter, TwoFramesWithAGlobalPaletteSpelledOut) {
    GifDocument gif;
    gif.Destroy();
    for (std::int16_t k = 1; k <= 2; ++k) {
        gif.FrameInsert(k, 2, 2);
        SetPixels(gif.FrameDIBXOR(k), {0, 1, 1, 0});
        gif.SetFrameDisposalMethod(k, FrameDisposal::RestorePrevious);
        gif.SetFrameDelay(k, 20);
    }
    gif.SetFrameInterlaced(2, true);
    gif.SetLocalPaletteSorted(2, true);
    gif.SetScreenPixelAspectRatio(1.0f);
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(256);
    auto palette = gif.GlobalPalette();
    for (int i = 0; i < 256; ++i) {
        palette[4 * i] = static_cast<std::uint8_t>(i);            // blue
        palette[4 * i + 1] = static_cast<std::uint8_t>(255 - i);  // green
        palette[4 * i + 2] = static_cast<std::uint8_t>(i / 2);    // red
        palette[4 * i + 3] = 0xAA;                                // reserved, never written
    }

    Bytes want;
    Append(want, "GIF89a");
    Append(want, {0x02, 0x00, 0x02, 0x00});  // screen 2 x 2
    Append(want, {0xF7});                    // global table, resolution 8, not sorted, 256 entries
    Append(want, {0x00});                    // background index
    Append(want, {49});                      // aspect 1:1 -> 49
    for (int i = 0; i < 256; ++i) Append(want, {i / 2, 255 - i, i});  // red, green, blue
    Append(want, {0x21, 0xFF, 0x0B});        // application extension, 11 bytes follow
    Append(want, "NETSCAPE2.0");
    Append(want, {0x03, 0x01, 0x00, 0x00, 0x00});  // loop sub-block: loops 0, then terminator
    for (int k = 1; k <= 2; ++k) {
        Append(want, {0x21, 0xF9, 0x04});  // graphic control extension
        Append(want, {0x0C});              // disposal 3, no user input, no transparency
        Append(want, {0x14, 0x00});        // delay 20
        Append(want, {0x00, 0x00});        // transparent index, terminator
        Append(want, {0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00});  // at (0, 0), 2 x 2
        Append(want, {k == 1 ? 0x07 : 0x07 + 0x40 + 0x20});  // size field 7; interlaced, sorted bit
        Append(want, {0x08});                                // minimum code size 8
        // Codes 256 0 1 1 0 257 at 9 bits (two rows: no interlacing).
        Append(want, {0x07, 0x00, 0x01, 0x04, 0x08, 0x00, 0x20, 0x20});
        Append(want, {0x00});
    }
    Append(want, {0x3B});

    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, want);
}

TEST(GifWriter, EmptyDocumentIs87aWithoutLoopingExtension) {
    GifDocument gif;
    gif.Destroy();
    gif.SetScreenWidth(3);
    Bytes want;
    Append(want, "GIF87a");
    Append(want, {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    Append(want, {0x3B});
    EXPECT_EQ(SaveBytes(gif), want);

    // The global table survives Destroy; with 0 entries it is 2 black entries.
    gif.SetGlobalPaletteExists(true);
    gif.Destroy();
    want.clear();
    Append(want, "GIF87a");
    Append(want, {0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00});
    Append(want, {0, 0, 0, 0, 0, 0});
    Append(want, {0x3B});
    EXPECT_EQ(SaveBytes(gif), want);

    // A blank record asking for transparency makes it 89a.
    gif.SetFrameUseTransparentColor(1, true);
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->begin(), got->begin() + 6), "GIF89a");
    EXPECT_EQ(got->size(), 6u + 7 + 6 + 1);
}

TEST(GifWriter, OneFrameIs89aWithTheLoopCount) {
    for (std::int16_t loops : {0, 5, -1}) {
        GifDocument gif = OneFrame();
        gif.SetAnimationLoops(loops);
        const auto got = SaveBytes(gif);
        ASSERT_TRUE(got);
        EXPECT_EQ(std::string(got->begin(), got->begin() + 6), "GIF89a");
        const OneFrameLayout at(1);
        EXPECT_EQ((*got)[at.loop + 16], loops & 0xFF);
        EXPECT_EQ((*got)[at.loop + 17], (loops >> 8) & 0xFF);
    }
}

struct GlobalTableCase {
    std::int16_t entries;
    bool sorted;
    int g;
    int screenFlags;
    int codeSize;
};

class GifGlobalTable : public ::testing::TestWithParam<GlobalTableCase> {};

TEST_P(GifGlobalTable, SizeFlagsAndCodeSize) {
    const GlobalTableCase& c = GetParam();
    GifDocument gif = OneFrame(c.entries);
    gif.SetGlobalPaletteSorted(c.sorted);
    auto palette = gif.GlobalPalette();
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = 0x55;
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    const OneFrameLayout at(c.g);
    EXPECT_EQ((*got)[10], c.screenFlags);
    // Entries past the meaningful ones are written black.
    const std::size_t used = static_cast<std::size_t>(std::max<int>(c.entries, 0));
    for (std::size_t i = 0; i < std::size_t{3} << c.g; ++i)
        EXPECT_EQ((*got)[at.table + i], i < 3 * used ? 0x55 : 0x00) << "table byte " << i;
    EXPECT_EQ((*got)[at.loop], 0x21);
    EXPECT_EQ((*got)[at.imageFlags()], c.g - 1);  // no local table: the global size field
    EXPECT_EQ((*got)[at.codeSize()], c.codeSize);
}

INSTANTIATE_TEST_SUITE_P(Entries, GifGlobalTable,
                         ::testing::Values(GlobalTableCase{2, false, 1, 0x80, 2}, GlobalTableCase{2, true, 1, 0x88, 2},
                                           GlobalTableCase{0, false, 1, 0x80, 2}, GlobalTableCase{1, false, 1, 0x80, 2},
                                           GlobalTableCase{-3, false, 1, 0x80, 2}, GlobalTableCase{3, false, 2, 0x91, 2},
                                           GlobalTableCase{4, true, 2, 0x99, 2}, GlobalTableCase{5, false, 3, 0xA2, 3},
                                           GlobalTableCase{16, false, 4, 0xB3, 4},
                                           GlobalTableCase{129, false, 8, 0xF7, 8},
                                           GlobalTableCase{256, true, 8, 0xFF, 8}));

struct ControlCase {
    int disposal;
    bool userInput;
    bool transparent;
    int index;
    int flags;
    int writtenIndex;
};

class GifGraphicControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(GifGraphicControl, FlagsAndTransparentIndex) {
    const ControlCase& c = GetParam();
    GifDocument gif = OneFrame();
    gif.SetFrameDisposalMethod(1, static_cast<FrameDisposal>(c.disposal));
    gif.SetFrameUserInput(1, c.userInput);
    gif.SetFrameUseTransparentColor(1, c.transparent);
    gif.SetFrameTransparentColorIndex(1, c.index);
    gif.SetFrameDelay(1, -2);
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    const OneFrameLayout at(1);
    EXPECT_EQ(Bytes(got->begin() + at.control, got->begin() + at.control + 8),
              (Bytes{0x21, 0xF9, 0x04, std::uint8_t(c.flags), 0xFE, 0xFF, std::uint8_t(c.writtenIndex), 0x00}));
}

INSTANTIATE_TEST_SUITE_P(Frames, GifGraphicControl,
                         ::testing::Values(ControlCase{3, false, false, 9, 0x0C, 0},
                                           ControlCase{0, false, true, 9, 0x01, 9},
                                           ControlCase{1, true, false, 200, 0x06, 0},
                                           ControlCase{7, true, true, 255, 0x1F, 255},
                                           // not masked to three bits
                                           ControlCase{63, false, false, 0, 0xFC, 0},
                                           ControlCase{8, false, true, 1, 0x21, 1}));

TEST(GifWriter, LocalTableOfFourEntries) {
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 3, 1);
    SetPixels(gif.FrameDIBXOR(1), {0, 3, 2});
    gif.SetFrameLeft(1, 258);
    gif.SetFrameTop(1, -1);
    gif.SetLocalPaletteUsed(1, true);
    gif.SetLocalPaletteEntries(1, 4);
    auto palette = gif.LocalPalette(1);
    for (int i = 0; i < 4; ++i) {
        palette[4 * i] = static_cast<std::uint8_t>(0x10 + i);      // blue
        palette[4 * i + 1] = static_cast<std::uint8_t>(0x20 + i);  // green
        palette[4 * i + 2] = static_cast<std::uint8_t>(0x30 + i);  // red
    }
    palette[16] = 0x99;  // entry 4: past the table, not written
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    Bytes want;
    Append(want, "GIF89a");
    Append(want, {0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00});  // no global table
    Append(want, {0x21, 0xFF, 0x0B});
    Append(want, "NETSCAPE2.0");
    Append(want, {0x03, 0x01, 0x00, 0x00, 0x00});
    Append(want, {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
    Append(want, {0x2C, 0x02, 0x01, 0xFF, 0xFF, 0x03, 0x00, 0x01, 0x00});  // at (258, -1), 3 x 1
    Append(want, {0x81});                                                 // local table of 4 entries
    Append(want, {0x30, 0x20, 0x10, 0x31, 0x21, 0x11, 0x32, 0x22, 0x12, 0x33, 0x23, 0x13});
    Append(want, {0x02});  // minimum code size 2
    // Codes 4, 0, 3, 2 at 3 bits, then 5 at 4 bits (the width grows after
    // the code emitted while the next free code is 8):
    // 4 | 0 << 3 | 3 << 6 | 2 << 9 | 5 << 12 = 0x54C4.
    Append(want, {0x02, 0xC4, 0x54});
    Append(want, {0x00, 0x3B});
    EXPECT_EQ(*got, want);
}

TEST(GifWriter, IndicesPastASmallTableRaiseTheMinimumCodeSize) {
    // A 4-entry global table asks for code size 2, but pixel 9 needs 4 bits:
    // minimum code size 4, codes 16 (clear), 0, 9, 17 (end) at 5 bits:
    // 16 | 0 << 5 | 9 << 10 | 17 << 15 = 0x8A410.
    GifDocument gif = OneFrame(4);
    gif.FrameDIBXOR(1).Create(2, 1, 8);
    SetPixels(gif.FrameDIBXOR(1), {0, 9});
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    const OneFrameLayout at(2);
    EXPECT_EQ((*got)[at.imageFlags()], 0x01);  // the table size field stays that of the table
    EXPECT_EQ(Bytes(got->begin() + at.codeSize(), got->end()), (Bytes{0x04, 0x03, 0x10, 0xA4, 0x08, 0x00, 0x3B}));
}

TEST(GifWriter, SortBitFollowsLocalPaletteSortedWithoutALocalTable) {
    GifDocument gif = OneFrame(256);
    gif.SetLocalPaletteSorted(1, true);
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    EXPECT_EQ((*got)[OneFrameLayout(8).imageFlags()], 0x27);
}

TEST(GifWriter, SurfaceWithoutEightBitsWritesNoImageData) {
    GifDocument gif = OneFrame();
    gif.FrameDIBXOR(1).Create(2, 2, 24);
    const auto got = SaveBytes(gif);
    ASSERT_TRUE(got);
    const OneFrameLayout at(1);
    EXPECT_EQ(Bytes(got->begin() + at.image + 5, got->end()), (Bytes{0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x3B}));
}

// ---- failures -----------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(GifDocument&)> spoil;
};

class GifSaveFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(GifSaveFailure, ReturnsFalseAndLeavesTheOldFile) {
    GifDocument gif = OneFrame();
    GetParam().spoil(gif);
    TempDir dir;
    const fs::path target = dir / "out.gif";
    WriteBytes(target, {'o', 'l', 'd'});
    RecordingProgress progress;
    EXPECT_FALSE(gif.Save(target.string(), progress));
    EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "a file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Documents, GifSaveFailure,
    ::testing::Values(FailureCase{"GlobalAbove256", [](GifDocument& g) { g.SetGlobalPaletteEntries(257); }},
                      FailureCase{"LocalAbove256",
                                  [](GifDocument& g) {
                                      g.SetLocalPaletteUsed(1, true);
                                      g.SetLocalPaletteEntries(1, 300);
                                  }},
                      FailureCase{"NoColourTable", [](GifDocument& g) { g.SetGlobalPaletteExists(false); }},
                      FailureCase{"DisposalAbove63",
                                  [](GifDocument& g) { g.SetFrameDisposalMethod(1, static_cast<FrameDisposal>(64)); }},
                      FailureCase{"NoFrameStorage", [](GifDocument& g) { g = GifDocument(); }},
                      FailureCase{"SurfaceWiderThan32767",
                                  [](GifDocument& g) { ASSERT_TRUE(g.FrameDIBXOR(1).Create(40000, 1, 8)); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifWriter, FailingProgressEndsTheSave) {
    class Throwing final : public GifProgress {
    public:
        void SetTotal(std::int32_t) override {}
        void SetValue(std::int32_t) override { throw std::runtime_error("progress bar gone"); }
    } progress;
    GifDocument gif = OneFrame();
    TempDir dir;
    EXPECT_FALSE(gif.Save((dir / "out.gif").string(), progress));
    EXPECT_FALSE(fs::exists(dir / "out.gif"));
}

TEST(GifWriter, UnwritableTargetFails) {
    GifDocument gif = OneFrame();
    TempDir dir;
    RecordingProgress progress;
    EXPECT_FALSE(gif.Save((dir / "missing" / "out.gif").string(), progress));
    EXPECT_FALSE(gif.Save(dir.path().string(), progress));  // a folder
}

TEST(GifWriter, FullDiskGivesFalseAndNoTruncatedFile) {
    // A file size limit makes writes past 4 KiB fail as on a full disk.
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 200, 200);
    std::mt19937 rng(1);
    Bytes pixels(200 * 200);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(rng());
    SetPixels(gif.FrameDIBXOR(1), pixels);
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(256);

    TempDir dir;
    const fs::path target = dir / "out.gif";
    WriteBytes(target, {'o', 'l', 'd'});
    RecordingProgress progress;
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = gif.Save(target.string(), progress);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    // Without the limit the same document saves.
    EXPECT_TRUE(gif.Save(target.string(), progress));
    EXPECT_GT(fs::file_size(target), 40000u);
}

TEST(GifWriter, ProgressGetsTheTotalThenEachFrameWithEventsBetween) {
    GifDocument gif = OneFrame();
    gif.FrameInsert(2, 1, 1);
    gif.FrameInsert(3, 1, 1);
    std::vector<std::string> log;
    RecordingProgress progress(&log);
    TempDir dir;
    ASSERT_TRUE(gif.Save((dir / "out.gif").string(), progress, [&] { log.push_back("events"); }));
    EXPECT_EQ(log, (std::vector<std::string>{"events", "total 3", "value 1", "events", "value 2", "events", "value 3",
                                             "events"}));
}

// 32768 frames: the frame loop and the progress numbers go past 16 bits, and
// giflib finds every image.
TEST(GifWriter, FramesPast32767AreAllWritten) {
    GifDocument gif = OneFrame();
    for (std::int32_t k = 2; k <= 32768; ++k) gif.FrameInsert(k, 1, 1);
    SetPixels(gif.FrameDIBXOR(32768), {1});
    std::vector<std::string> log;
    RecordingProgress progress(&log);
    TempDir dir;
    ASSERT_TRUE(gif.Save((dir / "many.gif").string(), progress));
    ASSERT_EQ(log.size(), 32769u);
    EXPECT_EQ(log.front(), "total 32768");
    EXPECT_EQ(log.back(), "value 32768");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    std::string out;
    ASSERT_EQ(RunCommand("/usr/bin/python3 " + Quote(SourceDir() / "tests" / "data" / "gif" / "giflib_frames.py") +
                             " " + Quote(dir / "many.gif") + " | tail -n 2",
                         &out),
              0);
    EXPECT_EQ(out, "frame 32768 0 0 1 1 0\npixels 01\n");
}

TEST(GifWriter, SaveReplacesAnExistingFile) {
    GifDocument gif = OneFrame();
    TempDir dir;
    const fs::path target = dir / "out.gif";
    WriteBytes(target, Bytes(100000, 0x42));
    RecordingProgress progress;
    ASSERT_TRUE(gif.Save(target.string(), progress));
    const Bytes got = ReadBytes(target);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 6), "GIF89a");
    EXPECT_EQ(got.back(), 0x3B);
    EXPECT_LT(got.size(), 100u);
}

// ---- third-party decoders ---------------------------------------------------

struct RgbaFrame {
    int width = 0, height = 0, left = 0, top = 0;
    Bytes rgba;  // alpha 0 for transparent pixels
};

// The frames of a document as viewers should show each of them by itself:
// indices through the frame's table (local when used, else global).
std::vector<RgbaFrame> ExpectedFrames(GifDocument& gif) {
    std::vector<RgbaFrame> frames;
    for (std::int16_t k = 1; k <= gif.FramesCount(); ++k) {
        const DibSurface& dib = gif.FrameDIBXOR(k);
        const auto palette = gif.LocalPaletteUsed(k) ? gif.LocalPalette(k) : gif.GlobalPalette();
        RgbaFrame f{dib.Width(), dib.Height(), gif.FrameLeft(k), gif.FrameTop(k), {}};
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const std::uint8_t i = dib.Bits()[y * dib.BytesPerScanline() + x];
                const bool clear = gif.FrameUseTransparentColor(k) && i == gif.FrameTransparentColorIndex(k);
                Append(f.rgba, {palette[4 * i + 2], palette[4 * i + 1], palette[4 * i], clear ? 0 : 255});
            }
        frames.push_back(std::move(f));
    }
    return frames;
}

struct RandomDocOptions {
    bool fullScreen;    // every frame covers the screen at (0, 0)
    bool transparency;  // frames may use a transparent colour
    bool localTables;   // frames may carry their own table
};

// A random document: screen 1 x 1 .. 300 x 200, 1 .. 4 frames, tables of 2 ..
// 256 colours, interlaced or not, delays 2 .. 300.
GifDocument RandomDoc(std::mt19937& rng, const RandomDocOptions& o) {
    auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
    const std::int16_t sw = static_cast<std::int16_t>(pick(1, 300)), sh = static_cast<std::int16_t>(pick(1, 200));
    const int frames = pick(1, 4);
    const bool global = !o.localTables || pick(0, 2) > 0;
    GifDocument gif;
    gif.Destroy();
    auto fill = [&](std::span<std::uint8_t, 1024> palette) {
        for (auto& b : palette) b = static_cast<std::uint8_t>(rng());
    };
    const int globalColours = pick(2, 256);
    for (std::int16_t k = 1; k <= frames; ++k) {
        const std::int16_t w = o.fullScreen ? sw : static_cast<std::int16_t>(pick(1, sw));
        const std::int16_t h = o.fullScreen ? sh : static_cast<std::int16_t>(pick(1, sh));
        gif.FrameInsert(k, w, h);
        if (!o.fullScreen) {
            gif.SetFrameLeft(k, static_cast<std::int16_t>(pick(0, sw - w)));
            gif.SetFrameTop(k, static_cast<std::int16_t>(pick(0, sh - h)));
        }
        const bool local = !global || (o.localTables && pick(0, 1) == 1);
        const int colours = local ? pick(2, 256) : globalColours;
        if (local) {
            gif.SetLocalPaletteUsed(k, true);
            gif.SetLocalPaletteEntries(k, static_cast<std::int16_t>(colours));
            fill(gif.LocalPalette(k));
        }
        DibSurface& dib = gif.FrameDIBXOR(k);
        const bool smooth = pick(0, 1) == 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dib.Bits()[y * dib.BytesPerScanline() + x] =
                    static_cast<std::uint8_t>(smooth ? (x / 3 + y / 5) % colours : pick(0, colours - 1));
        gif.SetFrameInterlaced(k, pick(0, 1) == 1);
        gif.SetFrameDelay(k, static_cast<std::int16_t>(pick(2, 300)));
        gif.SetFrameDisposalMethod(k, FrameDisposal::RestorePrevious);
        if (o.transparency && pick(0, 1) == 1) {
            gif.SetFrameUseTransparentColor(k, true);
            gif.SetFrameTransparentColorIndex(k, pick(0, colours - 1));
        }
    }
    gif.SetScreenPixelAspectRatio(1.0f);
    if (global) {
        gif.SetGlobalPaletteExists(true);
        gif.SetGlobalPaletteEntries(static_cast<std::int16_t>(globalColours));
        fill(gif.GlobalPalette());
    }
    return gif;
}

// The RGB (and alpha) of a pixel of a table entry past the meaningful ones
// is black in the file, so expectations only use indices below the count.
TEST(GifInterop, ImageMagickReadsEveryFrameAsWritten) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/convert");
    std::mt19937 rng(42);
    for (int round = 0; round < 12; ++round) {
        GifDocument gif = RandomDoc(rng, {false, true, true});
        TempDir dir;
        const fs::path file = dir / "doc.gif";
        RecordingProgress progress;
        ASSERT_TRUE(gif.Save(file.string(), progress));
        const auto want = ExpectedFrames(gif);

        std::string info;
        ASSERT_EQ(RunCommand("/usr/bin/identify -format '%w %h %X %Y %T %W %H\\n' " + Quote(file), &info), 0);
        std::istringstream lines(info);
        for (std::size_t k = 0; k < want.size(); ++k) {
            int w, h, x, y, delay, sw, sh;
            ASSERT_TRUE(lines >> w >> h >> x >> y >> delay >> sw >> sh) << "round " << round << " frame " << k;
            EXPECT_EQ(w, want[k].width);
            EXPECT_EQ(h, want[k].height);
            EXPECT_EQ(x, want[k].left);
            EXPECT_EQ(y, want[k].top);
            EXPECT_EQ(delay, gif.FrameDelay(static_cast<std::int16_t>(k + 1)));
            EXPECT_EQ(sw, gif.ScreenWidth());
            EXPECT_EQ(sh, gif.ScreenHeight());
        }
        int extra;
        EXPECT_FALSE(lines >> extra) << "more frames than written";

        ASSERT_EQ(RunCommand("/usr/bin/convert " + Quote(file) + " +adjoin -depth 8 " +
                             Quote(dir / "frame-%d.rgba") + " 2>&1"),
                  0);
        for (std::size_t k = 0; k < want.size(); ++k) {
            const Bytes got = ReadBytes(dir / ("frame-" + std::to_string(k) + ".rgba"));
            ASSERT_EQ(got.size(), want[k].rgba.size()) << "round " << round << " frame " << k;
            std::size_t wrong = 0;
            for (std::size_t p = 0; p < got.size(); p += 4) {
                const bool clear = want[k].rgba[p + 3] == 0;
                if (clear ? got[p + 3] != 0 : !std::equal(got.begin() + p, got.begin() + p + 4, want[k].rgba.begin() + p))
                    ++wrong;
            }
            EXPECT_EQ(wrong, 0u) << "round " << round << " frame " << k;
        }
        std::string loops;
        RunCommand("/usr/bin/identify -verbose " + Quote(file.string() + "[0]") + " | grep -i iterations", &loops);
        EXPECT_NE(loops.find("Iterations: 0"), std::string::npos) << loops;
    }
}

const char* const kPilScript = R"(import sys
from PIL import Image, GifImagePlugin
GifImagePlugin.LOADING_STRATEGY = GifImagePlugin.LoadingStrategy.RGB_AFTER_DIFFERENT_PALETTE_ONLY
im = Image.open(sys.argv[1])
print('frames', im.n_frames, 'loop', im.info.get('loop', -1))
for k in range(im.n_frames):
    im.seek(k)
    im.load()
    rgb = im.convert('RGB').tobytes().hex()
    data = bytes(im.getdata()).hex() if im.mode == 'P' else '-'
    print('frame', im.info.get('duration', -1), im.mode, im.size[0], im.size[1], data, rgb)
)";

TEST(GifInterop, PilReadsIndicesDelaysAndAnEndlessLoop) {
    TempDir dir;
    const fs::path script = dir / "read.py";
    std::ofstream(script) << kPilScript;
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        // Half the documents use only the global table, so every frame keeps
        // its palette indices in PIL.
        const bool localTables = round % 2 == 1;
        GifDocument gif = RandomDoc(rng, {true, false, localTables});
        const fs::path file = dir / ("doc" + std::to_string(round) + ".gif");
        RecordingProgress progress;
        ASSERT_TRUE(gif.Save(file.string(), progress));
        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/python3 " + Quote(script) + " " + Quote(file), &out), 0) << out;
        std::istringstream in(out);
        std::string word;
        int frames = 0, loop = -1;
        in >> word >> frames >> word >> loop;
        EXPECT_EQ(frames, gif.FramesCount()) << "round " << round;
        EXPECT_EQ(loop, 0);
        const auto want = ExpectedFrames(gif);
        for (std::int16_t k = 1; k <= frames && k <= gif.FramesCount(); ++k) {
            int duration = 0, w = 0, h = 0;
            std::string mode, indices, rgb;
            in >> word >> duration >> mode >> w >> h >> indices >> rgb;
            EXPECT_EQ(duration, gif.FrameDelay(k) * 10);
            ASSERT_EQ(w, gif.ScreenWidth());
            ASSERT_EQ(h, gif.ScreenHeight());
            const DibSurface& dib = gif.FrameDIBXOR(k);
            // PIL keeps palette indices only until a frame brings a palette of
            // its own; from then on it hands out RGB frames.
            if (!gif.GlobalPaletteExists() || localTables) {
                EXPECT_NE(mode, "") << "round " << round;
            } else {
                ASSERT_EQ(mode, "P") << "round " << round << " frame " << k;
                std::string expected;
                static const char* const hex = "0123456789abcdef";
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const std::uint8_t i = dib.Bits()[y * dib.BytesPerScanline() + x];
                        expected += hex[i >> 4];
                        expected += hex[i & 15];
                    }
                EXPECT_EQ(indices, expected) << "round " << round << " frame " << k;
            }
            std::string expectedRgb;
            static const char* const hex = "0123456789abcdef";
            for (std::size_t p = 0; p < want[k - 1].rgba.size(); p += 4)
                for (int c = 0; c < 3; ++c) {
                    const std::uint8_t v = want[k - 1].rgba[p + c];
                    expectedRgb += hex[v >> 4];
                    expectedRgb += hex[v & 15];
                }
            EXPECT_EQ(rgb, expectedRgb) << "round " << round << " frame " << k;
        }
    }
}

// Frames large enough for several dictionary clears, long runs, interlacing
// and indices past a small table, read back by all three decoders.
TEST(GifInterop, LargeFramesDecodeToTheIndicesWeWrote) {
    constexpr std::int16_t kSize = 300;
    std::mt19937 rng(300);
    GifDocument gif;
    gif.Destroy();
    const std::vector<std::function<std::uint8_t(int, int)>> frames = {
        [&](int, int) { return static_cast<std::uint8_t>(rng()); },                    // noise, 256 colours
        [&](int, int) { return static_cast<std::uint8_t>(rng()); },                    // the same, interlaced
        [](int, int y) { return static_cast<std::uint8_t>(y / 37 * 29); },              // long runs
        [](int, int) { return static_cast<std::uint8_t>(7); },                         // one colour, interlaced
        [&](int x, int y) { return static_cast<std::uint8_t>((x / 5 + y / 3 + rng() % 2) % 216); },  // dither-like
    };
    const std::int16_t delays[] = {3, 7, 11, 50, 100};
    for (std::int16_t k = 1; k <= static_cast<std::int16_t>(frames.size()); ++k) {
        gif.FrameInsert(k, kSize, kSize);
        DibSurface& dib = gif.FrameDIBXOR(k);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) dib.Bits()[y * dib.BytesPerScanline() + x] = frames[k - 1](x, y);
        gif.SetFrameInterlaced(k, k == 2 || k == 4);
        gif.SetFrameDelay(k, delays[k - 1]);
        gif.SetFrameDisposalMethod(k, FrameDisposal::RestorePrevious);
    }
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(256);
    // Distinct colours, so that decoded colours tell the indices apart.
    auto palette = gif.GlobalPalette();
    for (int i = 0; i < 256; ++i) {
        palette[4 * i] = static_cast<std::uint8_t>(i);
        palette[4 * i + 1] = static_cast<std::uint8_t>(i * 7);
        palette[4 * i + 2] = static_cast<std::uint8_t>(255 - i);
    }
    TempDir dir;
    const fs::path file = dir / "large.gif";
    RecordingProgress progress;
    ASSERT_TRUE(gif.Save(file.string(), progress));
    const auto want = ExpectedFrames(gif);
    auto hex = [](const Bytes& bytes, std::size_t step, std::size_t channels) {
        static const char* const digits = "0123456789abcdef";
        std::string out;
        for (std::size_t p = 0; p < bytes.size(); p += step)
            for (std::size_t c = 0; c < channels; ++c) {
                out += digits[bytes[p + c] >> 4];
                out += digits[bytes[p + c] & 15];
            }
        return out;
    };

    // PIL: the palette indices of every frame, the delays and the endless loop.
    {
        const fs::path script = dir / "read.py";
        std::ofstream(script) << kPilScript;
        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/python3 " + Quote(script) + " " + Quote(file), &out), 0) << out;
        std::istringstream in(out);
        std::string word;
        int count = 0, loop = -1;
        in >> word >> count >> word >> loop;
        ASSERT_EQ(count, gif.FramesCount());
        EXPECT_EQ(loop, 0);
        for (std::int16_t k = 1; k <= count; ++k) {
            int duration = 0, w = 0, h = 0;
            std::string mode, indices, rgb;
            in >> word >> duration >> mode >> w >> h >> indices >> rgb;
            EXPECT_EQ(duration, delays[k - 1] * 10) << "frame " << k;
            ASSERT_EQ(mode, "P") << "frame " << k;
            const DibSurface& dib = gif.FrameDIBXOR(k);
            EXPECT_EQ(indices, hex(Bytes(dib.Bits(), dib.Bits() + dib.Size()), 1, 1)) << "frame " << k;
        }
    }
    // ImageMagick: the colours of every frame and the frame count.
    {
        ASSERT_EQ(RunCommand("/usr/bin/convert " + Quote(file) + " +adjoin -depth 8 " + Quote(dir / "im-%d.rgb")), 0);
        for (std::size_t k = 0; k < want.size(); ++k)
            EXPECT_EQ(hex(ReadBytes(dir / ("im-" + std::to_string(k) + ".rgb")), 3, 3), hex(want[k].rgba, 4, 3))
                << "frame " << k;
        EXPECT_FALSE(fs::exists(dir / ("im-" + std::to_string(want.size()) + ".rgb")));
    }
    // ffmpeg: as many frames as written, each with the colours we meant.
    if (HaveProgram("/usr/bin/ffmpeg")) {
        ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(file) +
                             " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " + Quote(dir / "ff.rgb")),
                  0);
        const Bytes got = ReadBytes(dir / "ff.rgb");
        const std::size_t frameBytes = std::size_t{kSize} * kSize * 3;
        ASSERT_EQ(got.size(), frameBytes * want.size());
        for (std::size_t k = 0; k < want.size(); ++k)
            EXPECT_EQ(hex(Bytes(got.begin() + k * frameBytes, got.begin() + (k + 1) * frameBytes), 3, 3),
                      hex(want[k].rgba, 4, 3))
                << "frame " << k;
    }
}

TEST(GifInterop, IndicesPastASmallTableSurviveInPil) {
    // A 4-entry table with indices up to 200: the raised code size carries
    // them, and PIL reads them back as they were.
    GifDocument gif;
    gif.Destroy();
    gif.FrameInsert(1, 40, 30);
    DibSurface& dib = gif.FrameDIBXOR(1);
    std::mt19937 rng(4);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            dib.Bits()[y * dib.BytesPerScanline() + x] = static_cast<std::uint8_t>(rng() % 201);
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(4);
    TempDir dir;
    const fs::path file = dir / "small-table.gif";
    RecordingProgress progress;
    ASSERT_TRUE(gif.Save(file.string(), progress));
    std::string out;
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c " +
                             Quote("import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                                   "print(bytes(im.getdata()).hex())") +
                             " " + Quote(file),
                         &out),
              0)
        << out;
    std::string expected;
    static const char* const digits = "0123456789abcdef";
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint8_t i = dib.Bits()[y * dib.BytesPerScanline() + x];
            expected += digits[i >> 4];
            expected += digits[i & 15];
        }
    EXPECT_EQ(out.substr(0, expected.size()), expected);
}

TEST(GifInterop, FfmpegDecodesTheFramesAndTheirTiming) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    std::mt19937 rng(99);
    for (int round = 0; round < 8; ++round) {
        GifDocument gif = RandomDoc(rng, {true, false, true});
        TempDir dir;
        const fs::path file = dir / "doc.gif";
        RecordingProgress progress;
        ASSERT_TRUE(gif.Save(file.string(), progress));
        const auto want = ExpectedFrames(gif);

        ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(file) +
                             " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " + Quote(dir / "out.rgb")),
                  0);
        const Bytes got = ReadBytes(dir / "out.rgb");
        const std::size_t frameBytes = static_cast<std::size_t>(gif.ScreenWidth()) * gif.ScreenHeight() * 3;
        ASSERT_EQ(got.size(), frameBytes * want.size()) << "round " << round;
        for (std::size_t k = 0; k < want.size(); ++k) {
            std::size_t wrong = 0;
            for (std::size_t p = 0, q = 0; q < want[k].rgba.size(); p += 3, q += 4)
                if (!std::equal(got.begin() + k * frameBytes + p, got.begin() + k * frameBytes + p + 3,
                                want[k].rgba.begin() + q))
                    ++wrong;
            EXPECT_EQ(wrong, 0u) << "round " << round << " frame " << k;
        }

        std::string durations;
        ASSERT_EQ(RunCommand("/usr/bin/ffprobe -v error -select_streams v -show_entries packet=duration_time -of csv=p=0 " +
                                 Quote(file),
                             &durations),
                  0);
        std::istringstream in(durations);
        for (std::int16_t k = 1; k <= gif.FramesCount(); ++k) {
            double seconds = -1;
            in >> seconds;
            EXPECT_NEAR(seconds, gif.FrameDelay(k) / 100.0, 1e-6) << "round " << round << " frame " << k;
        }
    }
}

}  // namespace
}  // namespace crossmeld::test
