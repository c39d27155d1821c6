// The GIF reader: hand-built byte streams for the block walk (colour tables,
// graphic control and application extensions, skipped and stray bytes, empty
// sub-block chains, bad headers, truncation, refused frames), round trips of
// random documents through our writer, files written by ImageMagick, ffmpeg
// and PIL checked against PIL's own decoder, unusual streams checked against
// giflib and PIL, and damaged files that must load without harm.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/ByteWriter.h"
#include "base/Error.h"
#include "formats/gif/GifDocument.h"
#include "support/LzwCodes.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- building streams by hand ----------------------------------------------

// Minimum code size 2: clear, the pixels 0 1 2 3, end. The entries for codes
// 6 and 7 are added after the second and third pixel; 8 is next after the
// third, so the fourth pixel and the end code take 4 bits.
const Bytes kFourPixels = PackCodes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}});
// Minimum code size 2: the single pixel 0 (codes 4, 0, 5 at 3 bits).
const Bytes kOnePixel{0x44, 0x01};

class Stream {
public:
    explicit Stream(const std::string& header = "GIF89a") { Text(header); }

    Stream& Raw(std::initializer_list<int> bytes) {
        for (int b : bytes) m_bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    Stream& Raw(const Bytes& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Stream& Text(const std::string& text) {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    Stream& U16(int v) { return Raw({v & 255, (v >> 8) & 255}); }
    Stream& Screen(int w, int h, int flags, int background = 0, int aspect = 0) {
        return U16(w).U16(h).Raw({flags, background, aspect});
    }
    // A colour table of n entries: entry i is (r, g, b) = colour(i).
    template <typename F>
    Stream& Table(int n, F colour) {
        for (int i = 0; i < n; ++i) {
            auto [r, g, b] = colour(i);
            Raw({r, g, b});
        }
        return *this;
    }
    Stream& Control(int flags, int delay, int transparent) {
        Raw({0x21, 0xF9, 4, flags});
        return U16(delay).Raw({transparent, 0});
    }
    Stream& SubBlocks(const Bytes& data, std::size_t chunk = 255) {
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            const std::size_t n = std::min(chunk, data.size() - at);
            m_bytes.push_back(static_cast<std::uint8_t>(n));
            m_bytes.insert(m_bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        m_bytes.push_back(0);
        return *this;
    }
    Stream& Application(const std::string& identifier, const Bytes& data) {
        Raw({0x21, 0xFF, 11}).Text(identifier);
        return SubBlocks(data);
    }
    Stream& Descriptor(int left, int top, int w, int h, int flags) {
        Raw({0x2C});
        return U16(left).U16(top).U16(w).U16(h).Raw({flags});
    }
    Stream& ImageData(int minimumCodeSize, const Bytes& data, std::size_t chunk = 255) {
        Raw({minimumCodeSize});
        return SubBlocks(data, chunk);
    }
    Stream& Trailer() { return Raw({0x3B}); }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

struct Rgb3 {
    int r, g, b;
};
Rgb3 Grey4(int i) { return {i * 80, i * 80, i * 80}; }

Bytes Indices(const DibSurface& dib) {
    Bytes out;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) out.push_back(dib.Bits()[y * dib.BytesPerScanline() + x]);
    return out;
}

// 1 where the AND surface is white (transparent), 0 where black.
Bytes MaskBits(const DibSurface& dib) {
    Bytes out;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) out.push_back(dib.Bitmap()->GetPixel(x, y) == Rgb(255, 255, 255) ? 1 : 0);
    return out;
}

Bytes SurfaceTable(const DibSurface& dib) {
    Bytes table;
    dib.GetPalette(table);
    return table;
}

bool Load(GifDocument& gif, const Bytes& bytes) { return gif.LoadFromStream(bytes); }

// A valid two-frame document: 4-entry grey global table, a 2 x 2 frame with
// pixels 0 1 2 3 and a 1 x 1 frame.
Stream TwoFrames() {
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    s.Descriptor(1, 1, 1, 1, 0).ImageData(2, kOnePixel);
    return s;
}

// ---- PIL as the reference reader ------------------------------------------------

fs::path CorpusDir() { return SourceDir() / "tests" / "data" / "gif"; }

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(CorpusDir()))
        if (entry.path().extension() == ".gif") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

struct PilFrame {
    int left = 0, top = 0, width = 0, height = 0, interlaced = 0, disposal = 0, duration = 0, transparency = -1;
    Bytes palette;  // RGB triples
    Bytes pixels;
};
struct PilFile {
    int width = 0, height = 0, loop = -1, frames = 0;
    std::vector<PilFrame> list;
};

Bytes FromHex(const std::string& hex) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    Bytes out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return out;
}

std::optional<PilFile> ReadWithPil(const fs::path& file) {
    std::string out;
    if (RunCommand("/usr/bin/python3 " + Quote(CorpusDir() / "pil_frames.py") + " " + Quote(file) + " 2>/dev/null", &out) != 0)
        return std::nullopt;
    std::istringstream in(out);
    PilFile result;
    std::string word;
    in >> word >> result.width >> result.height >> word >> result.loop >> word >> result.frames;
    while (in >> word) {
        if (word == "frame") {
            PilFrame f;
            int n;
            in >> n >> f.left >> f.top >> f.width >> f.height >> f.interlaced >> f.disposal >> f.duration >>
                f.transparency;
            result.list.push_back(f);
        } else if (word == "palette" || word == "pixels") {
            std::string line;
            std::getline(in, line);
            line.erase(0, line.find_first_not_of(' '));
            (word == "palette" ? result.list.back().palette : result.list.back().pixels) = FromHex(line);
        }
    }
    return result;
}

// The frames giflib's DGifSlurp reads (rectangle and pixels in PilFrame's
// fields); nothing when giflib refuses the file.
std::optional<PilFile> ReadWithGiflib(const fs::path& file) {
    std::string out;
    if (RunCommand("/usr/bin/python3 " + Quote(CorpusDir() / "giflib_frames.py") + " " + Quote(file) + " 2>/dev/null",
                   &out) != 0)
        return std::nullopt;
    std::istringstream in(out);
    PilFile result;
    std::string word;
    in >> word >> result.width >> result.height >> word >> result.frames;
    while (in >> word) {
        if (word == "frame") {
            PilFrame f;
            int n;
            in >> n >> f.left >> f.top >> f.width >> f.height >> f.interlaced;
            result.list.push_back(f);
        } else if (word == "pixels") {
            in >> word;
            result.list.back().pixels = FromHex(word);
        }
    }
    return result;
}

// ---- colour tables ------------------------------------------------------------

TEST(GifReader, AGlobalTableOfSizeField7HasAll256EntriesAndFramesCopyIt) {
    auto colour = [](int i) { return Rgb3{i, 255 - i, i ^ 0x55}; };
    Stream s;
    // Global table, colour resolution 8, not sorted, size field 7.
    s.Screen(300, 2, 0xF7, 17, 49).Table(256, colour);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    s.Descriptor(5, 0, 1, 1, 0).ImageData(8, PackCodes({{256, 9}, {200, 9}, {257, 9}}));
    // A local table of 4 sorted entries (size field 1) replaces the global one.
    s.Descriptor(0, 1, 1, 1, 0x80 | 0x20 | 0x01).Table(4, Grey4).ImageData(2, kOnePixel);
    s.Trailer();

    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    EXPECT_EQ(gif.Signature(), "GIF");
    EXPECT_EQ(gif.Version(), "89a");
    EXPECT_EQ(gif.ScreenWidth(), 300);
    EXPECT_EQ(gif.ScreenHeight(), 2);
    EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 17);
    EXPECT_EQ(gif.ScreenPixelAspectByte(), 49);
    EXPECT_TRUE(gif.GlobalPaletteExists());
    EXPECT_FALSE(gif.GlobalPaletteSorted());
    EXPECT_EQ(gif.GlobalPaletteEntries(), 256);
    ASSERT_EQ(gif.FramesCount(), 3);
    EXPECT_FALSE(gif.LoopExtensionRead());
    EXPECT_TRUE(gif.ReadNotes().empty());

