// The LZW decoder: hand-packed code streams (width growth, the repeated-pixel
// case, clears, streams without a leading clear, the full dictionary),
// interlaced row order, truncated and broken data, and round trips through
// the encoder for random frames.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/ByteWriter.h"
#include "formats/gif/LzwDecoder.h"
#include "formats/gif/LzwEncoder.h"
#include "raster/DibSurface.h"
#include "support/LzwCodes.h"

namespace crossmeld {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::PackCodes;

// An 8-bit surface whose pixels all hold the marker.
DibSurface Surface8(int w, int h, std::uint8_t marker = 0xEE) {
    DibSurface dib;
    EXPECT_TRUE(dib.Create(w, h, 8));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) dib.Bits()[y * dib.BytesPerScanline() + x] = marker;
    return dib;
}

Bytes Pixels(const DibSurface& dib) {
    Bytes out;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) out.push_back(dib.Bits()[y * dib.BytesPerScanline() + x]);
    return out;
}

TEST(LzwDecoder, TheSmallestImage) {
    // Codes 4, 0, 5 at 3 bits: the single pixel 0.
    DibSurface dib = Surface8(1, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, Bytes{0x44, 0x01});
    EXPECT_EQ(Pixels(dib), Bytes{0});
}

TEST(LzwDecoder, RepeatedPixelsAndWidthGrowth) {
    // Six pixels 1 as an encoder sends them: clear 4, 1, then 6 and 7 (each
    // the code being defined: the string of the previous code plus its own
    // first pixel), all at 3 bits; the entry for 7 makes the width 4, so the
    // end code 5 comes at 4 bits: 0x5F8C.
    EXPECT_EQ(PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}}), (Bytes{0x8C, 0x5F}));
    DibSurface dib = Surface8(6, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, Bytes{0x8C, 0x5F});
    EXPECT_EQ(Pixels(dib), (Bytes{1, 1, 1, 1, 1, 1}));

    // Read at 3 bits, the fifth code would be 5 | 0 << 3: an end code too
    // early or a wrong string would show in the pixels. Following it with
    // a pixel code at 4 bits proves the width.
    DibSurface wide = Surface8(7, 1);
    LzwDecoder::DecodeFrame(wide, false, 2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {2, 4}, {5, 4}}));
    EXPECT_EQ(Pixels(wide), (Bytes{1, 1, 1, 1, 1, 1, 2}));
}

TEST(LzwDecoder, DataLongerThanTheSurfaceAreReadToTheEndCode) {
    // A 1 x 1 image whose data hold twelve clear codes before the pixel.
    std::vector<std::pair<int, int>> codes(12, {4, 3});
    codes.push_back({3, 3});
    codes.push_back({5, 3});
    const Bytes data = PackCodes(codes);
    ASSERT_GT(data.size(), 4u);
    DibSurface dib = Surface8(1, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, data);
    EXPECT_EQ(Pixels(dib), Bytes{3});
}

TEST(LzwDecoder, ClearRestartsTheWidthAndTheDictionary) {
    // 0 0 (entry 6 = 0 0), clear, then 6 would be undefined: the first code
    // after a clear is a pixel, and 6 is defined afresh by the next code.
    const Bytes data = PackCodes({{4, 3}, {0, 3}, {0, 3}, {4, 3}, {2, 3}, {2, 3}, {6, 3}, {5, 4}});
    DibSurface dib = Surface8(8, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, data);
    EXPECT_EQ(Pixels(dib), (Bytes{0, 0, 2, 2, 2, 2, 0xEE, 0xEE}));
}

