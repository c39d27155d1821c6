#include "formats/avi/FrameCodec.h"

#include "formats/avi/MjpegEncoder.h"
#include "formats/avi/RawFrameCodec.h"

namespace crossmeld::avi {

std::unique_ptr<FrameCodec> MakeFrameCodec(const CodecChoice& choice) {
    if (choice.codec == Codec::MotionJpeg) return std::make_unique<MjpegEncoder>(JpegQuality(choice.quality));
    return std::make_unique<RawFrameCodec>();
}

}  // namespace crossmeld::avi
