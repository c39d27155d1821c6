// A frame stored as its change to the frame before: the changed rectangle
// and the transparent index inside it, worked out by hand on small frames.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/Error.h"
#include "formats/gif/FrameDelta.h"
#include "raster/DibSurface.h"

namespace crossmeld {
namespace {

// An 8-bit surface of the given rows of indices.
DibSurface Indices(const std::vector<std::vector<std::uint8_t>>& rows) {
    DibSurface s;
    EXPECT_TRUE(s.Create(static_cast<std::int32_t>(rows[0].size()), static_cast<std::int32_t>(rows.size()), 8));
    for (std::size_t y = 0; y < rows.size(); ++y)
        std::memcpy(s.Bits() + y * static_cast<std::size_t>(s.BytesPerScanline()), rows[y].data(), rows[y].size());
    return s;
}

std::vector<std::vector<std::uint8_t>> Rows(const DibSurface& s) {
    std::vector<std::vector<std::uint8_t>> rows;
    for (std::int32_t y = 0; y < s.Height(); ++y) {
        const std::uint8_t* p = s.Bits() + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.BytesPerScanline());
        rows.emplace_back(p, p + s.Width());
    }
    return rows;
}

TEST(FrameDelta, TheRectangleSpansTheFirstAndLastChangedRowsAndColumns) {
    // Five columns (rows padded to eight bytes), four rows; changes at
    // (3, 1) and (1, 2): the rectangle is columns 1 .. 3, rows 1 .. 2.
    const DibSurface previous = Indices({{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}});
    const DibSurface current = Indices({{1, 2, 3, 4, 5}, {1, 2, 3, 9, 5}, {1, 7, 3, 4, 5}, {1, 2, 3, 4, 5}});
    const IndexRect rect = ChangedRect(previous, current);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.top, 1);
    EXPECT_EQ(rect.width, 3);
    EXPECT_EQ(rect.height, 2);
    DibSurface delta;
    EXPECT_EQ(MakeDeltaFrame(previous, current, rect, 200, delta), 4) << "unchanged pixels";
    EXPECT_EQ(Rows(delta), (std::vector<std::vector<std::uint8_t>>{{200, 200, 9}, {7, 200, 200}}));
    EXPECT_EQ(MakeDeltaFrame(previous, current, rect, std::nullopt, delta), 4);
    EXPECT_EQ(Rows(delta), (std::vector<std::vector<std::uint8_t>>{{2, 3, 9}, {7, 3, 4}})) << "no transparency";

    // The corners: the rectangle is the whole frame.
    const DibSurface corners = Indices({{0, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 6}});
    const IndexRect whole = ChangedRect(previous, corners);
    EXPECT_EQ((std::vector<int>{whole.left, whole.top, whole.width, whole.height}), (std::vector<int>{0, 0, 5, 4}));
}

TEST(FrameDelta, TheFreeIndexIsTheLowestNoChangedPixelHas) {
    // Changed pixels have 0, 1 and 3; unchanged ones (2) do not count.
    const DibSurface previous = Indices({{9, 2, 9, 9}});
    const DibSurface current = Indices({{0, 2, 1, 3}});
    EXPECT_EQ(FreeIndex(previous, current, IndexRect{0, 0, 4, 1}), std::optional<std::uint8_t>(2));
    // All 256 indices changed: none is free.
    std::vector<std::uint8_t> all(256), shifted(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        shifted[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
    }
    EXPECT_EQ(FreeIndex(Indices({shifted}), Indices({all}), IndexRect{0, 0, 256, 1}), std::nullopt);
}

TEST(FrameDelta, AnUnchangedFrameHasNoRectangleAndFramesMustMatch) {
    const DibSurface a = Indices({{1, 2}, {3, 4}});
    const DibSurface b = Indices({{1, 2}, {3, 4}});
    EXPECT_EQ(ChangedRect(a, b).width, 0);
    EXPECT_EQ(ChangedRect(a, b).height, 0);
    // One transparent pixel stands for an unchanged frame.
    DibSurface delta;
    MakeDeltaFrame(a, b, IndexRect{1, 1, 1, 1}, 9, delta);
    EXPECT_EQ(Rows(delta), (std::vector<std::vector<std::uint8_t>>{{9}}));

    EXPECT_THROW(ChangedRect(a, Indices({{1, 2, 3}, {3, 4, 5}})), Error);
    EXPECT_THROW(MakeDeltaFrame(a, b, IndexRect{1, 0, 2, 1}, 9, delta), Error) << "past the right edge";
}

}  // namespace
}  // namespace crossmeld
