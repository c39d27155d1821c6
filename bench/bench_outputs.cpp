// Encoding speed of the MP4, WebM, animated WebP and APNG outputs: 10 frames
// of a 1280 x 720 fade between two smooth gradients with a little noise, at
// each format's default settings, written to a temporary folder. Reports
// frames a second and the file's size.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "export/ApngSink.h"
#include "export/VideoSink.h"
#include "export/WebpSink.h"

using namespace crossmeld;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 10;

const std::vector<std::vector<std::uint8_t>>& Fade() {
    static const auto frames = [] {
        std::vector<std::vector<std::uint8_t>> out;
        std::mt19937 rng(720);
        for (int k = 0; k < kFrames; ++k) {
            std::vector<std::uint8_t> frame(std::size_t{kWidth} * kHeight * 4);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    std::uint8_t* p = &frame[(std::size_t(y) * kWidth + x) * 4];
                    const int s = (x + y) * 255 / (kWidth + kHeight);
                    const int noise = static_cast<int>(rng() % 5) - 2;
                    const int a[3] = {s, 255 - s, 128 + s / 4}, b[3] = {255 - s, s / 2, s};
                    for (int c = 0; c < 3; ++c)
                        p[c] = static_cast<std::uint8_t>(
                            std::clamp((a[c] * (kFrames - 1 - k) + b[c] * k) / (kFrames - 1) + noise, 0, 255));
                }
            out.push_back(std::move(frame));
        }
        return out;
    }();
    return frames;
}

template <class MakeSink>
void Encode(benchmark::State& state, MakeSink make, const char* extension) {
    const auto& frames = Fade();
    const fs::path folder = fs::temp_directory_path() / ("crossmeld-bench-outputs-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path out = folder / (std::string("fade.") + extension);
    for (auto _ : state) {
        std::unique_ptr<FrameSink> sink = make();
        sink->Begin(out, OutputSettings{kWidth, kHeight, kFrames, 30});
        for (const auto& frame : frames) sink->Write(FrameView{kWidth, kHeight, frame});
        sink->Finish();
    }
    state.counters["frames/s"] = benchmark::Counter(double(kFrames) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes"] = double(fs::file_size(out));
    fs::remove_all(folder);
}

void BM_Mp4(benchmark::State& state) {
    Encode(state, [] { return std::make_unique<VideoSink>(VideoFormat::Mp4H264); }, "mp4");
}
void BM_WebM(benchmark::State& state) {
    Encode(state, [] { return std::make_unique<VideoSink>(VideoFormat::WebMVp9); }, "webm");
}
void BM_WebP(benchmark::State& state) {
    Encode(state, [] { return std::make_unique<WebpSink>(); }, "webp");
}
void BM_Apng(benchmark::State& state) {
    Encode(state, [] { return std::make_unique<ApngSink>(); }, "png");
}

}  // namespace

BENCHMARK(BM_Mp4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WebM)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WebP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Apng)->Unit(benchmark::kMillisecond)->UseRealTime();
