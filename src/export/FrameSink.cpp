#include "export/FrameSink.h"

#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld {

void CheckFrameFits(const FrameView& frame, const OutputSettings& settings) {
    if (frame.width != settings.width || frame.height != settings.height ||
        frame.bgrx.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 4)
        throw Error(ErrorKind::InvalidProcedureCall, "The frame does not have the output's size");
}

std::int32_t HoldRepeats(double holdSeconds, std::int32_t framesPerSecond) {
    if (!(holdSeconds >= 0 && holdSeconds <= kMaxHoldSeconds)) throw Error(ErrorKind::InvalidProcedureCall);
    return ToInt32(holdSeconds * framesPerSecond);
}

}  // namespace crossmeld
