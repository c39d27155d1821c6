#include "morph/BilinearRun.h"

#include <algorithm>
#include <cstring>

namespace crossmeld::MeshWarp {

namespace {

// The gathers of the vector kernel address pixels with 32-bit indices.
constexpr std::int64_t kMaxVectorPixels = std::int64_t{1} << 30;

bool GatherFits(const SampleSource& s) {
    return static_cast<std::int64_t>(s.width) * static_cast<std::int64_t>(s.height) < kMaxVectorPixels;
}

}  // namespace

RunSources MakeRunSources(const SampleSource& start, const SampleSource& end, const double max[4], std::int32_t wq) {
    RunSources r;
    r.start = start;
    r.end = end;
    std::copy(max, max + 4, r.max);
    r.wq = wq;
    r.vector = HaveAvx2() && GatherFits(start) && GatherFits(end);
    return r;
}

void MixRun(const RunSources& sources, const SampleMixer& mix, std::uint8_t* pixels, std::int32_t count,
            const double start[4], const double step[4]) {
    std::int32_t j = sources.vector ? MixRunAvx2(sources, pixels, count, start, step) : 0;
    for (; j < count; ++j) {
        std::int32_t fixed[4];
        for (int k = 0; k < 4; ++k) {
            // Clamped before the conversion, so any position converts.
            const double v = std::min(std::max(start[k] + static_cast<double>(j) * step[k], 0.5), sources.max[k]);
            fixed[k] = static_cast<std::int32_t>(v);  // truncation: v is offset by one half
        }
        std::uint8_t* px = pixels + 4 * static_cast<std::size_t>(j);
        std::uint32_t pixel;
        std::memcpy(&pixel, px, 4);
        pixel = (pixel & 0xFF000000u) | mix(fixed[0], fixed[1], fixed[2], fixed[3]);
        std::memcpy(px, &pixel, 4);
    }
}

}  // namespace crossmeld::MeshWarp