    for (int i = 0; i < 256; ++i) {
        const auto [r, g, b] = colour(i);
        ASSERT_EQ(gif.GlobalPaletteRGBEntry(static_cast<std::uint8_t>(i)), r + g * 256 + b * 65536) << i;
        for (std::int16_t k : {1, 2}) {
            const auto palette = gif.LocalPalette(k);
            ASSERT_EQ(palette[4 * i], b);
            ASSERT_EQ(palette[4 * i + 1], g);
            ASSERT_EQ(palette[4 * i + 2], r);
            ASSERT_EQ(palette[4 * i + 3], 0);
        }
    }
    for (std::int16_t k : {1, 2}) {
        EXPECT_FALSE(gif.LocalPaletteUsed(k));
        EXPECT_FALSE(gif.LocalPaletteSorted(k));
        EXPECT_EQ(gif.LocalPaletteEntries(k), 256);
        // The surface's colour table is the frame's palette.
        const Bytes table = SurfaceTable(gif.FrameDIBXOR(k));
        const auto palette = gif.LocalPalette(k);
        ASSERT_EQ(table.size(), 1024u);
        for (int i = 0; i < 1024; i += 4)
            ASSERT_TRUE(std::equal(table.begin() + i, table.begin() + i + 3, palette.begin() + i)) << i;
    }
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), Bytes{200});
    EXPECT_EQ(gif.FrameLeft(2), 5);

    EXPECT_TRUE(gif.LocalPaletteUsed(3));
    EXPECT_TRUE(gif.LocalPaletteSorted(3));
    EXPECT_EQ(gif.LocalPaletteEntries(3), 4);
    EXPECT_EQ(gif.LocalPaletteRGBEntry(3, 3), 240 + 240 * 256 + 240 * 65536);
    EXPECT_EQ(gif.LocalPaletteRGBEntry(3, 4), 0);
    EXPECT_EQ(gif.FrameTop(3), 1);
}

TEST(GifReader, ASortedGlobalTableMarksTheFramesThatCopyIt) {
    Stream s;
    s.Screen(1, 1, 0x80 | 0x08 | 0x01).Table(4, Grey4);
    s.Descriptor(0, 0, 1, 1, 0).ImageData(2, kOnePixel).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    EXPECT_TRUE(gif.GlobalPaletteSorted());
    EXPECT_EQ(gif.GlobalPaletteEntries(), 4);
    EXPECT_TRUE(gif.LocalPaletteSorted(1));
    EXPECT_EQ(gif.LocalPaletteEntries(1), 4);
}

TEST(GifReader, WithoutAGlobalTableTheFlagIsOffAndTheImageFollowsTheDescriptor) {
    Stream s("GIF87a");
    s.Screen(2, 2, 0x00);
    s.Descriptor(0, 0, 2, 2, 0x81).Table(4, Grey4).ImageData(2, kFourPixels).Trailer();
    GifDocument gif;
    gif.SetGlobalPaletteExists(true);
    ASSERT_TRUE(Load(gif, s.bytes()));
    EXPECT_EQ(gif.Version(), "87a");
    EXPECT_FALSE(gif.GlobalPaletteExists());
    EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
    ASSERT_EQ(gif.FramesCount(), 1);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(gif.LocalPaletteRGBEntry(1, 1), 80 + 80 * 256 + 80 * 65536);
}

// ---- image descriptor -------------------------------------------------------------

TEST(GifReader, DescriptorFieldsAndInterlacedRows) {
    // 1 x 8 interlaced: the pixels arrive for rows 0, 4, 2, 6, 1, 3, 5, 7.
    // Pixel values 0 .. 7 in stream order (minimum code size 3): clear 8,
    // then the pixel codes; the seventh code adds entry 15, so code 16 is
    // next and the eighth pixel and the end code 9 take 5 bits.
    std::vector<std::pair<int, int>> codes{{8, 4}};
    for (int v = 0; v < 7; ++v) codes.push_back({v, 4});
    codes.push_back({7, 5});
    codes.push_back({9, 5});
    Stream s;
    s.Screen(1, 8, 0x82).Table(8, [](int i) { return Rgb3{i, i, i}; });
    s.Descriptor(0xFFFF, 0x8000, 1, 8, 0x40).ImageData(3, PackCodes(codes)).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 1);
    EXPECT_TRUE(gif.FrameInterlaced(1));
    EXPECT_EQ(gif.FrameLeft(1), -1);
    EXPECT_EQ(gif.FrameTop(1), -32768);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 4, 2, 5, 1, 6, 3, 7}));
    // Without the flag the same data fill the rows in order.
    Bytes plain = s.bytes();
    plain[13 + 24 + 9] = 0x00;
    ASSERT_TRUE(Load(gif, plain));
    EXPECT_FALSE(gif.FrameInterlaced(1));
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(GifReader, ImageDataSplitIntoManySubBlocksIsJoined) {
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels, 1).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
}

// ---- graphic control extension ---------------------------------------------------

TEST(GifReader, GraphicControlGivesTheNextImageItsTimingAndTransparency) {
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    // 0D: disposal 3, no user input, transparent; index 2; delay 0x1234.
    s.Control(0x0D, 0x1234, 2).Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    // 1E: disposal 7, user input, not transparent: the index byte is not taken.
    s.Control(0x1E, 65535, 9).Descriptor(0, 0, 1, 1, 0).ImageData(2, kOnePixel);
    // No extension: the third frame keeps the blank record's values.
    s.Descriptor(0, 0, 1, 1, 0).ImageData(2, kOnePixel).Trailer();

    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 3);
    EXPECT_EQ(gif.FrameDelay(1), 0x1234);
    EXPECT_EQ(gif.FrameDisposalMethod(1), FrameDisposal::RestorePrevious);
    EXPECT_FALSE(gif.FrameUserInput(1));
    EXPECT_TRUE(gif.FrameUseTransparentColor(1));
    EXPECT_EQ(gif.FrameTransparentColorIndex(1), 2);
    // The mask is white at the pixel holding 2; the surface shows entry 2 black.
    EXPECT_EQ(MaskBits(gif.FrameDIBAND(1)), (Bytes{0, 0, 1, 0}));
    const Bytes table = SurfaceTable(gif.FrameDIBXOR(1));
    EXPECT_EQ(Bytes(table.begin() + 8, table.begin() + 11), (Bytes{0, 0, 0}));
    EXPECT_EQ(Bytes(table.begin() + 4, table.begin() + 7), (Bytes{80, 80, 80}));
    // The frame's own palette keeps the colour.
    EXPECT_EQ(gif.LocalPaletteRGBEntry(1, 2), 160 + 160 * 256 + 160 * 65536);

    EXPECT_EQ(gif.FrameDelay(2), -1);
    EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(2)), 7);
    EXPECT_TRUE(gif.FrameUserInput(2));
    EXPECT_FALSE(gif.FrameUseTransparentColor(2));
    EXPECT_EQ(gif.FrameTransparentColorIndex(2), 0);
    EXPECT_EQ(MaskBits(gif.FrameDIBAND(2)), Bytes{0});

    EXPECT_EQ(gif.FrameDelay(3), 0);
    EXPECT_EQ(gif.FrameDisposalMethod(3), FrameDisposal::Unspecified);
    EXPECT_FALSE(gif.FrameUseTransparentColor(3));
}

