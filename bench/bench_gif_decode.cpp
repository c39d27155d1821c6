// GIF reading speed: a 30-frame full-HD fade, built as the GIF output stage
// builds it (photo-like frames dissolving into each other, each reduced to
// the 216-colour cube with the ordered dither) and saved by our writer, read
// back with GifDocument::LoadFromStream, and, when giflib is available, with its
// DGifSlurp over the same bytes. Before timing, the giflib build checks that
// both readers give the same indices for every frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "base/ByteWriter.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "formats/gif/GifProgress.h"
#include "formats/gif/GifDocument.h"
#include "raster/DibSurface.h"

#ifdef CROSSMELD_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace crossmeld;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 30;

class NoProgress final : public GifProgress {
public:
    void SetTotal(std::int32_t) override {}
    void SetValue(std::int32_t) override {}
};

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Frame k of the fade between two synthetic pictures with a little noise.
void FadeFrame(int k, DibSurface& frame, std::mt19937& rng) {
    frame.Create(kWidth, kHeight, 32);
    const double t = static_cast<double>(k) / (kFrames - 1);
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* p = frame.Bits() + static_cast<std::size_t>(y) * frame.BytesPerScanline();
        for (int x = 0; x < kWidth; ++x, p += 4) {
            const double dx = x - 1200.0, dy = y - 400.0;
            const double disc = 90.0 * std::exp(-(dx * dx + dy * dy) / (2.0 * 220.0 * 220.0));
            const double noise = static_cast<int>(rng() % 9) - 4;
            const double b0 = 40 + 150.0 * y / kHeight, b1 = 220 - 120.0 * x / kWidth;
            const double g0 = 30 + 120.0 * (x + y) / (kWidth + kHeight) + disc, g1 = 90 + 60.0 * std::sin(x / 97.0);
            const double r0 = 200 - 150.0 * x / kWidth + disc, r1 = 60 + 150.0 * y / kHeight;
            p[0] = Clamp(b0 + (b1 - b0) * t + noise);
            p[1] = Clamp(g0 + (g1 - g0) * t + noise);
            p[2] = Clamp(r0 + (r1 - r0) * t + noise);
            p[3] = 0;
        }
    }
}

const std::vector<std::uint8_t>& FadeGif() {
    static const std::vector<std::uint8_t> bytes = [] {
        ColourReducer reducer;
        reducer.InitDitherTables();
        reducer.SetPaletteMode(PaletteMode::Halftone);
        reducer.SetDitherMethod(DitherMethod::Ordered);
        GifDocument gif;
        gif.Destroy();
        std::mt19937 rng(30);
        Palette256 palette;
        for (int k = 1; k <= kFrames; ++k) {
            DibSurface frame;
            FadeFrame(k - 1, frame, rng);
            const auto n = static_cast<std::int16_t>(k);
            gif.FrameInsert(n, kWidth, kHeight);
            reducer.ConvertTo8bpp(frame, gif.FrameDIBXOR(n), palette, false);
            std::vector<std::uint8_t> table;
            gif.FrameDIBXOR(n).GetPalette(table);
            std::copy_n(table.begin(), std::min<std::size_t>(table.size(), 1024), gif.LocalPalette(n).begin());
            std::copy_n(table.begin(), std::min<std::size_t>(table.size(), 1024), gif.GlobalPalette().begin());
            gif.SetFrameDisposalMethod(n, FrameDisposal::RestorePrevious);
            gif.SetFrameDelay(n, 4);
        }
        gif.SetGlobalPaletteExists(true);
        gif.SetGlobalPaletteEntries(256);
        VectorSink sink;
        ByteWriter out(sink);
        NoProgress progress;
        gif.WriteTo(out, progress);
        return sink.bytes();
    }();
    return bytes;
}

void BM_LoadFromStream(benchmark::State& state) {
    const auto& bytes = FadeGif();
    GifDocument gif;
    for (auto _ : state) {
        gif.LoadFromStream(bytes);
        benchmark::DoNotOptimize(gif.FrameDIBXOR(kFrames).Bits());
    }
    if (gif.FramesCount() != kFrames) state.SkipWithError("not every frame was read");
    state.SetItemsProcessed(state.iterations() * kFrames * kWidth * kHeight);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_LoadFromStream)->Unit(benchmark::kMillisecond);

#ifdef CROSSMELD_HAVE_GIFLIB
struct MemoryInput {
    const std::vector<std::uint8_t>* bytes;
    std::size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* data, int length) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), in->bytes->size() - in->position);
    std::memcpy(data, in->bytes->data() + in->position, n);
    in->position += n;
    return static_cast<int>(n);
}

GifFileType* Slurp(const std::vector<std::uint8_t>& bytes, MemoryInput& input) {
    input = {&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, ReadFromMemory, &error);
    if (gif != nullptr && DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return nullptr;
    }
    return gif;
}

// Both readers give the same indices for every frame of the file.
bool SameIndices(const std::vector<std::uint8_t>& bytes) {
    MemoryInput input{};
    GifFileType* theirs = Slurp(bytes, input);
    GifDocument ours;
    bool same = theirs != nullptr && ours.LoadFromStream(bytes) && theirs->ImageCount == ours.FramesCount();
    for (int k = 0; same && k < theirs->ImageCount; ++k) {
        const SavedImage& image = theirs->SavedImages[k];
        const DibSurface& dib = ours.FrameDIBXOR(static_cast<std::int16_t>(k + 1));
        same = image.ImageDesc.Width == dib.Width() && image.ImageDesc.Height == dib.Height();
        for (int y = 0; same && y < dib.Height(); ++y)
            same = std::memcmp(image.RasterBits + static_cast<std::size_t>(y) * image.ImageDesc.Width,
                               dib.Bits() + static_cast<std::size_t>(y) * dib.BytesPerScanline(),
                               static_cast<std::size_t>(dib.Width())) == 0;
    }
    int error = 0;
    if (theirs != nullptr) DGifCloseFile(theirs, &error);
    return same;
}

void BM_GiflibSlurp(benchmark::State& state) {
    const auto& bytes = FadeGif();
    if (!SameIndices(bytes)) {
        state.SkipWithError("giflib and GifDocument read different indices");
        return;
    }
    for (auto _ : state) {
        MemoryInput input{};
        GifFileType* gif = Slurp(bytes, input);
        benchmark::DoNotOptimize(gif);
        int error = 0;
        if (gif != nullptr) DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * kFrames * kWidth * kHeight);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_GiflibSlurp)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
