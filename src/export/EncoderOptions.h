#pragma once
// What an encoder output takes beyond the frames' size, count and rate.
// Each format reads the fields it has a use for: the video formats have no
// loop count, APNG no quality (it is always lossless). A hold on the first
// or last frame would be one more field here, in milliseconds, that
// FrameStartMs (WebP), the frame controls' delays (APNG) and the packets'
// times (video) take in.

#include <cstdint>

#include "export/FrameSink.h"

namespace crossmeld {

struct EncoderOptions {
    // 0 (smallest) .. 100 (best); -1 takes the format's own default.
    std::int32_t quality = -1;
    // How often the animation plays; 0 = forever.
    std::int32_t loopCount = 0;
};

// Error(InvalidProcedureCall) for a quality outside -1 .. 100 or a loop
// count outside 0 .. maxLoops.
void CheckEncoderOptions(const EncoderOptions& options, std::int32_t maxLoops);

// The quality asked for, or the format's default when none was.
inline std::int32_t QualityOr(const EncoderOptions& options, std::int32_t formatDefault) {
    return options.quality < 0 ? formatDefault : options.quality;
}

// Error(InvalidProcedureCall) unless the output has a size of at least
// 1 x 1, at least one frame and a rate of 1 .. 30 frames a second.
void CheckOutputSettings(const OutputSettings& settings);

}  // namespace crossmeld
