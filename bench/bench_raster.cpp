// Raster drawing speed: the identifier raster of one fade frame (the 50 mesh
// triangles over a full-HD surface) and full-frame block copies.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "base/Numeric.h"
#include "raster/DeviceContext.h"

using namespace crossmeld;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::vector<std::array<Point, 3>> MeshTriangles(int width, int height) {
    const int n = 5;
    const float cw = ToSingle(static_cast<double>(width) / n), ch = ToSingle(static_cast<double>(height) / n);
    auto gx = [&](int c) { return c == n + 1 ? width : ToInt32(static_cast<double>(c - 1) * cw); };
    auto gy = [&](int r) { return r == n + 1 ? height : ToInt32(static_cast<double>(r - 1) * ch); };
    std::vector<std::array<Point, 3>> out;
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n; ++c) {
            Point tl{gx(c), gy(r)}, tr{gx(c + 1), gy(r)}, bl{gx(c), gy(r + 1)}, br{gx(c + 1), gy(r + 1)};
            out.push_back({tl, bl, br});
            out.push_back({tl, tr, br});
        }
    return out;
}

void BM_MeshIdentifiers(benchmark::State& state) {
    auto surface = Surface::Create(kWidth, kHeight, static_cast<int>(state.range(0)));
    DeviceContext dc(surface);
    dc.SetPen({PenStyle::Null, 0});
    const auto triangles = MeshTriangles(kWidth, kHeight);
    for (auto _ : state) {
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            dc.SetBrush({BrushStyle::Solid, static_cast<ColorRef>(10 * (i + 1))});
            dc.Polygon(triangles[i]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_MeshIdentifiers)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_BitBltFrame(benchmark::State& state) {
    auto src = Surface::Create(kWidth, kHeight, static_cast<int>(state.range(0)));
    auto dst = Surface::Create(kWidth, kHeight, static_cast<int>(state.range(1)));
    DeviceContext ds(src), dd(dst);
    for (auto _ : state) {
        CopyBlock(dd, 0, 0, kWidth, kHeight, ds, 0, 0, RasterOp::SrcCopy);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_BitBltFrame)->Args({24, 24})->Args({32, 24})->Args({8, 24})->Unit(benchmark::kMillisecond);

void BM_StretchHalf(benchmark::State& state) {
    auto src = Surface::Create(kWidth, kHeight, 24);
    auto dst = Surface::Create(kWidth / 2, kHeight / 2, 32);
    DeviceContext ds(src), dd(dst);
    for (auto _ : state) {
        StretchBlock(dd, 0, 0, kWidth / 2, kHeight / 2, ds, 0, 0, kWidth, kHeight, RasterOp::SrcCopy);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StretchHalf)->Unit(benchmark::kMillisecond);

}  // namespace
