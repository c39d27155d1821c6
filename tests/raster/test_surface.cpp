// The raster surface: strides, row order, pixel packing per depth, colour
// tables and the whole-surface BGRX exchange.
#include <gtest/gtest.h>

#include <vector>

#include "raster/Surface.h"

using namespace crossmeld;

namespace {

struct StrideCase {
    int width;
    int height;
    int bpp;
    std::int32_t stride;
    std::size_t size;
};

class SurfaceStride : public ::testing::TestWithParam<StrideCase> {};

TEST_P(SurfaceStride, RowsArePaddedToFourBytes) {
    const StrideCase& c = GetParam();
    auto s = Surface::Create(c.width, c.height, c.bpp);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->stride(), c.stride);
    EXPECT_EQ(s->sizeBytes(), c.size);
    EXPECT_EQ(s->colorTable().size(), c.bpp <= 8 ? std::size_t{1} << c.bpp : 0u);
}

INSTANTIATE_TEST_SUITE_P(Vectors, SurfaceStride,
                         ::testing::Values(StrideCase{3, 2, 8, 4, 8}, StrideCase{3, 2, 24, 12, 24},
                                           StrideCase{33, 1, 1, 8, 8}, StrideCase{32, 1, 1, 4, 4},
                                           StrideCase{9, 3, 4, 8, 24}, StrideCase{3, 1, 16, 8, 8},
                                           StrideCase{5, 2, 32, 20, 40}, StrideCase{1, 1, 24, 4, 4}));

TEST(Surface, RefusesBadShapes) {
    EXPECT_FALSE(Surface::Create(4, 4, 2));
    EXPECT_FALSE(Surface::Create(0, 4, 8));
    EXPECT_FALSE(Surface::Create(4, -1, 8));
    EXPECT_FALSE(Surface::Create(65536, 8193, 16));  // just over 1 GiB
    EXPECT_TRUE(Surface::Create(1, 1, 32));
}

TEST(Surface, NewSurfaceIsZeroWithBlackTable) {
    auto s = Surface::Create(7, 5, 8);
    ASSERT_TRUE(s);
    for (std::size_t i = 0; i < s->sizeBytes(); ++i) ASSERT_EQ(s->bits()[i], 0);
    ASSERT_EQ(s->colorTable().size(), 256u);
    for (const RgbQuad& q : s->colorTable()) EXPECT_EQ(q, RgbQuad{});
}

TEST(Surface, BottomUpRowsAreStoredLastRowFirst) {
    auto s = Surface::Create(3, 4, 8, RowOrder::BottomUp);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->row(0), s->bits() + 3 * 4);
    EXPECT_EQ(s->row(3), s->bits());
    s->SetRaw(1, 0, 0xAB);
    EXPECT_EQ(s->bits()[3 * 4 + 1], 0xAB);
    EXPECT_EQ(s->GetRaw(1, 0), 0xABu);
    auto t = Surface::Create(3, 4, 8);
    EXPECT_EQ(t->row(1), t->bits() + 4);
}

TEST(Surface, SubBytePixelsAreMostSignificantFirst) {
    auto mono = Surface::Create(16, 1, 1);
    mono->SetRaw(0, 0, 1);
    mono->SetRaw(9, 0, 1);
    mono->SetRaw(15, 0, 1);
    EXPECT_EQ(mono->bits()[0], 0x80);
    EXPECT_EQ(mono->bits()[1], 0x41);
    mono->SetRaw(0, 0, 0);
    EXPECT_EQ(mono->bits()[0], 0x00);
    EXPECT_EQ(mono->GetRaw(9, 0), 1u);
    EXPECT_EQ(mono->GetRaw(8, 0), 0u);

    auto nib = Surface::Create(3, 1, 4);
    nib->SetRaw(0, 0, 0xA);
    nib->SetRaw(1, 0, 0x5);
    nib->SetRaw(2, 0, 0xF);
    EXPECT_EQ(nib->bits()[0], 0xA5);
    EXPECT_EQ(nib->bits()[1], 0xF0);
    EXPECT_EQ(nib->GetRaw(1, 0), 0x5u);
}

TEST(Surface, TrueColourBytesAreBlueGreenRed) {
    auto s24 = Surface::Create(2, 1, 24);
    s24->SetPixel(1, 0, Rgb(1, 2, 3));
    EXPECT_EQ(s24->bits()[3], 3);
    EXPECT_EQ(s24->bits()[4], 2);
    EXPECT_EQ(s24->bits()[5], 1);
    EXPECT_EQ(s24->GetRaw(1, 0), 0x010203u);
    EXPECT_EQ(s24->GetPixel(1, 0), Rgb(1, 2, 3));

    auto s32 = Surface::Create(1, 1, 32);
    s32->SetPixel(0, 0, Rgb(10, 20, 30));
    EXPECT_EQ(s32->bits()[0], 30);
    EXPECT_EQ(s32->bits()[1], 20);
    EXPECT_EQ(s32->bits()[2], 10);
}

struct Pack555Case {
    ColorRef in;
    std::uint16_t raw;
    ColorRef out;
};

class Surface555 : public ::testing::TestWithParam<Pack555Case> {};

