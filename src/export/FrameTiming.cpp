#include "export/FrameTiming.h"

#include "base/Error.h"

namespace crossmeld {

std::int64_t FrameStartMs(std::int32_t frame, const OutputSettings& settings) {
    if (settings.framesPerSecond <= 0) throw Error(ErrorKind::DivisionByZero);
    const std::int64_t rate = settings.framesPerSecond;
    return (std::int64_t{frame} * 1000 * 2 + rate) / (2 * rate);
}

}  // namespace crossmeld
