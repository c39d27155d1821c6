#include "export/FrameSink.h"

#include "base/Error.h"

namespace crossmeld {

void CheckFrameFits(const FrameView& frame, const OutputSettings& settings) {
    if (frame.width != settings.width || frame.height != settings.height ||
        frame.bgrx.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 4)
        throw Error(ErrorKind::InvalidProcedureCall, "The frame does not have the output's size");
}

}  // namespace crossmeld