TEST(GifReader, AGraphicControlAfterTheLastImageLeavesOneMoreRecord) {
    Stream s = TwoFrames();
    s.Control(0x08, 42, 0).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    EXPECT_EQ(gif.FramesCount(), 2);
    EXPECT_EQ(gif.FrameDelay(3), 42);
    EXPECT_EQ(gif.FrameDisposalMethod(3), FrameDisposal::RestoreBackground);
    EXPECT_EQ(gif.FrameDIBXOR(3).Width(), 0);
    EXPECT_THROW(gif.FrameDelay(4), Error);
}

// ---- other extensions ------------------------------------------------------------

TEST(GifReader, LoopCountFromTheNetscapeExtensionOnly) {
    auto withApplication = [](const std::string& identifier, const Bytes& data) {
        Stream s;
        s.Screen(2, 2, 0x81).Table(4, Grey4).Application(identifier, data);
        s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels).Trailer();
        return s.bytes();
    };
    GifDocument gif;
    ASSERT_TRUE(Load(gif, withApplication("NETSCAPE2.0", {1, 5, 0})));
    EXPECT_EQ(gif.AnimationLoops(), 5);
    EXPECT_TRUE(gif.LoopExtensionRead());
    EXPECT_EQ(gif.FramesCount(), 1);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));

    ASSERT_TRUE(Load(gif, withApplication("NETSCAPE2.0", {1, 0x34, 0x12})));
    EXPECT_EQ(gif.AnimationLoops(), 0x1234);
    // 65535 does not fit: the count stays as it was (0 after the reset).
    ASSERT_TRUE(Load(gif, withApplication("NETSCAPE2.0", {1, 0xFF, 0xFF})));
    EXPECT_EQ(gif.AnimationLoops(), 0);

    for (const std::string id : {"ANIMEXTS1.0", "netscape2.0", "NETSCAPE2.1", "XMP DataXMP"}) {
        ASSERT_TRUE(Load(gif, withApplication(id, {1, 5, 0}))) << id;
        EXPECT_EQ(gif.AnimationLoops(), 0) << id;
        EXPECT_FALSE(gif.LoopExtensionRead()) << id;
        EXPECT_EQ(gif.FramesCount(), 1) << id;
    }

    // A looping extension too short to hold a count changes nothing and does
    // not stop the walk.
    for (const Bytes& data : {Bytes{1}, Bytes{1, 7}}) {
        ASSERT_TRUE(Load(gif, withApplication("NETSCAPE2.0", data)));
        EXPECT_EQ(gif.AnimationLoops(), 0);
        EXPECT_EQ(gif.FramesCount(), 1);
        EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
    }
}

TEST(GifReader, ReadingCanStopAfterTheFirstImages) {
    GifDocument gif;
    ASSERT_TRUE(gif.LoadFromStream(TwoFrames().Trailer().bytes(), 1));
    EXPECT_EQ(gif.FramesCount(), 1);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
}

TEST(GifReader, CommentPlainTextAndUnknownExtensionsAreSkipped) {
    const Bytes reference = TwoFrames().Trailer().bytes();
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    // A comment whose text holds the block bytes "," "!" and ";".
    s.Raw({0x21, 0xFE}).SubBlocks({',', '!', ';', 'h', 'i', 0x2C, 0x21, 0x3B, 'x'}, 4);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    // Plain text: a 12-byte header block, then text.
    s.Raw({0x21, 0x01, 12, 0, 0, 0, 0, 2, 0, 2, 0, 1, 1, 0, 1}).SubBlocks({'A', 0x2C});
    s.Raw({0x21, 0xFE}).SubBlocks(Bytes(300, 0x2C));
    s.Descriptor(1, 1, 1, 1, 0).ImageData(2, kOnePixel);
    // An unknown label.
    s.Raw({0x21, 0x99}).SubBlocks({0x3B, 0x3B});
    s.Trailer();

    GifDocument plain, commented;
    ASSERT_TRUE(Load(plain, reference));
    ASSERT_TRUE(Load(commented, s.bytes()));
    ASSERT_EQ(commented.FramesCount(), 2);
    for (std::int16_t k = 1; k <= 2; ++k) {
        EXPECT_EQ(Indices(commented.FrameDIBXOR(k)), Indices(plain.FrameDIBXOR(k)));
        EXPECT_EQ(commented.FrameLeft(k), plain.FrameLeft(k));
        EXPECT_EQ(commented.FrameDelay(k), 0);
        EXPECT_FALSE(commented.FrameUseTransparentColor(k));
    }
    EXPECT_EQ(commented.AnimationLoops(), 0);
}

TEST(GifReader, StrayBytesBetweenBlocksArePassedOver) {
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    s.Raw({0x00, 0x42, 0xFF, 0x00});
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    s.Raw({0x00, 0x00, 0x80, 0x2B, 0x3A});
    s.Control(0x01, 3, 1);
    s.Raw({0x7F});
    s.Descriptor(0, 0, 1, 1, 0).ImageData(2, kOnePixel);
    s.Raw({0x11}).Trailer();
    // Nothing after the trailer is read.
    s.Descriptor(0, 0, 1, 1, 0).ImageData(2, kOnePixel);
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 2);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(gif.FrameDelay(2), 3);
    EXPECT_EQ(gif.FrameTransparentColorIndex(2), 1);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), Bytes{0});
}

