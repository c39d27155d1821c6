// The GIF LZW encoder: code streams worked out by hand, the sub-block
// framing, the code width steps, the dictionary clear, the interlaced row
// order, and round trips through a small decoder written here from the
// format's rules (independent of the encoder's hash and its width logic).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/ByteWriter.h"
#include "base/Error.h"
#include "formats/gif/LzwEncoder.h"
#include "raster/DibSurface.h"
#include "support/Expect.h"

namespace crossmeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An 8-bit surface holding the pixels (row by row, width per row); the row
// padding is filled with 0xEE so that reading past the width shows.
DibSurface Surface8(std::int32_t width, std::int32_t height, const Bytes& pixels) {
    DibSurface dib;
    EXPECT_TRUE(dib.Create(width, height, 8));
    std::memset(dib.Bits(), 0xEE, static_cast<std::size_t>(dib.Size()));
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(dib.Bits() + y * dib.BytesPerScanline(), pixels.data() + y * width,
                    static_cast<std::size_t>(width));
    return dib;
}

Bytes Encode(const DibSurface& dib, int initialWidth, bool interlaced = false) {
    VectorSink sink;
    ByteWriter out(sink);
    LzwEncoder::EncodeFrame(out, dib, static_cast<std::uint8_t>(initialWidth), interlaced);
    return sink.bytes();
}

// The data of a run of sub-blocks; every length byte must be 1 .. 254 and
// the run must end exactly at the end of the bytes.
Bytes Unblock(const Bytes& blocks, std::vector<int>* sizes = nullptr) {
    Bytes data;
    std::size_t at = 0;
    while (at < blocks.size()) {
        const int n = blocks[at];
        EXPECT_GE(n, 1) << "empty sub-block at " << at;
        EXPECT_LE(n, 254) << "sub-block at " << at;
        EXPECT_LE(at + 1 + n, blocks.size()) << "sub-block at " << at << " runs past the data";
        if (at + 1 + n > blocks.size()) break;
        data.insert(data.end(), blocks.begin() + at + 1, blocks.begin() + at + 1 + n);
        if (sizes) sizes->push_back(n);
        at += 1 + n;
    }
    return data;
}

struct CodeRead {
    int code;
    int width;
    int next;  // the decoder's next free code when the code was read
};

struct Decoded {
    Bytes pixels;  // in stream order
    std::vector<CodeRead> codes;
    bool ok = false;
};

