#include "formats/avi/FrameCodec.h"

#include "formats/avi/Fourcc.h"
#include "formats/avi/MjpegEncoder.h"
#include "formats/avi/RawFrameCodec.h"

namespace crossmeld::avi {

std::unique_ptr<FrameCodec> MakeFrameCodec(std::uint32_t handler, std::uint32_t quality) {
    if (handler == 0 || handler == kHandlerDib) return std::make_unique<RawFrameCodec>();
    if (mmioStringToFOURCC(FourccText(handler), MMIO_TOUPPER) == kHandlerMjpg)
        return std::make_unique<MjpegEncoder>(JpegQualityFromOptions(quality));
    return nullptr;
}

}  // namespace crossmeld::avi