TEST(GifReader, AChainWhoseFirstSizeByteIsZeroHoldsNothing) {
    // Extensions without data (21 label [header] 00), each before the images.
    const std::vector<std::pair<std::string, Bytes>> empties{
        {"ICC profile", Stream("").Raw({0x21, 0xFF, 11}).Text("ICCRGBG1012").Raw({0}).bytes()},
        {"XMP", Stream("").Raw({0x21, 0xFF, 11}).Text("XMP DataXMP").Raw({0}).bytes()},
        {"looping", Stream("").Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0").Raw({0}).bytes()},
        {"comment", {0x21, 0xFE, 0}},
        {"plain text", {0x21, 0x01, 0}},
        {"unknown label", {0x21, 0x99, 0}},
    };
    for (const auto& [name, extension] : empties) {
        Stream s;
        s.Screen(2, 2, 0x81).Table(4, Grey4).Raw(extension);
        s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
        s.Raw(extension);
        s.Descriptor(1, 1, 1, 1, 0).ImageData(2, kOnePixel).Trailer();
        GifDocument gif;
        ASSERT_TRUE(Load(gif, s.bytes())) << name;
        ASSERT_EQ(gif.FramesCount(), 2) << name;
        EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3})) << name;
        EXPECT_EQ(gif.FrameLeft(2), 1) << name;
        EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), Bytes{0}) << name;
        EXPECT_FALSE(gif.LoopExtensionRead()) << name;
    }

    // Image data without sub-blocks: the frame stays blank, the next is read.
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    s.Descriptor(0, 0, 2, 2, 0).Raw({2, 0});
    s.Descriptor(1, 1, 1, 1, 0).ImageData(2, PackCodes({{4, 3}, {3, 3}, {5, 3}})).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 2);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), Bytes{3});
}

// ---- headers and files ---------------------------------------------------------------

TEST(GifReader, BadHeadersFailAndLeaveTheDocumentEmpty) {
    const Bytes good = TwoFrames().Trailer().bytes();
    for (const std::string header : {"GIF88a", "GIF89b", "gif89a", "GIF8 a", "JFIF89", "GIF90a"}) {
        GifDocument gif;
        ASSERT_TRUE(Load(gif, good));
        Bytes bad = good;
        std::copy(header.begin(), header.end(), bad.begin());
        EXPECT_FALSE(Load(gif, bad)) << header;
        EXPECT_EQ(gif.FramesCount(), 0) << header;
        EXPECT_EQ(gif.ScreenWidth(), 0);
        EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
        EXPECT_EQ(gif.Signature(), "");
        EXPECT_EQ(gif.Version(), "");
        EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 0);
    }
    GifDocument gif;
    for (std::size_t n = 0; n < 6; ++n) {
        ASSERT_TRUE(Load(gif, good));
        EXPECT_FALSE(Load(gif, Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)))) << n;
        EXPECT_EQ(gif.FramesCount(), 0);
    }
    // The header alone is valid: nothing else is there.
    EXPECT_TRUE(Load(gif, Bytes(good.begin(), good.begin() + 6)));
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_EQ(gif.ScreenWidth(), 0);
}

TEST(GifReader, LoadFromFile) {
    TempDir dir;
    const Bytes good = TwoFrames().Trailer().bytes();
    WriteBytes(dir / "good.gif", good);
    WriteBytes(dir / "empty.gif", {});
    GifDocument gif;
    ASSERT_TRUE(gif.LoadFromFile((dir / "good.gif").string()));
    EXPECT_EQ(gif.FramesCount(), 2);
    EXPECT_FALSE(gif.LoadFromFile((dir / "empty.gif").string()));
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_EQ(gif.Signature(), "");
    ASSERT_TRUE(gif.LoadFromFile((dir / "good.gif").string()));
    EXPECT_FALSE(gif.LoadFromFile((dir / "missing.gif").string()));
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_FALSE(gif.LoadFromFile(dir.path().string()));  // a folder
    EXPECT_EQ(gif.FramesCount(), 0);
    EXPECT_FALSE(gif.LoadFromFile("/dev/null"));  // a device
    // A pipe with no writer is refused at once instead of waiting for one.
    ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);
    alarm(10);  // a wait ends the test program instead of hanging it
    EXPECT_FALSE(gif.LoadFromFile((dir / "pipe.gif").string()));
    alarm(0);
}

// ---- truncation ----------------------------------------------------------------------

// Minimum code size 2, a 7 x 1 image 3 2 1 3 2 1 3: clear, 3, 2, 1 at 3 bits
// (entries 6 = 3 2 and 7 = 2 1 make the width 4), then 6 (adding 8 = 1 3),
// 8, and the end code, at 4 bits: 28 bits, whole codes at bits 6, 12, 16, 20.
const Bytes kSevenPixels = PackCodes({{4, 3}, {3, 3}, {2, 3}, {1, 3}, {6, 4}, {8, 4}, {5, 4}});

TEST(GifReader, ATruncatedFileKeepsWhatWasRead) {
    // Two frames, the second's data split into one-byte sub-blocks.
    Stream s;
    s.Screen(7, 1, 0x81).Table(4, Grey4);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels);
    s.Control(0x05, 9, 3);
    const std::size_t secondImage = s.bytes().size();
    s.Descriptor(0, 0, 7, 1, 0).ImageData(2, kSevenPixels, 1).Trailer();
    const Bytes& full = s.bytes();

    GifDocument gif;
    ASSERT_TRUE(Load(gif, full));
    ASSERT_EQ(gif.FramesCount(), 2);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), (Bytes{3, 2, 1, 3, 2, 1, 3}));

    // Cut inside the global table: the table is partly read.
    ASSERT_TRUE(Load(gif, Bytes(full.begin(), full.begin() + 13 + 5)));
    EXPECT_EQ(gif.GlobalPaletteEntries(), 4);
    EXPECT_EQ(gif.GlobalPaletteRGBEntry(1), 80 + 80 * 256);
    EXPECT_EQ(gif.FramesCount(), 0);
    // Cut inside the screen descriptor.
    ASSERT_TRUE(Load(gif, Bytes(full.begin(), full.begin() + 9)));
    EXPECT_EQ(gif.ScreenWidth(), 7);
    EXPECT_EQ(gif.ScreenHeight(), 0);

    // Cuts in the second image's data (size byte, data byte, ...): the first
    // frame is whole, the second holds the pixels of the whole codes.
    const std::size_t data = secondImage + 10 + 1;  // its first size byte
    const std::vector<std::pair<std::size_t, Bytes>> cuts{
        {data, {0, 0, 0, 0, 0, 0, 0}},
        {data + 2, {3, 0, 0, 0, 0, 0, 0}},  // 8 bits: clear and 3
        {data + 4, {3, 2, 1, 3, 2, 0, 0}},  // 16 bits: up to code 6
        {data + 6, {3, 2, 1, 3, 2, 1, 3}},  // 24 bits: all but the end code
    };
    for (const auto& [cut, pixels] : cuts) {
        ASSERT_TRUE(Load(gif, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)))) << cut;
        ASSERT_EQ(gif.FramesCount(), 2) << cut;
        EXPECT_EQ(Indices(gif.FrameDIBXOR(1)), (Bytes{0, 1, 2, 3}));
        EXPECT_EQ(Indices(gif.FrameDIBXOR(2)), pixels) << cut;
        EXPECT_EQ(gif.FrameDelay(2), 9);
        // The mask follows the decoded pixels (index 3 is transparent).
        Bytes mask;
        for (std::uint8_t p : pixels) mask.push_back(p == 3 ? 1 : 0);
        EXPECT_EQ(MaskBits(gif.FrameDIBAND(2)), mask) << cut;
    }
    // Cut inside the second descriptor: the frame exists, without pixels.
    ASSERT_TRUE(Load(gif, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(secondImage + 3))));
    EXPECT_EQ(gif.FramesCount(), 2);
    EXPECT_EQ(gif.FrameDIBXOR(2).Width(), 0);
    EXPECT_EQ(gif.FrameDelay(2), 9);
}

