// The preview frame: the shrunk pictures at the ends of the slider, the
// cross-dissolve between them, a moved control point carrying content with
// it, and the cases with nothing to show.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "app/MorphPreview.h"
#include "morph/MeshWarp.h"

using namespace crossmeld;
using MeshWarp::Sampling;
using Bgr = std::array<int, 3>;

namespace {

template <typename F>
Picture Painted(std::int32_t w, std::int32_t h, F colour) {
    auto surface = Surface::Create(w, h, 24);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) surface->SetPixel(x, y, colour(x, y));
    return Picture(surface);
}
Picture Plain(std::int32_t w, std::int32_t h, ColorRef c) {
    return Painted(w, h, [c](int, int) { return c; });
}

ControlMesh Mesh(std::int32_t cells, std::int32_t w, std::int32_t h) {
    ControlMesh m;
    m.Columns = m.Rows = cells;
    m.Width = w;
    m.Height = h;
    MeshWarp::BuildMeshGrid(m);
    return m;
}

Bgr At(const PixelGrid& g, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = g.Bits.data() + PixelGrid::Offset(0, x, y, g.GridWidth());
    return {p[0], p[1], p[2]};
}

TEST(MorphPreview, EndsAreTheShrunkPicturesAndHalfwayTheDissolve) {
    std::mt19937 rng(7);
    std::vector<ColorRef> noise(200 * 100);
    for (auto& c : noise) c = rng() & 0xFFFFFF;
    MorphPreview preview;
    preview.SetBox({100, 80});
    preview.SetPictures(Painted(200, 100, [&](int x, int y) { return noise[y * 200 + x]; }), Plain(200, 100, 0));
    ASSERT_EQ(preview.Size(), (PixelSize{100, 50}));
    // Halving: each preview pixel is the mean of a 2 x 2 block, halves up.
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const ColorRef* q = &noise[2 * y * 200 + 2 * x];
            ASSERT_EQ(At(preview.StartPixels(), x, y)[0],
                      (BlueOf(q[0]) + BlueOf(q[1]) + BlueOf(q[200]) + BlueOf(q[201]) + 2) / 4);
        }
    const ControlMesh mesh = Mesh(5, 200, 100);
    for (Sampling sampling : {Sampling::Bilinear, Sampling::Nearest}) {
        EXPECT_EQ(preview.Render(mesh, mesh, sampling, 0, 100).Bits, preview.StartPixels().Bits);
        EXPECT_EQ(preview.Render(mesh, mesh, sampling, 100, 100).Bits, preview.EndPixels().Bits);
    }
    // Meshes that cannot be cut alike (none yet) give the plain dissolve.
    EXPECT_EQ(preview.Render(ControlMesh{}, mesh, Sampling::Bilinear, 0, 100).Bits, preview.StartPixels().Bits);

    // Never enlarged; halfway red 150.5 -> 150, green 127.5 -> 128, blue 11.5 -> 12.
    preview.SetPictures(Plain(30, 20, Rgb(201, 0, 10)), Plain(30, 20, Rgb(100, 255, 13)));
    const PixelGrid& half = preview.Render(Mesh(5, 30, 20), Mesh(5, 30, 20), Sampling::Bilinear, 50, 100);
    ASSERT_EQ(half.GridWidth(), 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(At(half, x, y), (Bgr{12, 128, 150}));
}

TEST(MorphPreview, AMovedPointCarriesItsContentAlong) {
    // A black 6 x 6 dot on white at the centre point (100, 100) of the start
    // picture and at (140, 100) in the end picture, where the end mesh's
    // centre point goes. At half size the dots sit at (50, 50) and (70, 50);
    // halfway the morph brings both to (60, 50), where a plain dissolve
    // shows two grey dots and white between them.
    auto dot = [](int cx) {
        return Painted(200, 200, [cx](int x, int y) {
            return std::abs(x - cx) < 3 && std::abs(y - 100) < 3 ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
        });
    };
    MorphPreview preview;
    preview.SetBox({100, 100});
    preview.SetPictures(dot(100), dot(140));
    const ControlMesh startMesh = Mesh(2, 200, 200);
    ControlMesh endMesh = startMesh;
    endMesh.Points(2, 2) = {140, 100};
    for (Sampling sampling : {Sampling::Nearest, Sampling::Bilinear}) {
        const PixelGrid& frame = preview.Render(startMesh, endMesh, sampling, 50, 100);
        EXPECT_EQ(At(frame, 60, 50), (Bgr{0, 0, 0}));
        EXPECT_EQ(At(frame, 50, 50), (Bgr{255, 255, 255}));
        EXPECT_EQ(At(frame, 70, 50), (Bgr{255, 255, 255}));
    }
    const PixelGrid& dissolve = preview.Render(startMesh, startMesh, Sampling::Bilinear, 50, 100);
    EXPECT_EQ(At(dissolve, 60, 50), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(dissolve, 50, 50)[0], 128);  // 127.5 -> 128
}

TEST(MorphPreview, ShrinksAgainOnNewPicturesOrBoxAndIsEmptyWithNothingToShow) {
    const ControlMesh mesh = Mesh(5, 40, 30);
    MorphPreview preview;
    auto empty = [&] {
        return !preview.Ready() && preview.Render(mesh, mesh, Sampling::Bilinear, 30, 100).Bits.empty();
    };
    EXPECT_TRUE(empty());  // no box, no pictures
    preview.SetBox({20, 20});
    preview.SetPictures(Plain(40, 30, 0), Picture());
    EXPECT_TRUE(empty());
    preview.SetPictures(Plain(40, 30, 0), Plain(41, 30, 0));
    EXPECT_TRUE(empty());
    preview.SetPictures(Plain(40, 30, Rgb(1, 2, 3)), Plain(40, 30, 0));
    ASSERT_EQ(preview.Size(), (PixelSize{20, 15}));
    EXPECT_TRUE(preview.Render(mesh, mesh, Sampling::Bilinear, 1, 0).Bits.empty());  // no weight
    // New pictures of the same size replace the shrunk pixels.
    preview.SetPictures(Plain(40, 30, Rgb(9, 8, 7)), Plain(40, 30, 0));
    EXPECT_EQ(At(preview.StartPixels(), 19, 14), (Bgr{7, 8, 9}));
    preview.SetBox({8, 30});
    EXPECT_EQ(preview.StartPixels().Bits.size(), 4u * 8 * 6);
    preview.SetBox({0, 0});
    EXPECT_TRUE(empty());
}

}  // namespace
