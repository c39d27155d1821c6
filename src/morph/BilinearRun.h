#pragma once
// A run of frame pixels in one triangle, mixed from the two pictures.
//
// Pixel j of the run (0 .. count - 1) reads the start picture at
// (start[0] + j * step[0], start[1] + j * step[1]) and the end picture at
// (start[2] + j * step[2], start[3] + j * step[3]): positions scaled to
// kFracBits fraction bits and offset by one half, clamped to [0.5, max] and
// truncated, then MixPixel. Every pixel's result depends only on j, so the
// vector kernel (16 pixels at a time where the processor has AVX2) and the
// per-pixel one give the same bytes. Only channels 0..2 are written.

#include <cstdint>

#include "morph/BilinearSample.h"

namespace crossmeld::MeshWarp {

struct RunSources {
    SampleSource start;
    SampleSource end;
    double max[4] = {};   // per coordinate: (side - 1) << kFracBits, plus the half
    std::int32_t wq = 0;  // the end picture's weight, kFracBits fraction bits
    bool vector = false;  // the 16-pixel kernel runs (AVX2 and small enough pictures)
};

RunSources MakeRunSources(const SampleSource& start, const SampleSource& end, const double max[4], std::int32_t wq);

void MixRun(const RunSources& sources, std::uint8_t* pixels, std::int32_t count, const double start[4],
            const double step[4]);

// The vector kernel, for runs of at least kVectorRun pixels (a last partial
// group is done again from count - kVectorRun: the same pixels give the
// same bytes). Does nothing where the processor lacks AVX2.
inline constexpr std::int32_t kVectorRun = 16;
void MixRunAvx2(const RunSources& sources, std::uint8_t* pixels, std::int32_t count, const double start[4],
                const double step[4]);
bool HaveAvx2();

}  // namespace crossmeld::MeshWarp