// ---- refused frames ---------------------------------------------------------------------

TEST(GifReader, OversizedFramesAreRefusedBeforeAllocation) {
    Stream s;
    s.Screen(2, 2, 0x81).Table(4, Grey4);
    // 20000 x 20000 = 4 x 10^8 pixels: above 2^28.
    s.Control(0x01, 5, 1).Descriptor(0, 0, 20000, 20000, 0).ImageData(2, kFourPixels);
    // 5000 x 5000 from two bytes of data: no LZW stream of two bytes fills it.
    s.Descriptor(0, 0, 5000, 5000, 0).ImageData(2, kOnePixel);
    s.Descriptor(0, 0, 2, 2, 0).ImageData(2, kFourPixels).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 3);
    EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 0);
    EXPECT_EQ(gif.FrameDIBAND(1).Width(), 0);
    EXPECT_EQ(gif.FrameDelay(1), 5);
    EXPECT_TRUE(gif.FrameUseTransparentColor(1));
    EXPECT_EQ(gif.FrameDIBXOR(2).Width(), 0);
    EXPECT_EQ(Indices(gif.FrameDIBXOR(3)), (Bytes{0, 1, 2, 3}));
    ASSERT_EQ(gif.ReadNotes().size(), 2u);
    EXPECT_NE(gif.ReadNotes()[0].find("frame 1"), std::string::npos);
    EXPECT_NE(gif.ReadNotes()[1].find("frame 2"), std::string::npos);
    // A fresh read forgets the notes.
    ASSERT_TRUE(Load(gif, TwoFrames().Trailer().bytes()));
    EXPECT_TRUE(gif.ReadNotes().empty());

    // A small frame is kept whatever its data, so that a file cut short
    // keeps its last frame: 64 x 64 from the three codes of kOnePixel.
    Stream fits;
    fits.Screen(64, 64, 0x81).Table(4, Grey4).Descriptor(0, 0, 64, 64, 0).ImageData(2, kOnePixel).Trailer();
    ASSERT_TRUE(Load(gif, fits.bytes()));
    EXPECT_EQ(gif.FrameDIBXOR(1).Width(), 64);
    EXPECT_TRUE(gif.ReadNotes().empty());
}

// Pixel 3 over and over, every code the one being defined: strings of 1, 2,
// 3, ... pixels until the dictionary is full with code 4095 (a string of 4091
// pixels), then, without a clear code, code 4095 `repeats` more times. An
// encoder sends this for a large image of one colour.
struct UniformStream {
    Bytes data;
    std::int64_t pixels = 1;
};
UniformStream LongStrings(int repeats) {
    std::vector<std::pair<int, int>> codes{{4, 3}, {3, 3}};
    UniformStream u;
    int next = 6, width = 3;
    while (next < 4096) {
        codes.push_back({next, width});
        u.pixels += next - 4;  // code c stands for c - 4 pixels here
        ++next;
        if (next > (1 << width) - 1 && width < 12) ++width;
    }
    for (int k = 0; k < repeats; ++k) {
        codes.push_back({4095, 12});
        u.pixels += 4091;
    }
    codes.push_back({5, 12});
    u.data = PackCodes(codes);
    return u;
}

TEST(GifReader, LongStringsAndAFullDictionaryWithoutAClearAreDecoded) {
    // Strings longer than 4000 pixels, and codes after the dictionary is full
    // (a "deferred clear": no entries are added until a clear code comes).
    const UniformStream u = LongStrings(5);
    const int w = 4096;
    const int h = static_cast<int>((u.pixels + w - 1) / w);
    Stream s;
    s.Screen(w, h, 0x81).Table(4, Grey4).Descriptor(0, 0, w, h, 0).ImageData(2, u.data).Trailer();
    GifDocument gif;
    ASSERT_TRUE(Load(gif, s.bytes()));
    ASSERT_EQ(gif.FramesCount(), 1);
    const Bytes got = Indices(gif.FrameDIBXOR(1));
    ASSERT_EQ(got.size(), static_cast<std::size_t>(w) * h);
    const auto written = std::find(got.begin(), got.end(), 0) - got.begin();
    EXPECT_EQ(written, u.pixels);
    EXPECT_EQ(std::count(got.begin(), got.end(), 3), u.pixels);

    // PIL's decoder reads the same stream the same way.
    if (!HaveProgram("/usr/bin/python3")) GTEST_SKIP() << "/usr/bin/python3 is not installed";
    TempDir dir;
    WriteBytes(dir / "uniform.gif", s.bytes());
    const auto pil = ReadWithPil(dir / "uniform.gif");
    ASSERT_TRUE(pil.has_value());
    ASSERT_EQ(pil->list.size(), 1u);
    EXPECT_TRUE(pil->list[0].pixels == got);
}

// ---- round trips through our writer -------------------------------------------------------

class NullProgress final : public GifProgress {
public:
    void SetTotal(std::int32_t) override {}
    void SetValue(std::int32_t) override {}
};

Bytes WriteToBytes(GifDocument& gif) {
    VectorSink sink;
    ByteWriter out(sink);
    NullProgress progress;
    gif.WriteTo(out, progress);
    return sink.bytes();
}

int TableSize(int entries) {
    int n = 2;
    while (n < entries) n *= 2;
    return n;
}

struct FramePlan {
    int width = 0, height = 0, left = 0, top = 0;
    bool interlaced = false, transparent = false, userInput = false, local = false, sorted = false;
    int transparentIndex = 0, delay = 0, disposal = 0, entries = 0;
    Bytes palette;  // 1024 bytes
    Bytes pixels;
};

struct DocumentPlan {
    int screenWidth = 0, screenHeight = 0, background = 0, aspect = 0, loops = 0;
    bool global = false, globalSorted = false;
    int globalEntries = 0;
    Bytes globalPalette;
    std::vector<FramePlan> frames;
};