// A plain GIF LZW decoder: codes least significant bit first; the width
// grows once the next free code passes the largest code of the width, up to
// 12 bits; the first code after a clear adds no string.
Decoded DecodeLzw(const Bytes& data, int initialWidth) {
    Decoded out;
    const int clear = 1 << (initialWidth - 1), end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<std::uint8_t> suffix(4096, 0);
    for (int i = 0; i < clear; ++i) suffix[i] = static_cast<std::uint8_t>(i);
    auto expand = [&](int code) {
        Bytes s;
        while (code >= 0) {
            s.push_back(suffix[code]);
            code = prefix[code];
        }
        return Bytes(s.rbegin(), s.rend());
    };
    int width = initialWidth, next = clear + 2, previous = -1;
    std::uint64_t bits = 0;
    int count = 0;
    std::size_t at = 0;
    for (;;) {
        while (count < width) {
            if (at == data.size()) return out;  // ran out before the end code
            bits |= static_cast<std::uint64_t>(data[at++]) << count;
            count += 8;
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        out.codes.push_back({code, width, next});
        if (code == clear) {
            width = initialWidth;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) break;
        Bytes s;
        if (code < next) {
            s = expand(code);
        } else if (code == next && previous >= 0) {
            s = expand(previous);
            s.push_back(s.front());
        } else {
            ADD_FAILURE() << "code " << code << " past the next free code " << next;
            return out;
        }
        if (previous >= 0) {
            if (next >= 4096) {
                ADD_FAILURE() << "dictionary full without a clear code";
                return out;
            }
            prefix[next] = previous;
            suffix[next] = s.front();
            ++next;
        }
        out.pixels.insert(out.pixels.end(), s.begin(), s.end());
        previous = code;
        if (next > (1 << width) - 1 && width < 12) ++width;
    }
    out.ok = true;
    return out;
}

std::vector<int> Codes(const Decoded& d) {
    std::vector<int> codes;
    for (const CodeRead& c : d.codes) codes.push_back(c.code);
    return codes;
}

// ---- whole streams worked out by hand ----------------------------------

struct HandVector {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    Bytes pixels;
    int initialWidth;
    Bytes expected;  // sub-blocks
};

class LzwHandVectors : public ::testing::TestWithParam<HandVector> {};

TEST_P(LzwHandVectors, EncodeToTheExpectedSubBlocks) {
    const HandVector& v = GetParam();
    EXPECT_EQ(Encode(Surface8(v.width, v.height, v.pixels), v.initialWidth), v.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LzwHandVectors,
    ::testing::Values(
        // Codes 4 (clear), 0, 5 (end) at 3 bits: 100 000 101 -> 0x44, 0x01.
        HandVector{"OnePixel", 1, 1, {0}, 3, {0x02, 0x44, 0x01}},
        // Codes 4, 0, 1, 6 at 3 bits; code 6 goes out while the next free code
        // is 8, so 8 ("010") and 5 follow at 4 bits.
        HandVector{"WidthGrowsAfterTheCodeThatNeededIt", 7, 1, {0, 1, 0, 1, 0, 1, 0}, 3, {0x03, 0x44, 0x8C, 0x05}},
        // The same pixels as a column of 7 rows: the rows join into one
        // stream of strings.
        HandVector{"RowsJoin", 1, 7, {0, 1, 0, 1, 0, 1, 0}, 3, {0x03, 0x44, 0x8C, 0x05}},
        // Pixels 16 1 0 0 32 2 0 0 at 9 bits. The string "0 0" is keyed 0 and
        // lands at slot 5002 (slot 0 holds "16 1"). "32 2" also starts at
        // slot 0; its probe stops at the key-0 slot and takes it over, so
        // the second "0 0" is not found: codes 256 16 1 0 0 32 2 0 0 257.
        HandVector{"KeyZeroSlotIsReused",
                   8,
                   1,
                   {16, 1, 0, 0, 32, 2, 0, 0},
                   9,
                   {0x0C, 0x00, 0x21, 0x04, 0x00, 0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x02, 0x02}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LzwEncoder, KeyZeroQuirkDecodesToThePixels) {
    const Bytes pixels = {16, 1, 0, 0, 32, 2, 0, 0};
    const Decoded d = DecodeLzw(Unblock(Encode(Surface8(8, 1, pixels), 9)), 9);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, pixels);
    EXPECT_EQ(Codes(d), (std::vector<int>{256, 16, 1, 0, 0, 32, 2, 0, 0, 257}));
}

// ---- framing -------------------------------------------------------------

TEST(LzwEncoder, LongDataIsCutInto254ByteSubBlocks) {
    std::mt19937 rng(7);
    Bytes pixels(64 * 64);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(rng() & 0xFF);
    const Bytes blocks = Encode(Surface8(64, 64, pixels), 9);
    std::vector<int> sizes;
    const Bytes data = Unblock(blocks, &sizes);
    ASSERT_GT(sizes.size(), 2u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 254) << "sub-block " << i;
    EXPECT_LT(sizes.back(), 254);
    const Decoded d = DecodeLzw(data, 9);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, pixels);
}

TEST(LzwEncoder, ExactMultipleOf254EndsWithoutAnEmptyBlock) {
    // Find a stream whose data is a multiple of 254 bytes: gradients of
    // growing length give every data size, one of them hits 508.
    for (std::int32_t w = 1; w < 2000; ++w) {
        Bytes pixels(static_cast<std::size_t>(w));
        for (std::int32_t x = 0; x < w; ++x) pixels[x] = static_cast<std::uint8_t>((x * 7) % 251);
        const Bytes blocks = Encode(Surface8(w, 1, pixels), 9);
        std::vector<int> sizes;
        const Bytes data = Unblock(blocks, &sizes);
        if (data.size() % 254 != 0) continue;
        EXPECT_EQ(blocks.size(), data.size() + data.size() / 254);
        for (int s : sizes) EXPECT_EQ(s, 254);
        return;
    }
    GTEST_SKIP() << "no stream of a multiple of 254 bytes found";
}

// ---- the dictionary limit --------------------------------------------------

TEST(LzwEncoder, FullDictionaryEmitsClearAt12BitsThenRestarts) {
    std::mt19937 rng(11);
    Bytes pixels(200 * 200);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(rng() % 256);
    const Decoded d = DecodeLzw(Unblock(Encode(Surface8(200, 200, pixels), 9)), 9);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, pixels);

    int clears = 0;
    for (std::size_t i = 1; i < d.codes.size(); ++i) {
        if (d.codes[i].code != 256) continue;
        ++clears;
        // Only a full dictionary is cleared, and the clear comes right after
        // the code that took the last entry.
        EXPECT_EQ(d.codes[i].next, 4096) << "clear at code " << i;
        EXPECT_EQ(d.codes[i - 1].width, 12);
        EXPECT_EQ(d.codes[i].width, 12);
        ASSERT_LT(i + 1, d.codes.size());
        EXPECT_EQ(d.codes[i + 1].width, 9);
    }
    EXPECT_GE(clears, 5);
    EXPECT_EQ(d.codes.front().code, 256);
    EXPECT_EQ(d.codes.back().code, 257);
}

TEST(LzwEncoder, WidthStepsThroughEveryWidthUpTo12) {
    std::mt19937 rng(3);
    Bytes pixels(120 * 100);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(rng() % 4);
    const Decoded d = DecodeLzw(Unblock(Encode(Surface8(120, 100, pixels), 3)), 3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, pixels);
    std::vector<int> widths;
    for (const CodeRead& c : d.codes)
        if (widths.empty() || widths.back() != c.width) widths.push_back(c.width);
    ASSERT_GE(widths.size(), 10u);
    EXPECT_EQ(std::vector<int>(widths.begin(), widths.begin() + 10),
              (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

// ---- row order -------------------------------------------------------------

struct RowOrderCase {
    std::int32_t height;
    bool interlaced;
    std::vector<int> rows;
};

class LzwRowOrder : public ::testing::TestWithParam<RowOrderCase> {};

TEST_P(LzwRowOrder, RowsAreDeliveredInOrder) {
    const RowOrderCase& c = GetParam();
    // Two columns; both pixels of row y hold y.
    Bytes pixels;
    for (std::int32_t y = 0; y < c.height; ++y) pixels.insert(pixels.end(), {std::uint8_t(y), std::uint8_t(y)});
    const Decoded d = DecodeLzw(Unblock(Encode(Surface8(2, c.height, pixels), 9, c.interlaced)), 9);
    ASSERT_TRUE(d.ok);
    Bytes expected;
    for (int y : c.rows) expected.insert(expected.end(), {std::uint8_t(y), std::uint8_t(y)});
    EXPECT_EQ(d.pixels, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LzwRowOrder,
    ::testing::Values(RowOrderCase{8, true, {0, 4, 2, 6, 1, 3, 5, 7}},
                      RowOrderCase{8, false, {0, 1, 2, 3, 4, 5, 6, 7}},
                      RowOrderCase{4, true, {0, 1, 2, 3}},  // 4 rows or fewer: never interlaced
                      RowOrderCase{3, true, {0, 1, 2}},
                      RowOrderCase{1, true, {0}},
                      RowOrderCase{5, true, {0, 4, 2, 1, 3}},
                      RowOrderCase{9, true, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
                      RowOrderCase{17, true, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}}));

TEST(LzwEncoder, OnlyWidthBytesOfEachRowAreEncoded) {
    // Width 3: one padding byte (0xEE) per row is never read.
    const Bytes pixels = {1, 2, 3, 3, 2, 1};
    const Decoded d = DecodeLzw(Unblock(Encode(Surface8(3, 2, pixels), 3)), 3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, pixels);
}

// ---- surfaces it leaves alone, and failures ---------------------------------

TEST(LzwEncoder, SurfacesNotOf8BitsWriteNothing) {
    DibSurface empty;
    EXPECT_TRUE(Encode(empty, 9).empty());
    for (int bpp : {1, 4, 24, 32}) {
        DibSurface dib;
        ASSERT_TRUE(dib.Create(4, 4, bpp));
        EXPECT_TRUE(Encode(dib, 9).empty()) << bpp << " bits per pixel";
    }
}

TEST(LzwEncoder, PixelsThatDoNotFitTheCodeSizeAreRefusedBeforeAnyOutput) {
    // With minimum code size 2, pixel 4 would read as the clear code and 5
    // as the end code; 8 would lose its high bit.
    for (std::uint8_t bad : {4, 5, 8, 255}) {
        VectorSink sink;
        ByteWriter out(sink);
        try {
            LzwEncoder::EncodeFrame(out, Surface8(3, 2, {0, 1, 2, 3, bad, 0}), 3, false);
            ADD_FAILURE() << "pixel " << int(bad) << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::SubscriptOutOfRange);
        }
        EXPECT_TRUE(sink.bytes().empty());
    }
    // The padding past the width does not count (Surface8 fills it with 0xEE).
    EXPECT_FALSE(Encode(Surface8(3, 2, {0, 1, 2, 3, 3, 0}), 3).empty());
}

TEST(LzwEncoder, MinimumCodeSizeGrowsToHoldTheLargestPixel) {
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 3, 2}), 2), 2);
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 4, 2}), 2), 3);
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 8, 2}), 2), 4);
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 200, 2}), 5), 8);
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 31, 2}), 5), 5);
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(2, 2, {0, 1, 255, 2}), 8), 8);
    // Padding bytes (0xEE) past a width of 3 are not pixels.
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(Surface8(3, 1, {1, 2, 3}), 2), 2);
    DibSurface deep;
    ASSERT_TRUE(deep.Create(2, 2, 24));
    EXPECT_EQ(LzwEncoder::MinimumCodeSizeFor(deep, 2), 2);
}

