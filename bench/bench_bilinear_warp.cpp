// The smooth warp of one full-HD frame: a 5 x 5 mesh whose 16 inner points
// all move (by tens of pixels, differently in the start and end meshes),
// the middle frame of 30, random pictures. The identifier raster is painted
// once and restored outside the timing.
#include <benchmark/benchmark.h>

#include <random>

#include "morph/BilinearWarp.h"
#include "morph/MeshWarp.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;
using namespace crossmeld::MeshWarp;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

PixelGrid Grid(std::mt19937& rng) {
    PixelGrid g;
    g.Header.width = kWidth;
    g.Header.height = -kHeight;
    g.Bits.resize(4 * static_cast<std::size_t>(kWidth) * kHeight);
    for (auto& b : g.Bits) b = static_cast<std::uint8_t>(rng());
    return g;
}

TriangleList MovedMesh(int dx, int dy) {
    ControlMesh m;
    m.Columns = 5, m.Rows = 5, m.Width = kWidth, m.Height = kHeight;
    BuildMeshGrid(m);
    for (int r = 2; r <= 5; ++r)
        for (int c = 2; c <= 5; ++c) m.Points(c, r) = {m.Points(c, r).x + dx * (c % 2 ? 1 : -1), m.Points(c, r).y + dy};
    TriangleList list;
    TriangulateMesh(m, list);
    return list;
}

void BM_BilinearWarpFullHd(benchmark::State& state) {
    std::mt19937 rng(1);
    const PixelGrid start = Grid(rng), end = Grid(rng);
    const TriangleList startList = MovedMesh(40, 25), endList = MovedMesh(-35, -30);
    TriangleList frameList;
    InterpolateTriangles(startList, endList, frameList, 15, 29);
    auto surface = Surface::Create(kWidth, kHeight, 24);
    DeviceContext dc(surface);
    PaintTriangleIds(dc, frameList);
    PixelGrid ids = Grid(rng);
    surface->ReadBgrx(ids.Bits);
    PixelGrid frame = ids;
    for (auto _ : state) {
        state.PauseTiming();
        frame.Bits = ids.Bits;
        state.ResumeTiming();
        BilinearWarpBlendFrame(start, startList, end, endList, frame, frameList, 15.0f / 29.0f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_BilinearWarpFullHd)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