DocumentPlan RandomDocument(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto randomPalette = [&] {
        Bytes p(1024);
        for (auto& b : p) b = static_cast<std::uint8_t>(pick(0, 255));
        return p;
    };
    DocumentPlan d;
    d.global = pick(0, 2) != 0;
    d.globalSorted = pick(0, 1) != 0;
    d.globalEntries = pick(2, 256);
    d.globalPalette = randomPalette();
    d.loops = pick(0, 32767);
    d.background = pick(0, 255);
    d.aspect = pick(0, 255);
    const int frames = pick(1, 3);
    for (int k = 0; k < frames; ++k) {
        FramePlan f;
        // Mostly small frames, now and then one up to 300 x 200.
        const bool big = pick(0, 4) == 0;
        f.width = big ? pick(100, 300) : pick(1, 40);
        f.height = big ? pick(60, 200) : pick(1, 30);
        f.left = pick(-40, 400);
        f.top = pick(-40, 400);
        f.interlaced = pick(0, 1) != 0;
        f.local = !d.global || pick(0, 1) != 0;
        f.sorted = pick(0, 1) != 0;
        f.entries = pick(2, 256);
        f.palette = randomPalette();
        const int colours = f.local ? f.entries : d.globalEntries;
        f.transparent = pick(0, 1) != 0;
        f.transparentIndex = pick(0, colours - 1);
        f.userInput = pick(0, 1) != 0;
        f.delay = pick(-32768, 32767);
        f.disposal = pick(0, 7);
        // Smooth runs, noise, or few colours: different LZW behaviour.
        const int style = pick(0, 2);
        f.pixels.resize(static_cast<std::size_t>(f.width) * f.height);
        int run = pick(0, colours - 1);
        for (std::size_t i = 0; i < f.pixels.size(); ++i) {
            if (style == 0 && pick(0, 15) == 0) run = pick(0, colours - 1);
            const int v = style == 0 ? run : style == 1 ? pick(0, colours - 1) : pick(0, std::min(colours, 3) - 1);
            f.pixels[i] = static_cast<std::uint8_t>(v);
        }
        d.frames.push_back(std::move(f));
    }
    d.screenWidth = pick(1, 400);
    d.screenHeight = pick(1, 400);
    return d;
}

void Build(const DocumentPlan& d, GifDocument& gif) {
    gif.Destroy();
    for (std::size_t k = 0; k < d.frames.size(); ++k) {
        const FramePlan& f = d.frames[k];
        const auto n = static_cast<std::int16_t>(k + 1);
        gif.FrameInsert(n, static_cast<std::int16_t>(f.width), static_cast<std::int16_t>(f.height));
        DibSurface& dib = gif.FrameDIBXOR(n);
        for (int y = 0; y < f.height; ++y)
            std::copy_n(f.pixels.begin() + static_cast<std::ptrdiff_t>(y) * f.width, f.width,
                        dib.Bits() + static_cast<std::ptrdiff_t>(y) * dib.BytesPerScanline());
        std::copy(f.palette.begin(), f.palette.end(), gif.LocalPalette(n).begin());
        gif.SetFrameLeft(n, static_cast<std::int16_t>(f.left));
        gif.SetFrameTop(n, static_cast<std::int16_t>(f.top));
        gif.SetFrameInterlaced(n, f.interlaced);
        gif.SetFrameUseTransparentColor(n, f.transparent);
        gif.SetFrameTransparentColorIndex(n, f.transparentIndex);
        gif.SetFrameUserInput(n, f.userInput);
        gif.SetFrameDelay(n, static_cast<std::int16_t>(f.delay));
        gif.SetFrameDisposalMethod(n, static_cast<FrameDisposal>(f.disposal));
        gif.SetLocalPaletteUsed(n, f.local);
        gif.SetLocalPaletteSorted(n, f.sorted);
        gif.SetLocalPaletteEntries(n, static_cast<std::int16_t>(f.entries));
    }
    gif.SetScreenWidth(static_cast<std::int16_t>(d.screenWidth));
    gif.SetScreenHeight(static_cast<std::int16_t>(d.screenHeight));
    gif.SetScreenBackgroundColorIndex(static_cast<std::uint8_t>(d.background));
    gif.SetScreenPixelAspectRatio(static_cast<float>(d.aspect + 15) / 64.0f);
    gif.SetAnimationLoops(static_cast<std::int16_t>(d.loops));
    gif.SetGlobalPaletteExists(d.global);
    gif.SetGlobalPaletteSorted(d.globalSorted);
    gif.SetGlobalPaletteEntries(static_cast<std::int16_t>(d.globalEntries));
    std::copy(d.globalPalette.begin(), d.globalPalette.end(), gif.GlobalPalette().begin());
}

// The palette the file carries: the first `entries` colours, zero up to the
// table's size and beyond, reserved bytes zero.
Bytes AsWritten(const Bytes& palette, int entries) {
    Bytes p(1024, 0);
    for (int i = 0; i < entries; ++i) std::copy_n(palette.begin() + 4 * i, 3, p.begin() + 4 * i);
    return p;
}

void ExpectDocument(const DocumentPlan& d, GifDocument& gif) {
    EXPECT_EQ(gif.ScreenWidth(), d.screenWidth);
    EXPECT_EQ(gif.ScreenHeight(), d.screenHeight);
    EXPECT_EQ(gif.ScreenBackgroundColorIndex(), d.background);
    EXPECT_EQ(gif.ScreenPixelAspectByte(), d.aspect);
    EXPECT_EQ(gif.AnimationLoops(), d.loops);
    EXPECT_TRUE(gif.LoopExtensionRead());
    EXPECT_EQ(gif.GlobalPaletteExists(), d.global);
    const Bytes global = AsWritten(d.globalPalette, d.globalEntries);
    if (d.global) {
        EXPECT_EQ(gif.GlobalPaletteSorted(), d.globalSorted);
        EXPECT_EQ(gif.GlobalPaletteEntries(), TableSize(d.globalEntries));
        EXPECT_TRUE(std::equal(global.begin(), global.end(), gif.GlobalPalette().begin()));
    } else {
        EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
    }
    ASSERT_EQ(gif.FramesCount(), static_cast<int>(d.frames.size()));
    EXPECT_TRUE(gif.ReadNotes().empty());
    for (std::size_t k = 0; k < d.frames.size(); ++k) {
        const FramePlan& f = d.frames[k];
        const auto n = static_cast<std::int16_t>(k + 1);
        SCOPED_TRACE("frame " + std::to_string(n) + " " + std::to_string(f.width) + " x " + std::to_string(f.height) +
                     (f.interlaced ? " interlaced" : "") + (f.local ? " local" : ""));
        EXPECT_EQ(gif.FrameLeft(n), f.left);
        EXPECT_EQ(gif.FrameTop(n), f.top);
        EXPECT_EQ(gif.FrameInterlaced(n), f.interlaced);
        EXPECT_EQ(gif.FrameUseTransparentColor(n), f.transparent);
        EXPECT_EQ(gif.FrameTransparentColorIndex(n), f.transparent ? f.transparentIndex : 0);
        EXPECT_EQ(gif.FrameUserInput(n), f.userInput);
        EXPECT_EQ(gif.FrameDelay(n), f.delay);
        EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(n)), f.disposal);
        EXPECT_EQ(gif.LocalPaletteUsed(n), f.local);
        EXPECT_EQ(gif.LocalPaletteSorted(n), f.local ? f.sorted : d.globalSorted);
        EXPECT_EQ(gif.LocalPaletteEntries(n), f.local ? TableSize(f.entries) : gif.GlobalPaletteEntries());
        const Bytes palette = f.local ? AsWritten(f.palette, f.entries) : global;
        EXPECT_TRUE(std::equal(palette.begin(), palette.end(), gif.LocalPalette(n).begin()));

        const DibSurface& xorSurface = gif.FrameDIBXOR(n);
        ASSERT_EQ(xorSurface.Width(), f.width);
        ASSERT_EQ(xorSurface.Height(), f.height);
        ASSERT_EQ(xorSurface.BPP(), 8);
        EXPECT_EQ(Indices(xorSurface), f.pixels);
        const DibSurface& andSurface = gif.FrameDIBAND(n);
        ASSERT_EQ(andSurface.BPP(), 1);
        Bytes mask(f.pixels.size(), 0);
        if (f.transparent)
            for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = f.pixels[i] == f.transparentIndex ? 1 : 0;
        EXPECT_EQ(MaskBits(andSurface), mask);
        Bytes table = palette;
        if (f.transparent) std::fill_n(table.begin() + 4 * f.transparentIndex, 3, 0);
        const Bytes surfaceTable = SurfaceTable(xorSurface);
        for (int i = 0; i < 1024; i += 4)
            ASSERT_TRUE(std::equal(table.begin() + i, table.begin() + i + 3, surfaceTable.begin() + i)) << i / 4;
    }
}

