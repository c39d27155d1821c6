// Drawing packed DIBs into a drawing context: nearest-neighbour scaling,
// parts of the source, clipping to the target and to the source, both row
// orders, and what is refused. Expected pixels are worked out by hand from
// the rule that target column i of the rectangle takes source column
// floor(i x source width / target width), rows likewise.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/bmp/DrawPackedDib.h"
#include "support/AviFrames.h"

namespace crossmeld::test {
namespace {

// A 3 x 2 DIB whose pixel (x, y) has the colour with red 10 x + 1 and green
// 10 y + 1, so every drawn pixel tells which source pixel it came from.
std::vector<std::uint8_t> SourceDib(int bits, bool topDown) {
    std::vector<std::uint8_t> dib;
    for (std::uint32_t v : {40u, 3u, topDown ? std::uint32_t(-2) : 2u}) Put32(dib, v);
    Put16(dib, 1), Put16(dib, static_cast<std::uint32_t>(bits));
    for (std::uint32_t v : {0u, 0u, 0u, 0u, bits == 8 ? 6u : 0u, 0u}) Put32(dib, v);
    if (bits == 8)
        for (int i = 0; i < 6; ++i) Put32(dib, (i % 3 * 10 + 1) << 16 | (i / 3 * 10 + 1) << 8);
    for (int row = 0; row < 2; ++row) {
        const int y = topDown ? row : 1 - row;
        std::vector<std::uint8_t> line;
        for (int x = 0; x < 3; ++x) {
            if (bits == 8) line.push_back(static_cast<std::uint8_t>(y * 3 + x));
            if (bits >= 24) line.insert(line.end(), {0, std::uint8_t(10 * y + 1), std::uint8_t(10 * x + 1)});
            if (bits == 32) line.push_back(0);
        }
        line.resize((line.size() + 3) / 4 * 4, 0);
        dib.insert(dib.end(), line.begin(), line.end());
    }
    return dib;
}

// A 6 x 4 grey target.
DeviceContext Target() {
    DeviceContext target(Surface::Create(6, 4, 32));
    target.FillRect({0, 0, 6, 4}, Rgb(200, 200, 200));
    return target;
}

// Per target row, "xy" (the source pixel) per target pixel or ".." where
// the grey stayed; rows joined by '|'.
std::string Drawn(const DeviceContext& target) {
    std::string got;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const ColorRef p = target.surface()->GetPixel(x, y);
            got += RedOf(p) == 200 ? std::string("..") : std::to_string(RedOf(p) / 10) + std::to_string(GreenOf(p) / 10);
        }
        got += y < 3 ? "|" : "";
    }
    return got;
}

struct DrawCase {
    const char* name;
    int bits;
    bool topDown;
    Rect target;
    bool whole;   // the whole DIB, or the source rectangle:
    Rect source;
    const char* expected;
};

class DrawPackedDibScaling : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawPackedDibScaling, NearestSourcePixels) {
    const DrawCase& c = GetParam();
    DeviceContext target = Target();
    const auto dib = SourceDib(c.bits, c.topDown);
    ASSERT_TRUE(c.whole ? DrawPackedDib(target, c.target, dib) : DrawPackedDib(target, c.target, dib, c.source));
    EXPECT_EQ(Drawn(target), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DrawPackedDibScaling,
    ::testing::Values(
        DrawCase{"same_size_24", 24, false, {0, 0, 3, 2}, true, {}, "001020......|011121......|............|............"},
        DrawCase{"doubled_32_top_down", 32, true, {0, 0, 6, 4}, true, {},
                 "000010102020|000010102020|010111112121|010111112121"},
        DrawCase{"five_by_three_8", 8, false, {0, 0, 5, 3}, true, {},
                 "0000101020..|0000101020..|0101111121..|............"},
        DrawCase{"shrunk_24", 24, true, {0, 0, 2, 1}, false, {0, 0, 3, 2},
                 "0010........|............|............|............"},
        DrawCase{"part_of_source", 24, false, {0, 0, 4, 2}, false, {1, 1, 3, 2},
                 "11112121....|11112121....|............|............"},
        DrawCase{"unscaled_part_elsewhere", 24, true, {1, 1, 3, 2}, false, {1, 0, 3, 1},
                 "............|..1020......|............|............"},
        // Doubled onto 4..10 x 2..6: only the top-left quarter shows.
        DrawCase{"clipped_right_and_bottom", 32, false, {4, 2, 10, 6}, true, {},
                 "............|............|........0000|........0000"},
        // Doubled onto -3..3 x -2..2: columns 3, 4, 5 and rows 2, 3 of the
        // doubled picture show.
        DrawCase{"clipped_left_and_top", 8, true, {-3, -2, 3, 2}, true, {},
                 "112121......|112121......|............|............"},
        // Source pixels outside the DIB leave the target as it was.
        DrawCase{"source_past_the_dib", 24, false, {0, 0, 2, 1}, false, {2, 1, 4, 2},
                 "21..........|............|............|............"},
        DrawCase{"empty_target", 24, false, {2, 2, 2, 4}, true, {}, "............|............|............|............"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawPackedDib, RefusesWhatItCannotDraw) {
    DeviceContext empty;
    DeviceContext target = Target();
    const auto dib = SourceDib(24, false);
    EXPECT_FALSE(DrawPackedDib(empty, {0, 0, 4, 4}, dib)) << "no surface";
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 4, 4}, std::span(dib).first(dib.size() - 1))) << "pixels cut short";
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 4, 4}, std::span(dib).first(30))) << "header cut short";
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 4, 4}, {})) << "nothing";
    auto bitfields = dib;
    bitfields[16] = 3;
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 4, 4}, bitfields)) << "bit fields";
    auto paletted = SourceDib(8, false);
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 4, 4}, std::span(paletted).first(40 + 20))) << "colour table cut short";
    EXPECT_FALSE(DrawPackedDib(target, {3, 0, 0, 2}, dib)) << "right left of left";
    EXPECT_FALSE(DrawPackedDib(target, {0, 2, 3, 0}, dib)) << "bottom above top";
    EXPECT_FALSE(DrawPackedDib(target, {0, 0, 3, 2}, dib, {3, 0, 0, 2})) << "reversed source";
    EXPECT_FALSE(DrawPackedDib(target, {-2147483647 - 1, 0, 2147483647, 2}, dib)) << "width beyond 32 bits";
    EXPECT_EQ(Drawn(target), "............|............|............|............");
}

}  // namespace
}  // namespace crossmeld::test
