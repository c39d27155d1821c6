#pragma once
// When each frame of an output starts, for the formats that store times in
// milliseconds. Frame k starts at k x 1000 / rate ms, rounded to the nearest
// millisecond, so the frames' lengths add up to the stream's length without
// the rounding drifting (at 30 frames a second: 33, 33, 34, 33, 33, 34 ...).
// A later hold on the first or last frame goes in here, so every format
// gets the same times.

#include <cstdint>

#include "export/FrameSink.h"

namespace crossmeld {

// The start of frame k, 0 <= k <= frameCount; k = frameCount gives the end
// of the last frame.
std::int64_t FrameStartMs(std::int32_t frame, const OutputSettings& settings);

}  // namespace crossmeld
