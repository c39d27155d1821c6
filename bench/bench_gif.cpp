// Animated GIF output speed for one full-HD fade frame: the reduction of a
// 32-bit frame to the 216-colour cube with the ordered dither, the LZW
// encoding of the dithered indices into memory (ours, and giflib's encoder
// on the same indices when giflib is available), and a whole document save.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "base/ByteWriter.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "formats/gif/GifProgress.h"
#include "formats/gif/GifDocument.h"
#include "formats/gif/LzwEncoder.h"
#include "raster/DibSurface.h"

#ifdef CROSSMELD_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace crossmeld;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A photo-like 32-bit frame: smooth diagonal gradients, a soft bright disc
// and a little sensor noise, so that dithering and LZW see realistic data.
const DibSurface& PhotoFrame() {
    static const DibSurface frame = [] {
        DibSurface dib;
        dib.Create(kWidth, kHeight, 32);
        std::mt19937 rng(1920);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* p = dib.Bits() + static_cast<std::size_t>(y) * dib.BytesPerScanline();
            for (int x = 0; x < kWidth; ++x, p += 4) {
                const double dx = x - 1200.0, dy = y - 400.0;
                const double disc = 90.0 * std::exp(-(dx * dx + dy * dy) / (2.0 * 220.0 * 220.0));
                const int noise = static_cast<int>(rng() % 9) - 4;
                auto clamp = [](double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
                p[0] = clamp(40 + 150.0 * y / kHeight + noise);               // blue
                p[1] = clamp(30 + 120.0 * (x + y) / (kWidth + kHeight) + disc + noise);  // green
                p[2] = clamp(200 - 150.0 * x / kWidth + disc + noise);       // red
                p[3] = 0;
            }
        }
        return dib;
    }();
    return frame;
}

// The frame dithered to the cube with the ordered dither, as the GIF stage does.
const DibSurface& DitheredFrame() {
    static const DibSurface indices = [] {
        DibSurface target;
        Palette256 palette;
        ColourReducer reducer;
        reducer.InitDitherTables();
        reducer.SetPaletteMode(PaletteMode::Halftone);
        reducer.SetDitherMethod(DitherMethod::Ordered);
        reducer.ConvertTo8bpp(PhotoFrame(), target, palette, false);
        return target;
    }();
    return indices;
}

void BM_ConvertTo8bppCubeOrdered(benchmark::State& state) {
    const DibSurface& source = PhotoFrame();
    DibSurface target;
    Palette256 palette;
    ColourReducer reducer;
    reducer.InitDitherTables();
    reducer.SetPaletteMode(PaletteMode::Halftone);
    reducer.SetDitherMethod(DitherMethod::Ordered);
    reducer.ConvertTo8bpp(source, target, palette, false);
    const bool keep = state.range(0) != 0;
    for (auto _ : state) {
        reducer.ConvertTo8bpp(source, target, palette, keep);
        benchmark::DoNotOptimize(target.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertTo8bppCubeOrdered)->ArgName("keep")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_EncodeFrame(benchmark::State& state) {
    const DibSurface& indices = DitheredFrame();
    const bool interlaced = state.range(0) != 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        VectorSink sink;
        sink.bytes().reserve(std::size_t{4} << 20);
        ByteWriter out(sink);
        LzwEncoder::EncodeFrame(out, indices, 9, interlaced);
        bytes = sink.bytes().size();
        benchmark::DoNotOptimize(sink.bytes().data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeFrame)->ArgName("interlaced")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef CROSSMELD_HAVE_GIFLIB
int AppendToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// giflib's encoder over the same indices: a one-image file with a 256-entry
// table, written into memory line by line.
void BM_GiflibPutLine(benchmark::State& state) {
    const DibSurface& indices = DitheredFrame();
    std::vector<GifColorType> colours(256);
    std::vector<GifPixelType> row(kWidth);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        out.reserve(std::size_t{4} << 20);
        int error = 0;
        GifFileType* gif = EGifOpen(&out, AppendToVector, &error);
        ColorMapObject* map = GifMakeMapObject(256, colours.data());
        EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(row.data(), indices.Bits() + static_cast<std::size_t>(y) * indices.BytesPerScanline(), kWidth);
            EGifPutLine(gif, row.data(), kWidth);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GiflibPutLine)->Unit(benchmark::kMillisecond);
#endif

class NoProgress final : public GifProgress {
public:
    void SetTotal(std::int32_t) override {}
    void SetValue(std::int32_t) override {}
};

// A whole document of full-HD frames saved to a file, as the GIF stage does
// (the product job has 30; a few show the per-frame cost).
void BM_SaveDocument(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const DibSurface& indices = DitheredFrame();
    GifDocument gif;
    gif.Destroy();
    for (int k = 1; k <= frames; ++k) {
        const auto n = static_cast<std::int16_t>(k);
        gif.FrameInsert(n, kWidth, kHeight);
        std::memcpy(gif.FrameDIBXOR(n).Bits(), indices.Bits(), static_cast<std::size_t>(indices.Size()));
        gif.SetFrameDisposalMethod(n, FrameDisposal::RestorePrevious);
        gif.SetFrameDelay(n, 4);
    }
    gif.SetGlobalPaletteExists(true);
    gif.SetGlobalPaletteEntries(256);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "crossmeld_bench_gif.gif";
    NoProgress progress;
    for (auto _ : state) {
        if (!gif.Save(file.string(), progress)) state.SkipWithError("Save failed");
    }
    std::filesystem::remove(file);
    state.SetItemsProcessed(state.iterations() * frames * kWidth * kHeight);
}
BENCHMARK(BM_SaveDocument)->ArgName("frames")->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