TEST(LzwEncoder, InitialWidthOutside3To9IsRejected) {
    const DibSurface dib = Surface8(2, 2, {0, 1, 1, 0});
    for (int w : {0, 2, 10, 12}) {
        try {
            Encode(dib, w);
            ADD_FAILURE() << "width " << w << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidProcedureCall);
        }
    }
}

TEST(LzwEncoder, AFailedWriteEndsTheEncoding) {
    std::mt19937 rng(5);
    Bytes pixels(100 * 100);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(rng() & 0xFF);
    FailingSink sink(1000);
    ByteWriter out(sink);
    EXPECT_THROW(LzwEncoder::EncodeFrame(out, Surface8(100, 100, pixels), 9, false), Error);
}

// ---- a literal transcription of the encoding steps ----------------------------

// The encoder written the plain way, step by step as the format's encoder
// is described: a pixel source with its row, column and interlace pass, a
// 32-bit accumulator masked before each code, bytes put one at a time into
// a 256-byte pending sub-block, and the 5003-slot hash with its probe start
// (pixel x 16) XOR prefix and the displacement probe. Large frames encoded
// by the real encoder must match it byte for byte.
class ReferenceEncoder {
public:
    Bytes Encode(const DibSurface& dib, int initialWidth, bool interlaced) {
        m_dib = &dib;
        m_width = dib.Width();
        m_height = dib.Height();
        m_left = static_cast<std::int64_t>(m_width) * m_height;
        m_interlace = interlaced && m_height > 4;
        m_x = m_y = m_pass = 0;
        for (int k = 0; k <= 16; ++k) m_mask[k] = (1 << k) - 1;
        m_acc = 0;
        m_bits = 0;
        m_clearFlag = false;
        m_initialWidth = initialWidth;
        m_curWidth = initialWidth;
        m_maxCode = (1 << initialWidth) - 1;
        m_clearCode = 1 << (initialWidth - 1);
        m_endCode = m_clearCode + 1;
        m_freeCode = m_clearCode + 2;
        m_count = 0;
        m_out.clear();
        for (auto& k : m_hash) k = -1;
        Output(m_clearCode);
        std::int32_t prefix = NextPixel();
        for (;;) {
            const std::int32_t c = NextPixel();
            if (c < 0) {
                Output(prefix);
                Output(m_endCode);
                return m_out;
            }
            const std::int32_t key = prefix + c * 4096;
            std::int32_t i = (c * 16) ^ prefix;
            bool found = false;
            if (m_hash[i] == key) {
                found = true;
            } else if (m_hash[i] >= 0) {
                const std::int32_t displacement = i == 0 ? 1 : 5003 - i;
                for (;;) {
                    i -= displacement;
                    if (i < 0) i += 5003;
                    if (m_hash[i] == key) {
                        found = true;
                        break;
                    }
                    if (m_hash[i] <= 0) break;
                }
            }
            if (found) {
                prefix = m_codes[i];
                continue;
            }
            Output(prefix);
            if (m_freeCode < 4096) {
                m_codes[i] = m_freeCode++;
                m_hash[i] = key;
            } else {
                for (auto& k : m_hash) k = -1;
                m_freeCode = m_clearCode + 2;
                m_clearFlag = true;
                Output(m_clearCode);
            }
            prefix = c;
        }
    }

private:
    std::int32_t NextPixel() {
        if (m_left == 0) return -1;
        const std::int32_t pixel = m_dib->Bits()[m_y * m_dib->BytesPerScanline() + m_x];
        if (++m_x == m_width) {
            m_x = 0;
            if (!m_interlace) {
                ++m_y;
            } else if (m_pass == 0) {
                if ((m_y += 8) >= m_height) m_pass = 1, m_y = 4;
            } else if (m_pass == 1) {
                if ((m_y += 8) >= m_height) m_pass = 2, m_y = 2;
            } else if (m_pass == 2) {
                if ((m_y += 4) >= m_height) m_pass = 3, m_y = 1;
            } else {
                m_y += 2;
            }
        }
        --m_left;
        return pixel;
    }

