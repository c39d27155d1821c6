// The preview frame: the shrunk pictures at the ends of the slider, the
// cross-dissolve between them, a moved control point carrying content with
// it, and the cases with nothing to show.
#include <gtest/gtest.h>

#include <random>

#include "app/MorphPreview.h"
#include "morph/MeshWarp.h"

using namespace crossmeld;
using MeshWarp::Sampling;

namespace {

// A 24-bit picture whose pixel (x, y) is colour(x, y).
template <typename F>
Picture Painted(std::int32_t w, std::int32_t h, F colour) {
    auto surface = Surface::Create(w, h, 24);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) surface->SetPixel(x, y, colour(x, y));
    return Picture(surface);
}

Picture Plain(std::int32_t w, std::int32_t h, ColorRef colour) {
    return Painted(w, h, [colour](std::int32_t, std::int32_t) { return colour; });
}

ControlMesh Mesh(std::int32_t columns, std::int32_t rows, std::int32_t w, std::int32_t h) {
    ControlMesh m;
    m.Columns = columns;
    m.Rows = rows;
    m.Width = w;
    m.Height = h;
    MeshWarp::BuildMeshGrid(m);
    return m;
}

// Blue, green, red of a grid pixel.
std::array<int, 3> At(const PixelGrid& g, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = g.Bits.data() + PixelGrid::Offset(0, x, y, g.GridWidth());
    return {p[0], p[1], p[2]};
}

bool SameColours(const PixelGrid& a, const PixelGrid& b) {
    if (a.GridWidth() != b.GridWidth() || a.GridHeight() != b.GridHeight()) return false;
    for (std::int32_t y = 0; y < a.GridHeight(); ++y)
        for (std::int32_t x = 0; x < a.GridWidth(); ++x)
            if (At(a, x, y) != At(b, x, y)) return false;
    return true;
}

TEST(MorphPreview, EndsOfTheSliderAreTheShrunkPicturesExactly) {
    std::mt19937 rng(7);
    std::vector<ColorRef> noise(200 * 100 * 2);
    for (auto& c : noise) c = rng() & 0xFFFFFF;
    const Picture start = Painted(200, 100, [&](std::int32_t x, std::int32_t y) { return noise[y * 200 + x]; });
    const Picture end = Painted(200, 100, [&](std::int32_t x, std::int32_t y) { return noise[20000 + y * 200 + x]; });
    MorphPreview preview;
    preview.SetBox({100, 80});
    preview.SetPictures(start, end);
    ASSERT_TRUE(preview.Ready());
    ASSERT_EQ(preview.Size(), (PixelSize{100, 50}));

    // Halving: each preview pixel is the mean of a 2 x 2 block, halves up.
    for (std::int32_t y = 0; y < 50; ++y)
        for (std::int32_t x = 0; x < 100; ++x) {
            const ColorRef q[4] = {noise[2 * y * 200 + 2 * x], noise[2 * y * 200 + 2 * x + 1],
                                   noise[(2 * y + 1) * 200 + 2 * x], noise[(2 * y + 1) * 200 + 2 * x + 1]};
            const int blue = (BlueOf(q[0]) + BlueOf(q[1]) + BlueOf(q[2]) + BlueOf(q[3]) + 2) / 4;
            const int red = (RedOf(q[0]) + RedOf(q[1]) + RedOf(q[2]) + RedOf(q[3]) + 2) / 4;
            ASSERT_EQ(At(preview.StartPixels(), x, y)[0], blue) << x << "," << y;
            ASSERT_EQ(At(preview.StartPixels(), x, y)[2], red) << x << "," << y;
        }

    const ControlMesh mesh = Mesh(5, 5, 200, 100);
    for (Sampling sampling : {Sampling::Bilinear, Sampling::Nearest}) {
        EXPECT_TRUE(SameColours(preview.Render(mesh, mesh, sampling, 0, 100), preview.StartPixels()));
        EXPECT_TRUE(SameColours(preview.Render(mesh, mesh, sampling, 100, 100), preview.EndPixels()));
    }
    // Meshes that cannot be cut alike (none yet) give the plain dissolve.
    EXPECT_TRUE(SameColours(preview.Render(ControlMesh{}, mesh, Sampling::Bilinear, 0, 100), preview.StartPixels()));
    EXPECT_TRUE(SameColours(preview.Render(mesh, Mesh(4, 5, 200, 100), Sampling::Bilinear, 100, 100),
                            preview.EndPixels()));
}

