#pragma once
// Frames for the encoder outputs' tests, and the oracles that read the
// outputs back: PIL for animated WebP and PNG, plus the signal-to-noise
// ratio the lossy outputs are held to.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace crossmeld::test {

// Frames of four-byte blue-green-red pixels, all of one size.
struct FrameSet {
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> bgrx;
};

// A cross-fade of the two sample photographs (face2 to face1, 320 x 368),
// each frame the rounded linear mix; decoded by PIL. Empty when it fails.
FrameSet PhotoFade(int frames);
// A smooth fade between two diagonal colour gradients.
FrameSet GradientFade(int width, int height, int frames);

// Peak signal-to-noise ratio in dB of RGB triples against the blue, green
// and red of four-byte pixels (the fourth byte ignored); 99 when equal.
double Psnr(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& bgrx);

// An animation as PIL reads it: every frame in RGB, its duration in ms and
// the loop count (-1 when the file has none).
struct PilAnimation {
    int width = 0;
    int height = 0;
    std::string format;
    int loop = -1;
    std::vector<double> durations;
    std::vector<std::vector<std::uint8_t>> rgb;
};
std::optional<PilAnimation> ReadAnimationWithPil(const fs::path& file);

// The names of the entries of a folder.
std::set<std::string> Names(const fs::path& folder);

}  // namespace crossmeld::test