    void Output(std::int32_t code) {
        m_acc &= m_mask[m_bits];
        m_acc = m_bits > 0 ? m_acc | (code << m_bits) : code;
        m_bits += m_curWidth;
        while (m_bits >= 8) {
            Put(static_cast<std::uint8_t>(m_acc & 255));
            m_acc /= 256;
            m_bits -= 8;
        }
        if (m_freeCode > m_maxCode || m_clearFlag) {
            if (m_clearFlag) {
                m_curWidth = m_initialWidth;
                m_maxCode = (1 << m_curWidth) - 1;
                m_clearFlag = false;
            } else {
                ++m_curWidth;
                m_maxCode = m_curWidth == 12 ? 4096 : (1 << m_curWidth) - 1;
            }
        }
        if (code == m_endCode) {
            while (m_bits > 0) {
                Put(static_cast<std::uint8_t>(m_acc & 255));
                m_acc /= 256;
                m_bits -= 8;
            }
            Flush();
        }
    }

    void Put(std::uint8_t b) {
        m_block[++m_count] = b;
        if (m_count == 254) Flush();
    }

    void Flush() {
        if (m_count == 0) return;
        m_block[0] = static_cast<std::uint8_t>(m_count);
        m_out.insert(m_out.end(), m_block, m_block + m_count + 1);
        m_count = 0;
    }