TEST(MorphPreview, HalfwayIsTheCrossDissolveRoundedHalvesToEven) {
    MorphPreview preview;
    preview.SetBox({64, 64});
    preview.SetPictures(Plain(30, 20, Rgb(201, 0, 10)), Plain(30, 20, Rgb(100, 255, 13)));
    const ControlMesh mesh = Mesh(5, 5, 30, 20);
    const PixelGrid& frame = preview.Render(mesh, mesh, Sampling::Bilinear, 50, 100);
    ASSERT_EQ(frame.GridWidth(), 30);  // never enlarged
    ASSERT_EQ(frame.GridHeight(), 20);
    // red 150.5 -> 150, green 127.5 -> 128, blue 11.5 -> 12
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t x = 0; x < 30; ++x) ASSERT_EQ(At(frame, x, y), (std::array<int, 3>{12, 128, 150}));
}

TEST(MorphPreview, AMovedPointCarriesItsContentAlong) {
    // A black 6 x 6 dot on white at the centre point (100, 100) of the start
    // picture and at (140, 100) in the end picture; the end mesh's centre
    // point moves with it. Shown at half size the dots sit at (50, 50) and
    // (70, 50); halfway the morph brings both to (60, 50), where a plain
    // dissolve would show two grey dots and white between them.
    auto dot = [](std::int32_t cx) {
        return Painted(200, 200, [cx](std::int32_t x, std::int32_t y) {
            return std::abs(x - cx) < 3 && std::abs(y - 100) < 3 ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
        });
    };
    MorphPreview preview;
    preview.SetBox({100, 100});
    preview.SetPictures(dot(100), dot(140));
    ControlMesh startMesh = Mesh(2, 2, 200, 200);
    ControlMesh endMesh = startMesh;
    ASSERT_EQ(startMesh.Points(2, 2), (Point{100, 100}));
    endMesh.Points(2, 2) = {140, 100};

    for (Sampling sampling : {Sampling::Nearest, Sampling::Bilinear}) {
        const PixelGrid& frame = preview.Render(startMesh, endMesh, sampling, 50, 100);
        ASSERT_EQ(frame.GridWidth(), 100);
        EXPECT_EQ(At(frame, 60, 50), (std::array<int, 3>{0, 0, 0}));
        EXPECT_EQ(At(frame, 50, 50), (std::array<int, 3>{255, 255, 255}));
        EXPECT_EQ(At(frame, 70, 50), (std::array<int, 3>{255, 255, 255}));
    }
    const PixelGrid& dissolve = preview.Render(startMesh, startMesh, Sampling::Bilinear, 50, 100);
    EXPECT_EQ(At(dissolve, 60, 50), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(At(dissolve, 50, 50)[0], 128);  // 127.5 -> 128
    EXPECT_EQ(At(dissolve, 70, 50)[0], 128);
}

TEST(MorphPreview, NothingToShowGivesAnEmptyFrame) {
    const ControlMesh mesh = Mesh(5, 5, 40, 30);
    auto expectEmpty = [&](MorphPreview& preview, const char* why) {
        SCOPED_TRACE(why);
        EXPECT_FALSE(preview.Ready());
        const PixelGrid& frame = preview.Render(mesh, mesh, Sampling::Bilinear, 30, 100);
        EXPECT_EQ(frame.GridWidth(), 0);
        EXPECT_TRUE(frame.Bits.empty());
    };
    MorphPreview preview;
    expectEmpty(preview, "nothing set");
    preview.SetBox({100, 100});
    expectEmpty(preview, "no pictures");
    preview.SetPictures(Plain(40, 30, 0), Picture());
    expectEmpty(preview, "one picture");
    preview.SetPictures(Plain(40, 30, 0), Plain(41, 30, 0));
    expectEmpty(preview, "sizes differ");
    preview.SetPictures(Plain(40, 30, 0), Plain(40, 30, 0));
    ASSERT_TRUE(preview.Ready());
    EXPECT_EQ(preview.Render(mesh, mesh, Sampling::Bilinear, 1, 0).GridWidth(), 0);  // no weight
    preview.SetBox({0, 0});
    expectEmpty(preview, "no box");
}

TEST(MorphPreview, NewPicturesOrABoxOfAnotherFitAreShrunkAgain) {
    MorphPreview preview;
    preview.SetBox({20, 20});
    preview.SetPictures(Plain(40, 40, Rgb(1, 2, 3)), Plain(40, 40, 0));
    ASSERT_EQ(preview.Size(), (PixelSize{20, 20}));
    // New pictures of the same size replace the shrunk pixels.
    preview.SetPictures(Plain(40, 40, Rgb(9, 8, 7)), Plain(40, 40, 0));
    EXPECT_EQ(At(preview.StartPixels(), 19, 19), (std::array<int, 3>{7, 8, 9}));
    preview.SetBox({10, 30});
    EXPECT_EQ(preview.Size(), (PixelSize{10, 10}));
    EXPECT_EQ(preview.StartPixels().Bits.size(), 4u * 10 * 10);
}

}  // namespace
