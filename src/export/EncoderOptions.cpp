#include "export/EncoderOptions.h"

#include "base/Error.h"

namespace crossmeld {

void CheckEncoderOptions(const EncoderOptions& options, std::int32_t maxLoops) {
    if (options.quality < -1 || options.quality > 100)
        throw Error(ErrorKind::InvalidProcedureCall, "The quality must be from 0 to 100");
    if (options.loopCount < 0 || options.loopCount > maxLoops)
        throw Error(ErrorKind::InvalidProcedureCall, "The loop count is out of range for this format");
}

void CheckOutputSettings(const OutputSettings& settings) {
    if (settings.width < 1 || settings.height < 1 || settings.frameCount < 1)
        throw Error(ErrorKind::InvalidProcedureCall, "The output has no frames");
    if (settings.framesPerSecond < 1 || settings.framesPerSecond > 30)
        throw Error(ErrorKind::InvalidProcedureCall, "The frame rate must be from 1 to 30");
}

}  // namespace crossmeld