    const DibSurface* m_dib = nullptr;
    std::int32_t m_width = 0, m_height = 0, m_x = 0, m_y = 0, m_pass = 0;
    std::int64_t m_left = 0;
    bool m_interlace = false;
    std::int32_t m_mask[17] = {};
    std::int32_t m_acc = 0, m_bits = 0;
    bool m_clearFlag = false;
    std::int32_t m_initialWidth = 0, m_curWidth = 0, m_maxCode = 0, m_clearCode = 0, m_endCode = 0, m_freeCode = 0;
    std::int32_t m_hash[5003] = {};
    std::int32_t m_codes[5003] = {};
    std::uint8_t m_block[256] = {};
    std::int32_t m_count = 0;
    Bytes m_out;
};

struct ReferenceCase {
    const char* name;
    std::int32_t width, height;
    int minimumCodeSize;
    bool interlaced;
    // Pixel (x, y) of the frame.
    std::function<std::uint8_t(std::int32_t x, std::int32_t y, std::mt19937& rng)> pixel;
};

class LzwAgainstReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(LzwAgainstReference, SameBytes) {
    const ReferenceCase& c = GetParam();
    DibSurface dib;
    ASSERT_TRUE(dib.Create(c.width, c.height, 8));
    std::memset(dib.Bits(), 0xEE, static_cast<std::size_t>(dib.Size()));
    std::mt19937 rng(static_cast<unsigned>(c.width * 7919 + c.height));
    for (std::int32_t y = 0; y < c.height; ++y)
        for (std::int32_t x = 0; x < c.width; ++x) dib.Bits()[y * dib.BytesPerScanline() + x] = c.pixel(x, y, rng);
    const Bytes got = Encode(dib, c.minimumCodeSize + 1, c.interlaced);
    const Bytes want = ReferenceEncoder().Encode(dib, c.minimumCodeSize + 1, c.interlaced);
    const auto mismatch = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(mismatch.first == got.end() && mismatch.second == want.end())
        << "first difference at byte " << (mismatch.first - got.begin()) << " of " << got.size() << " / "
        << want.size();
}