TEST_P(Surface555, TruncatesAndWidensByReplication) {
    auto s = Surface::Create(1, 1, 16);
    s->SetPixel(0, 0, GetParam().in);
    EXPECT_EQ(s->bits()[0], GetParam().raw & 0xFF);
    EXPECT_EQ(s->bits()[1], GetParam().raw >> 8);
    EXPECT_EQ(s->GetPixel(0, 0), GetParam().out);
}

// Channels: red in bits 10-14, green 5-9, blue 0-4; widening v -> (v << 3) | (v >> 2).
INSTANTIATE_TEST_SUITE_P(Vectors, Surface555,
                         ::testing::Values(Pack555Case{Rgb(255, 0, 8), 0x7C01, Rgb(255, 0, 8)},
                                           Pack555Case{Rgb(0x84, 0x42, 0x21), 0x4104, Rgb(0x84, 0x42, 0x21)},
                                           Pack555Case{Rgb(7, 15, 255), 0x003F, Rgb(0, 8, 255)},
                                           Pack555Case{Rgb(200, 100, 50), 0x6586, Rgb(206, 99, 49)},
                                           Pack555Case{Rgb(255, 255, 255), 0x7FFF, Rgb(255, 255, 255)}));

TEST(Surface, NearestIndexPrefersLowestOnTies) {
    auto s = Surface::Create(1, 1, 4);
    auto t = s->colorTable();
    t[1] = RgbQuad{0, 0, 200, 0};  // red 200
    t[2] = RgbQuad{0, 0, 100, 0};  // red 100
    t[3] = RgbQuad{0, 0, 200, 0};  // duplicate of 1
    EXPECT_EQ(s->NearestIndex(Rgb(190, 0, 0)), 1u);
    EXPECT_EQ(s->NearestIndex(Rgb(150, 0, 0)), 1u);  // 50 from both 1 and 2
    EXPECT_EQ(s->NearestIndex(Rgb(149, 0, 0)), 2u);
    EXPECT_EQ(s->NearestIndex(Rgb(10, 0, 0)), 0u);  // black entries 0 and 4..15
    s->SetPixel(0, 0, Rgb(201, 3, 0));
    EXPECT_EQ(s->GetRaw(0, 0), 1u);
}

class SurfaceBgrx : public ::testing::TestWithParam<std::tuple<int, RowOrder>> {};

TEST_P(SurfaceBgrx, RoundTripsRepresentableColours) {
    const auto [bpp, order] = GetParam();
    const int w = 13, h = 5;
    auto s = Surface::Create(w, h, bpp, order);
    ASSERT_TRUE(s);
    // Colours every depth stores exactly: table entries for paletted
    // surfaces, widened 5-bit channels for 16 bits.
    std::vector<ColorRef> colours;
    if (bpp <= 8) {
        auto table = s->colorTable();
        for (std::size_t i = 0; i < table.size(); ++i) {
            auto v = static_cast<std::uint8_t>(i * 37 + 11);
            table[i] = RgbQuad{v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(i), 0};
            colours.push_back(Rgb(table[i].red, table[i].green, table[i].blue));
        }
    } else {
        for (std::uint32_t v = 0; v < 32; ++v) {
            auto c = static_cast<std::uint8_t>((v << 3) | (v >> 2));
            colours.push_back(Rgb(c, static_cast<std::uint8_t>(255 - c), static_cast<std::uint8_t>(c ^ 0x5A)));
        }
        if (bpp == 16) {
            for (ColorRef& c : colours) {
                auto widen = [](std::uint8_t x) { return static_cast<std::uint8_t>((x & 0xF8) | (x >> 5)); };
                c = Rgb(widen(RedOf(c)), widen(GreenOf(c)), widen(BlueOf(c)));
            }
        }
    }
    std::vector<std::uint8_t> in(4 * w * h), out(4 * w * h, 0xEE);
    for (int i = 0; i < w * h; ++i) {
        ColorRef c = colours[(i * 7) % colours.size()];
        in[4 * i] = BlueOf(c);
        in[4 * i + 1] = GreenOf(c);
        in[4 * i + 2] = RedOf(c);
        in[4 * i + 3] = 0x99;  // ignored on write, 0 on read
    }
    s->WriteBgrx(in);
    s->ReadBgrx(out);
    for (int i = 0; i < w * h; ++i) {
        ASSERT_EQ(out[4 * i], in[4 * i]) << i;
        ASSERT_EQ(out[4 * i + 1], in[4 * i + 1]) << i;
        ASSERT_EQ(out[4 * i + 2], in[4 * i + 2]) << i;
        ASSERT_EQ(out[4 * i + 3], 0) << i;
    }
    // Row 0 of the exchange is the top row whatever the storage order.
    EXPECT_EQ(s->GetPixel(0, 0), Rgb(in[2], in[1], in[0]));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, SurfaceBgrx,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32),
                                            ::testing::Values(RowOrder::TopDown, RowOrder::BottomUp)));

TEST(Surface, BgrxExchangeChecksBufferSize) {
    auto s = Surface::Create(2, 2, 24);
    std::vector<std::uint8_t> small(15);
    EXPECT_ANY_THROW(s->ReadBgrx(small));
    EXPECT_ANY_THROW(s->WriteBgrx(small));
}

}  // namespace
