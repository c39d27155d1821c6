// The live preview: one frame of two 1920 x 1080 pictures shown at
// 640 x 360 while the inner points of a 5 x 5 mesh are moved (the goal is
// under 50 ms), and the one-off shrinking of a picture to that size.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "app/MorphPreview.h"
#include "morph/MeshWarp.h"

using namespace crossmeld;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr PixelSize kBox{640, 360};

Picture Noise(std::uint32_t seed) {
    auto surface = Surface::Create(kWidth, kHeight, 24);
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < surface->sizeBytes(); ++i) surface->bits()[i] = static_cast<std::uint8_t>(rng());
    return Picture(surface);
}

ControlMesh Mesh(bool moved) {
    ControlMesh m;
    m.Columns = 5;
    m.Rows = 5;
    m.Width = kWidth;
    m.Height = kHeight;
    MeshWarp::BuildMeshGrid(m);
    if (moved)
        for (int r = 2; r <= 5; ++r)
            for (int c = 2; c <= 5; ++c) m.Points(c, r) = {m.Points(c, r).x + 60, m.Points(c, r).y - 40};
    return m;
}

// Arguments: sampling (0 bilinear, 1 nearest), whether the end mesh is moved.
// Each iteration is one render at a new weight, as while the slider plays;
// the mesh changes between renders, as while a point is dragged.
void BM_PreviewFrame(benchmark::State& state) {
    MorphPreview preview;
    preview.SetBox(kBox);
    preview.SetPictures(Noise(1), Noise(2));
    const ControlMesh start = Mesh(false);
    ControlMesh end = Mesh(state.range(1) != 0);
    const auto sampling = state.range(0) == 0 ? MeshWarp::Sampling::Bilinear : MeshWarp::Sampling::Nearest;
    std::int32_t k = 0;
    for (auto _ : state) {
        if (state.range(1) != 0) end.Points(3, 3).x += (k & 1) ? 2 : -2;
        const PixelGrid& frame = preview.Render(start, end, sampling, 1 + k % 99, 100);
        benchmark::DoNotOptimize(frame.Bits.data());
        ++k;
    }
    state.counters["width"] = preview.Size().width;
    state.counters["height"] = preview.Size().height;
}
BENCHMARK(BM_PreviewFrame)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Unit(benchmark::kMillisecond);

// Both pictures shrunk to the preview size, as after a resize of the window.
void BM_PreviewShrink(benchmark::State& state) {
    const Picture start = Noise(1), end = Noise(2);
    MorphPreview preview;
    preview.SetBox(kBox);
    for (auto _ : state) {
        preview.SetPictures(start, end);
        benchmark::DoNotOptimize(preview.StartPixels().Bits.data());
    }
}
BENCHMARK(BM_PreviewShrink)->Unit(benchmark::kMillisecond);

}  // namespace
