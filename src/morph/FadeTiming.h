#pragma once
// When each frame of a fade comes and what it shows: the weight of frame k
// (straight, or eased to start and end slowly), the order of the frames
// (once, or there and back so that a loop returns smoothly to its start)
// and how long the first and last frames are held.

#include <cstdint>

namespace crossmeld {

enum class Ease { Linear, Smooth };

struct FadeTiming {
    Ease ease = Ease::Linear;
    bool bounce = false;           // frames 0 .. N - 1, then N - 2 .. 1
    double holdStartSeconds = 0;   // the start picture's frame stays longer
    double holdEndSeconds = 0;     // the end picture's frame stays longer
    std::int32_t playCount = 0;    // plays in all; 0 for ever (animations only)
    friend bool operator==(const FadeTiming&, const FadeTiming&) = default;
};

// The weight of frame k of last + 1: k / last held in single precision;
// eased, t * t * (3 - 2t) held in single precision.
float FrameWeight(std::int32_t k, std::int32_t last, Ease ease);

// How many frames an output gets for n engine frames: n, or 2n - 2 there
// and back.
std::int32_t OutputFrameCount(std::int32_t n, bool bounce);
// The engine frame that output frame j shows.
std::int32_t EngineFrameAt(std::int32_t j, std::int32_t n, bool bounce);

}  // namespace crossmeld
