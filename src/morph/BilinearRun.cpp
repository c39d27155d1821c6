#include "morph/BilinearRun.h"

#include <algorithm>
#include <cstring>

namespace crossmeld::MeshWarp {

namespace {

// The vector kernel addresses pixels with 32-bit indices.
constexpr std::int64_t kMaxVectorPixels = std::int64_t{1} << 30;
// Runs this short cost less pixel by pixel than as a group of 16.
constexpr std::int32_t kPixelByPixel = 2;

bool IndexFits(const SampleSource& s) {
    return static_cast<std::int64_t>(s.width) * static_cast<std::int64_t>(s.height) < kMaxVectorPixels;
}

}  // namespace

RunSources MakeRunSources(const SampleSource& start, const SampleSource& end, const double max[4], std::int32_t wq) {
    RunSources r;
    r.start = start;
    r.end = end;
    std::copy(max, max + 4, r.max);
    r.wq = wq;
    r.vector = HaveAvx2() && IndexFits(start) && IndexFits(end);
    return r;
}

void MixRun(const RunSources& sources, std::uint8_t* pixels, std::int32_t count, const double start[4],
            const double step[4]) {
    if (sources.vector && count >= kVectorRun) {
        MixRunAvx2(sources, pixels, count, start, step);
        return;
    }
    if (sources.vector && count > kPixelByPixel) {
        // A short run goes through the kernel in a scratch group; the
        // positions past its end are clamped like any other.
        std::uint8_t group[4 * kVectorRun] = {};
        std::memcpy(group, pixels, 4 * static_cast<std::size_t>(count));
        MixRunAvx2(sources, group, kVectorRun, start, step);
        std::memcpy(pixels, group, 4 * static_cast<std::size_t>(count));
        return;
    }
    for (std::int32_t j = 0; j < count; ++j) {
        std::int32_t fixed[4];
        for (int k = 0; k < 4; ++k) {
            // Clamped before the conversion, so any position converts.
            const double v = std::min(std::max(start[k] + static_cast<double>(j) * step[k], 0.5), sources.max[k]);
            fixed[k] = static_cast<std::int32_t>(v);  // truncation: v is offset by one half
        }
        std::uint8_t* px = pixels + 4 * static_cast<std::size_t>(j);
        std::uint32_t pixel;
        std::memcpy(&pixel, px, 4);
        pixel = (pixel & 0xFF000000u) |
                MixPixel(sources.start, sources.end, fixed[0], fixed[1], fixed[2], fixed[3], sources.wq);
        std::memcpy(px, &pixel, 4);
    }
}

}  // namespace crossmeld::MeshWarp