TEST(GifReader, RandomDocumentsRoundTripThroughOurWriter) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("document " + std::to_string(round));
        const DocumentPlan d = RandomDocument(rng);
        GifDocument written;
        Build(d, written);
        const Bytes bytes = WriteToBytes(written);
        GifDocument read;
        ASSERT_TRUE(read.LoadFromStream(bytes));
        ExpectDocument(d, read);
        if (HasFatalFailure()) return;
    }
}

TEST(GifReader, ExtremeFramesRoundTrip) {
    // 1 x 1, single rows and columns (interlaced or not), 2 and 256 colours,
    // through a file this time.
    std::mt19937 rng(7);
    TempDir dir;
    const std::vector<std::pair<int, int>> sizes{{1, 1}, {300, 1}, {1, 200}, {300, 200}, {3, 5}, {5, 4}};
    for (auto [w, h] : sizes) {
        for (int colours : {2, 256}) {
            DocumentPlan d;
            d.global = true;
            d.globalEntries = colours;
            d.globalPalette.assign(1024, 0);
            for (int i = 0; i < 4 * colours; ++i)
                if (i % 4 != 3) d.globalPalette[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
            d.screenWidth = w;
            d.screenHeight = h;
            for (bool interlaced : {false, true}) {
                FramePlan f;
                f.width = w;
                f.height = h;
                f.interlaced = interlaced;
                f.transparent = interlaced;
                f.transparentIndex = colours - 1;
                f.palette.assign(1024, 0);
                f.entries = 2;
                f.pixels.resize(static_cast<std::size_t>(w) * h);
                for (auto& p : f.pixels) p = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(colours));
                d.frames.push_back(f);
            }
            GifDocument written;
            Build(d, written);
            NullProgress progress;
            const std::string path = (dir / "x.gif").string();
            ASSERT_TRUE(written.Save(path, progress));
            GifDocument read;
            ASSERT_TRUE(read.LoadFromFile(path));
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " + std::to_string(colours));
            ExpectDocument(d, read);
        }
    }
}

// ---- files from other programs -------------------------------------------------------------

TEST(GifReaderInterop, EveryFrameOfOtherWritersMatchesPil) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const auto files = CorpusFiles();
    ASSERT_GE(files.size(), 9u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const auto pil = ReadWithPil(file);
        ASSERT_TRUE(pil.has_value()) << "PIL could not read the file";
        GifDocument gif;
        ASSERT_TRUE(gif.LoadFromFile(file.string()));
        EXPECT_TRUE(gif.ReadNotes().empty());
        EXPECT_EQ(gif.ScreenWidth(), pil->width);
        EXPECT_EQ(gif.ScreenHeight(), pil->height);
        EXPECT_EQ(gif.LoopExtensionRead(), pil->loop >= 0);
        EXPECT_EQ(gif.AnimationLoops(), std::max(pil->loop, 0));
        ASSERT_EQ(gif.FramesCount(), pil->frames);
        ASSERT_EQ(static_cast<int>(pil->list.size()), pil->frames);
        for (std::int16_t n = 1; n <= gif.FramesCount(); ++n) {
            SCOPED_TRACE("frame " + std::to_string(n));
            const PilFrame& f = pil->list[static_cast<std::size_t>(n) - 1];
            EXPECT_EQ(gif.FrameLeft(n), f.left);
            EXPECT_EQ(gif.FrameTop(n), f.top);
            EXPECT_EQ(gif.FrameInterlaced(n), f.interlaced != 0);
            EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(n)), f.disposal);
            EXPECT_EQ(gif.FrameDelay(n) * 10, f.duration);
            EXPECT_EQ(gif.FrameUseTransparentColor(n), f.transparency >= 0);
            if (f.transparency >= 0) {
                EXPECT_EQ(gif.FrameTransparentColorIndex(n), f.transparency);
            }
            const DibSurface& dib = gif.FrameDIBXOR(n);
            ASSERT_EQ(dib.Width(), f.width);
            ASSERT_EQ(dib.Height(), f.height);
            EXPECT_EQ(Indices(dib), f.pixels);
            // The colours of the table PIL gives the frame; PIL reads a table
            // that is a grey ramp (entry i = i, i, i) as a greyscale image
            // without a palette.
            for (std::uint8_t p : f.pixels) ASSERT_LT(p, gif.LocalPaletteEntries(n));
            const int entries = static_cast<int>(f.palette.size() / 3);
            if (entries == 0) {
                for (std::uint8_t p : f.pixels) ASSERT_EQ(gif.LocalPaletteRGBEntry(n, p), p * 0x010101) << +p;
            }
            for (int i = 0; i < std::min<int>(entries, gif.LocalPaletteEntries(n)); ++i)
                ASSERT_EQ(gif.LocalPaletteRGBEntry(n, static_cast<std::uint8_t>(i)),
                          f.palette[3 * i] + f.palette[3 * i + 1] * 256 + f.palette[3 * i + 2] * 65536)
                    << "entry " << i;
        }
    }
}

TEST(GifReaderInterop, TimingDisposalAndOffsetsMatchImageMagick) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/identify");
    static const std::map<std::string, int> kDisposal{{"Undefined", 0}, {"None", 1}, {"Background", 2}, {"Previous", 3}};
    for (const fs::path& file : CorpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/identify -format '%T %D %X %Y %w %h\\n' " + Quote(file) + " 2>/dev/null", &out),
                  0);
        GifDocument gif;
        ASSERT_TRUE(gif.LoadFromFile(file.string()));
        std::istringstream in(out);
        std::int16_t n = 0;
        int delay, x, y, w, h;
        std::string disposal;
        while (in >> delay >> disposal >> x >> y >> w >> h) {
            ++n;
            ASSERT_LE(n, gif.FramesCount());
            EXPECT_EQ(gif.FrameDelay(n), delay) << n;
            ASSERT_TRUE(kDisposal.count(disposal)) << disposal;
            EXPECT_EQ(static_cast<int>(gif.FrameDisposalMethod(n)), kDisposal.at(disposal)) << n;
            EXPECT_EQ(gif.FrameLeft(n), x) << n;
            EXPECT_EQ(gif.FrameTop(n), y) << n;
            EXPECT_EQ(gif.FrameDIBXOR(n).Width(), w) << n;
            EXPECT_EQ(gif.FrameDIBXOR(n).Height(), h) << n;
        }
        EXPECT_EQ(n, gif.FramesCount());
    }
}