TEST(LzwDecoder, TheFirstCodeMayBeAPixelInsteadOfAClear) {
    // 3, then 0 (entry 6 = 3 0), then 6 (entry 7 = 0 3; the next free code 8
    // passes 7, so the end code takes 4 bits): 3 0 3 0.
    DibSurface dib = Surface8(5, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, PackCodes({{3, 3}, {0, 3}, {6, 3}, {5, 4}}));
    EXPECT_EQ(Pixels(dib), (Bytes{3, 0, 3, 0, 0xEE}));

    // Minimum code size 3 in one byte: pixel 1, then the end code 9.
    DibSurface one = Surface8(1, 1);
    LzwDecoder::DecodeFrame(one, false, 3, Bytes{0x91});
    EXPECT_EQ(Pixels(one), Bytes{1});

    // A first end code ends at once; a first string code stands for nothing.
    for (int first : {5, 6}) {
        DibSurface none = Surface8(2, 1);
        LzwDecoder::DecodeFrame(none, false, 2, PackCodes({{first, 3}, {1, 3}, {5, 3}}));
        EXPECT_EQ(Pixels(none), (Bytes{0xEE, 0xEE})) << "first code " << first;
    }
}

TEST(LzwDecoder, TruncatedAndBrokenDataKeepThePixelsSoFar) {
    // The six-pixel stream cut after its first byte: the code 6 is
    // incomplete, one pixel is written.
    DibSurface cut = Surface8(6, 1);
    LzwDecoder::DecodeFrame(cut, false, 2, Bytes{0x8C});
    EXPECT_EQ(Pixels(cut), (Bytes{1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    DibSurface none = Surface8(2, 1);
    LzwDecoder::DecodeFrame(none, false, 2, Bytes{});
    EXPECT_EQ(Pixels(none), (Bytes{0xEE, 0xEE}));

    // A code beyond the next free one (7 while 6 is next) ends decoding.
    DibSurface invalid = Surface8(4, 1);
    LzwDecoder::DecodeFrame(invalid, false, 2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {1, 3}, {5, 3}}));
    EXPECT_EQ(Pixels(invalid), (Bytes{1, 0xEE, 0xEE, 0xEE}));

    // A string code right after the clear has nothing to stand for.
    DibSurface early = Surface8(2, 1);
    LzwDecoder::DecodeFrame(early, false, 2, PackCodes({{4, 3}, {6, 3}, {1, 3}, {5, 3}}));
    EXPECT_EQ(Pixels(early), (Bytes{0xEE, 0xEE}));

    // Other depths and absurd code sizes write nothing.
    DibSurface deep;
    ASSERT_TRUE(deep.Create(2, 1, 24));
    LzwDecoder::DecodeFrame(deep, false, 2, Bytes{0x44, 0x01});
    DibSurface big = Surface8(1, 1);
    LzwDecoder::DecodeFrame(big, false, 12, Bytes{0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(Pixels(big), Bytes{0xEE});
}

TEST(LzwDecoder, AFullDictionaryKeepsDecodingWithoutNewEntries) {
    // clear, then pixel 0 over and over: every code after the first defines
    // the next entry (6, 7, ...). Widths grow when the next free code passes
    // the largest code of the width; they stop at 12.
    std::vector<std::pair<int, int>> codes{{4, 3}, {0, 3}};
    int next = 6, width = 3;
    while (next <= 4097) {
        codes.push_back({0, width});
        ++next;
        if (next > (1 << width) - 1 && width < 12) ++width;
    }
    // An encoder may go on without a clear code: the codes keep their
    // meaning (6 is still "0 0") and no entry is added.
    codes.push_back({1, 12});
    codes.push_back({6, 12});
    codes.push_back({5, 12});
    DibSurface dib = Surface8(5000, 1);
    LzwDecoder::DecodeFrame(dib, false, 2, PackCodes(codes));
    const Bytes pixels = Pixels(dib);
    // The first pixel, one per entry 6 .. 4096, one more 0, then 1, 0, 0.
    const std::size_t zeros = 1 + (4096 - 6 + 1) + 1;
    for (std::size_t i = 0; i < zeros; ++i) ASSERT_EQ(pixels[i], 0) << "pixel " << i;
    EXPECT_EQ(Bytes(pixels.begin() + zeros, pixels.begin() + zeros + 4), (Bytes{1, 0, 0, 0xEE}));
}

TEST(LzwDecoder, InterlacedRowsComeInFourPasses) {
    // Eight one-pixel rows sent with the values 0 .. 7 in that order.
    std::vector<std::pair<int, int>> codes{{8, 4}};
    // Values 1 .. 6 define the entries 10 .. 15; the next free code is then
    // 16, past the largest 4-bit code, so 7 and the end code take 5 bits.
    for (int v = 0; v < 7; ++v) codes.push_back({v, 4});
    codes.push_back({7, 5});
    codes.push_back({9, 5});
    DibSurface interlaced = Surface8(1, 8);
    LzwDecoder::DecodeFrame(interlaced, true, 3, PackCodes(codes));
    // Row 0 gets the first value, row 4 the second, then 2, 6, 1, 3, 5, 7.
    EXPECT_EQ(Pixels(interlaced), (Bytes{0, 4, 2, 5, 1, 6, 3, 7}));

    DibSurface plain = Surface8(1, 8);
    LzwDecoder::DecodeFrame(plain, false, 3, PackCodes(codes));
    EXPECT_EQ(Pixels(plain), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));

    // Four rows or fewer are always in plain order.
    std::vector<std::pair<int, int>> four{{8, 4}, {0, 4}, {1, 4}, {2, 4}, {3, 4}, {9, 4}};
    DibSurface short4 = Surface8(1, 4);
    LzwDecoder::DecodeFrame(short4, true, 3, PackCodes(four));
    EXPECT_EQ(Pixels(short4), (Bytes{0, 1, 2, 3}));
}

TEST(LzwDecoder, SurplusPixelsWrapToTheTopInPlainOrder) {
    std::vector<std::pair<int, int>> codes{{8, 4}, {1, 4}, {2, 4}, {3, 4}, {9, 4}};
    DibSurface dib = Surface8(1, 2);
    LzwDecoder::DecodeFrame(dib, false, 3, PackCodes(codes));
    EXPECT_EQ(Pixels(dib), (Bytes{3, 2}));
}

// Random frames through the encoder and back: sizes, colour counts,
// interlacing, long runs and noise (which fills the dictionary and clears).
TEST(LzwDecoder, RoundTripsThroughTheEncoder) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + static_cast<int>(rng() % 300);
        const int h = 1 + static_cast<int>(rng() % 200);
        const int bits = 1 + static_cast<int>(rng() % 8);
        const bool interlaced = rng() % 2 == 0;
        const bool runs = rng() % 3 == 0;
        DibSurface source = Surface8(w, h, 0);
        std::uint8_t value = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!runs || rng() % 50 == 0) value = static_cast<std::uint8_t>(rng() % (1u << bits));
                source.Bits()[y * source.BytesPerScanline() + x] = value;
            }
        const std::uint8_t minimumCodeSize = static_cast<std::uint8_t>(bits < 2 ? 2 : bits);
        VectorSink sink;
        ByteWriter writer(sink);
        LzwEncoder::EncodeFrame(writer, source, static_cast<std::uint8_t>(minimumCodeSize + 1), interlaced);
        // Join the sub-blocks.
        Bytes data;
        const Bytes& blocks = sink.bytes();
        for (std::size_t p = 0; p < blocks.size();) {
            const std::size_t n = blocks[p];
            data.insert(data.end(), blocks.begin() + static_cast<std::ptrdiff_t>(p + 1),
                        blocks.begin() + static_cast<std::ptrdiff_t>(p + 1 + n));
            p += n + 1;
        }
        DibSurface decoded = Surface8(w, h);
        LzwDecoder::DecodeFrame(decoded, interlaced, minimumCodeSize, data);
        ASSERT_EQ(Pixels(decoded), Pixels(source))
            << "round " << round << ": " << w << " x " << h << ", " << bits << " bits" << (interlaced ? ", interlaced" : "");
    }
}

}  // namespace
}  // namespace crossmeld
