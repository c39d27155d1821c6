// The memo of source positions must give exactly what the full mapping gives,
// frame after frame, whatever the meshes, sizes and identifier surfaces.
#include <gtest/gtest.h>

#include <random>

#include "base/Error.h"
#include "morph/WarpBlendCache.h"
#include "morph/MeshWarp.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;
using namespace crossmeld::MeshWarp;

namespace {

PixelGrid Grid(std::int32_t w, std::int32_t h, std::mt19937* rng = nullptr) {
    PixelGrid g;
    g.Header.width = w;
    g.Header.height = -h;
    g.Header.bitCount = 32;
    g.Bits.assign(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    if (rng) {
        for (auto& b : g.Bits) b = static_cast<std::uint8_t>((*rng)());
    }
    return g;
}

TriangleList Mesh(std::int32_t w, std::int32_t h, std::mt19937* jitter = nullptr) {
    ControlMesh m;
    m.Columns = 5;
    m.Rows = 5;
    m.Width = w;
    m.Height = h;
    BuildMeshGrid(m);
    if (jitter) {
        // Move the inner points a little: the start and end meshes differ.
        std::uniform_int_distribution<int> d(-2, 2);
        for (int r = 2; r <= 5; ++r)
            for (int c = 2; c <= 5; ++c) {
                m.Points(c, r).x += d(*jitter);
                m.Points(c, r).y += d(*jitter);
            }
    }
    TriangleList list;
    TriangulateMesh(m, list);
    return list;
}

PixelGrid Identifiers(const TriangleList& list, std::int32_t w, std::int32_t h) {
    auto surface = Surface::Create(w, h, 24);
    DeviceContext dc(surface);
    PaintTriangleIds(dc, list);
    PixelGrid g = Grid(w, h);
    surface->ReadBgrx(g.Bits);
    return g;
}

// Runs n frames both ways and compares every byte.
void ExpectSameFrames(std::int32_t w, std::int32_t h, bool equalMeshes, int n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    const PixelGrid start = Grid(w, h, &rng), end = Grid(w, h, &rng);
    const TriangleList startList = Mesh(w, h);
    const TriangleList endList = equalMeshes ? startList : Mesh(w, h, &rng);
    WarpBlendCache cache;
    for (int k = 0; k < n; ++k) {
        TriangleList frameList;
        InterpolateTriangles(startList, endList, frameList, k, n - 1);
        PixelGrid direct = Identifiers(frameList, w, h), memo = direct;
        const float weight = static_cast<float>(static_cast<double>(k) / (n - 1));
        WarpBlendFrame(start, startList, end, endList, direct, frameList, weight);
        cache.WarpBlendFrame(start, startList, end, endList, memo, frameList, weight);
        ASSERT_EQ(direct.Bits, memo.Bits) << w << "x" << h << " frame " << k;
        if (equalMeshes && k > 0) {
            EXPECT_EQ(cache.lastPath(), WarpBlendCache::Path::Identity);
        }
    }
}

TEST(WarpBlendCache, EqualMeshesOverManySizesMatchTheFullMapping) {
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {5, 5}, {101, 37}, {7, 3}, {127, 131}, {641, 479}};
    for (auto [w, h] : sizes) ExpectSameFrames(w, h, true, 4, 1);
}

TEST(WarpBlendCache, FullHdMatchesTheFullMapping) { ExpectSameFrames(1920, 1080, true, 3, 2); }

TEST(WarpBlendCache, MovingMeshesMatchTheFullMappingEveryFrame) {
    const std::pair<int, int> sizes[] = {{53, 47}, {101, 37}, {200, 150}};
    std::uint32_t seed = 3;
    for (auto [w, h] : sizes) ExpectSameFrames(w, h, false, 5, seed++);
}

TEST(WarpBlendCache, PixelsWithoutATriangleAndChangedIdentifiersAreHandled) {
    std::mt19937 rng(9);
    const std::int32_t w = 40, h = 30;
    const PixelGrid start = Grid(w, h, &rng), end = Grid(w, h, &rng);
    const TriangleList list = Mesh(w, h);
    WarpBlendCache cache;
    PixelGrid ids = Identifiers(list, w, h);
    // A stray colour above the last identifier keeps its colour.
    ids.Bits[4 * 77 + 1] = 9;
    for (int k = 0; k < 3; ++k) {
        PixelGrid direct = ids, memo = ids;
        WarpBlendFrame(start, list, end, list, direct, list, 0.25f * static_cast<float>(k));
        cache.WarpBlendFrame(start, list, end, list, memo, list, 0.25f * static_cast<float>(k));
        ASSERT_EQ(direct.Bits, memo.Bits);
        EXPECT_EQ(cache.lastPath(), WarpBlendCache::Path::Mapped);
    }
    // A new identifier surface invalidates the memo.
    ids = Identifiers(list, w, h);
    PixelGrid direct = ids, memo = ids;
    WarpBlendFrame(start, list, end, list, direct, list, 0.5f);
    cache.WarpBlendFrame(start, list, end, list, memo, list, 0.5f);
    EXPECT_EQ(direct.Bits, memo.Bits);
    EXPECT_EQ(cache.lastPath(), WarpBlendCache::Path::Identity);
}

TEST(WarpBlendCache, AFailingMappingFailsAsTheFullMappingDoes) {
    std::mt19937 rng(4);
    const TriangleList list = Mesh(20, 20);
    const PixelGrid start = Grid(10, 10, &rng), end = Grid(20, 20, &rng);
    PixelGrid direct = Identifiers(list, 20, 20), memo = direct;
    WarpBlendCache cache;
    EXPECT_THROW(WarpBlendFrame(start, list, end, list, direct, list, 0.5f), Error);
    EXPECT_THROW(cache.WarpBlendFrame(start, list, end, list, memo, list, 0.5f), Error);
    EXPECT_EQ(direct.Bits, memo.Bits);  // the same pixels were blended before the failure
}

}  // namespace