TEST(GifReaderInterop, TheFirstFrameDrawnLooksAsPilShowsIt) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    for (const fs::path& file : CorpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        GifDocument gif;
        ASSERT_TRUE(gif.LoadFromFile(file.string()));
        // Only where the first frame covers the whole screen.
        if (gif.FrameLeft(1) != 0 || gif.FrameTop(1) != 0 || gif.FrameDIBXOR(1).Width() != gif.ScreenWidth() ||
            gif.FrameDIBXOR(1).Height() != gif.ScreenHeight())
            continue;
        DibSurface screen;
        ASSERT_TRUE(screen.Create(gif.ScreenWidth(), gif.ScreenHeight(), 24));
        gif.FrameDraw(*screen.Context(), 1, 0, 0, 1.0f, true);
        const auto expected = DecodeWithPil(file, Background{0, 0, 0});
        ASSERT_TRUE(expected.has_value());
        const Difference d = Compare(RgbFromSurface(*screen.Bitmap()), *expected);
        EXPECT_EQ(d.over, 0u) << "max delta " << d.maxDelta;
    }
}

// Image data that start with a pixel code instead of a clear code, and
// application extensions without data: by hand and from the public GIF
// suite. (giflib 5.2 itself takes the byte after an empty comment for a
// size byte, so the file by hand has no empty comment.)
TEST(GifReaderInterop, StreamsWithoutALeadingClearAndEmptyExtensionsReadAsGiflibAndPilReadThem) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    TempDir dir;
    Stream s;
    s.Screen(4, 2, 0x81).Table(4, Grey4);
    s.Raw({0x21, 0xFF, 11}).Text("ICCRGBG1012").Raw({0});
    s.Descriptor(0, 0, 4, 1, 0).ImageData(2, PackCodes({{3, 3}, {0, 3}, {6, 3}, {5, 4}}));
    s.Raw({0x21, 0xFF, 11}).Text("XMP DataXMP").Raw({0});
    s.Descriptor(1, 1, 2, 1, 0).ImageData(2, PackCodes({{2, 3}, {1, 3}, {5, 3}}));
    s.Descriptor(0, 1, 1, 1, 0).ImageData(2, kOnePixel).Trailer();
    WriteBytes(dir / "by-hand.gif", s.bytes());
    std::vector<fs::path> files{dir / "by-hand.gif"};
    if (HaveTestData())
        for (const char* name : {"no-clear", "no-clear-and-eoi", "icc-color-profile-empty", "xmp-data-empty",
                                 "nul-comment", "nul-application-extension"})
            files.push_back(TestDataDir() / "gif" / "pygif-suite" / (std::string(name) + ".gif"));

    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const auto theirs = ReadWithGiflib(file);
        const auto pil = ReadWithPil(file);
        ASSERT_TRUE(theirs.has_value()) << "giflib could not read the file";
        ASSERT_TRUE(pil.has_value()) << "PIL could not read the file";
        GifDocument gif;
        ASSERT_TRUE(gif.LoadFromFile(file.string()));
        ASSERT_EQ(gif.FramesCount(), theirs->frames);
        ASSERT_EQ(gif.FramesCount(), pil->frames);
        for (std::int32_t n = 1; n <= gif.FramesCount(); ++n) {
            const PilFrame& g = theirs->list[static_cast<std::size_t>(n) - 1];
            const PilFrame& p = pil->list[static_cast<std::size_t>(n) - 1];
            EXPECT_EQ(gif.FrameLeft(n), g.left) << n;
            EXPECT_EQ(gif.FrameTop(n), g.top) << n;
            EXPECT_EQ(Indices(gif.FrameDIBXOR(n)), g.pixels) << "frame " << n << " against giflib";
            EXPECT_EQ(Indices(gif.FrameDIBXOR(n)), p.pixels) << "frame " << n << " against PIL";
        }
    }
}

// ---- damaged files -------------------------------------------------------------------------

// Surfaces are either absent or of one size, the XOR one 8-bit, the AND one
// 1-bit; every record of the count is reachable.
void ExpectConsistent(GifDocument& gif) {
    ASSERT_GE(gif.FramesCount(), 0);
    for (std::int16_t n = 1; n <= gif.FramesCount(); ++n) {
        const DibSurface& x = gif.FrameDIBXOR(n);
        const DibSurface& a = gif.FrameDIBAND(n);
        ASSERT_EQ(x.Width(), a.Width());
        ASSERT_EQ(x.Height(), a.Height());
        if (x.Width() > 0) {
            ASSERT_EQ(x.BPP(), 8);
            ASSERT_EQ(a.BPP(), 1);
        }
    }
}

std::vector<Bytes> DamageSources() {
    std::vector<Bytes> sources;
    for (const fs::path& file : CorpusFiles()) sources.push_back(ReadBytes(file));
    std::mt19937 rng(99);
    DocumentPlan d = RandomDocument(rng);
    GifDocument gif;
    Build(d, gif);
    sources.push_back(WriteToBytes(gif));
    return sources;
}

TEST(GifReaderDamage, EveryCutKeepsTheFramesBeforeIt) {
    for (const Bytes& full : DamageSources()) {
        GifDocument whole;
        ASSERT_TRUE(whole.LoadFromStream(full));
        // Every byte position for small files, a stride for larger ones.
        const std::size_t stride = std::max<std::size_t>(1, full.size() / 3000);
        for (std::size_t cut = 6; cut < full.size(); cut += stride) {
            GifDocument gif;
            ASSERT_TRUE(gif.LoadFromStream(std::span(full.data(), cut))) << cut;
            ExpectConsistent(gif);
            ASSERT_LE(gif.FramesCount(), whole.FramesCount()) << cut;
            for (std::int16_t n = 1; n <= gif.FramesCount(); ++n) {
                const Bytes part = Indices(gif.FrameDIBXOR(n));
                if (part.empty()) continue;
                const Bytes all = Indices(whole.FrameDIBXOR(n));
                ASSERT_EQ(part.size(), all.size()) << cut;
                if (n < gif.FramesCount()) {
                    ASSERT_EQ(part, all) << "frame " << n << " cut " << cut;
                } else {
                    // The frame being read at the cut: a prefix of its pixels,
                    // the others still 0.
                    for (std::size_t i = 0; i < part.size(); ++i)
                        ASSERT_TRUE(part[i] == all[i] || part[i] == 0) << "frame " << n << " cut " << cut;
                }
            }
        }
    }
}

TEST(GifReaderDamage, RandomByteChangesLoadWithoutHarm) {
    std::mt19937 rng(4242);
    const auto sources = DamageSources();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = sources[static_cast<std::size_t>(round) % sources.size()];
        const int changes = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < changes; ++k) {
            const std::size_t at = 6 + rng() % (bytes.size() - 6);
            bytes[at] = (rng() % 2) ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(bytes[at] ^ (1u << (rng() % 8)));
        }
        if (rng() % 4 == 0) bytes.resize(6 + rng() % (bytes.size() - 6));
        GifDocument gif;
        ASSERT_TRUE(gif.LoadFromStream(bytes)) << round;
        ExpectConsistent(gif);
    }
    // Reading damaged data never takes long.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
}

}  // namespace
}  // namespace crossmeld::test