// A dithered-looking full-HD frame: a 6-level cube index of a gradient plus
// a 4 x 4 threshold pattern and a little noise.
std::uint8_t DitheredGradient(std::int32_t x, std::int32_t y, std::mt19937& rng) {
    static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const int t = kBayer[y & 3][x & 3] * 3 + static_cast<int>(rng() % 5);
    auto level = [&](int v) { return std::min(5, (v + t) / 51); };
    return static_cast<std::uint8_t>(level(x * 255 / 1920) + 6 * level(y * 255 / 1080) +
                                     36 * level(255 - (x + y) * 255 / 3000));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, LzwAgainstReference,
    ::testing::Values(
        ReferenceCase{"DitheredFullHd", 1920, 1080, 8, false, DitheredGradient},
        ReferenceCase{"DitheredFullHdInterlaced", 1920, 1080, 8, true, DitheredGradient},
        ReferenceCase{"Noise256", 300, 300, 8, false, [](auto, auto, auto& rng) { return std::uint8_t(rng()); }},
        ReferenceCase{"Noise256Interlaced", 301, 299, 8, true, [](auto, auto, auto& rng) { return std::uint8_t(rng()); }},
        ReferenceCase{"NoiseFourColours", 333, 211, 2, false,
                      [](auto, auto, auto& rng) { return std::uint8_t(rng() % 4); }},
        ReferenceCase{"OneColourLongRuns", 1001, 997, 8, false, [](auto, auto, auto&) { return std::uint8_t(7); }},
        ReferenceCase{"ZeroRuns", 777, 555, 3, false, [](auto, auto, auto&) { return std::uint8_t(0); }},
        ReferenceCase{"ShortRuns", 640, 480, 5, true,
                      [](auto x, auto y, auto& rng) {
                          return std::uint8_t(rng() % 16 == 0 ? rng() % 32 : (x / 9 + y / 7) % 32);
                      }},
        ReferenceCase{"EveryCodeSizeNarrowSurface", 3, 5000, 6, false,
                      [](auto x, auto y, auto&) { return std::uint8_t((x * 5 + y / 3) % 64); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- round trips -------------------------------------------------------------

TEST(LzwEncoder, RandomFramesRoundTrip) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        const std::int32_t w = 1 + static_cast<std::int32_t>(rng() % 97);
        const std::int32_t h = 1 + static_cast<std::int32_t>(rng() % 61);
        const int minimumCodeSize = 2 + static_cast<int>(rng() % 7);
        const bool interlaced = rng() & 1;
        const bool smooth = rng() & 1;
        const int colours = 1 << minimumCodeSize;
        Bytes pixels(static_cast<std::size_t>(w) * h);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint8_t>(smooth ? (i / 13) % colours : rng() % colours);
        const Decoded d = DecodeLzw(Unblock(Encode(Surface8(w, h, pixels), minimumCodeSize + 1, interlaced)),
                                    minimumCodeSize + 1);
        ASSERT_TRUE(d.ok) << w << "x" << h;
        // Put the delivered rows back in place.
        Bytes placed(pixels.size());
        std::vector<int> order;
        if (interlaced && h > 4) {
            for (int y = 0; y < h; y += 8) order.push_back(y);
            for (int y = 4; y < h; y += 8) order.push_back(y);
            for (int y = 2; y < h; y += 4) order.push_back(y);
            for (int y = 1; y < h; y += 2) order.push_back(y);
        } else {
            for (int y = 0; y < h; ++y) order.push_back(y);
        }
        ASSERT_EQ(d.pixels.size(), pixels.size()) << w << "x" << h;
        for (std::size_t k = 0; k < order.size(); ++k)
            std::memcpy(placed.data() + order[k] * w, d.pixels.data() + k * w, static_cast<std::size_t>(w));
        EXPECT_EQ(placed, pixels) << w << "x" << h << " code size " << minimumCodeSize;
    }
}

}  // namespace
}  // namespace crossmeld::test
