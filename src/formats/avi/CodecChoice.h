#pragma once
// How the frames of an AVI file are stored: the codec and, for Motion JPEG,
// the quality. The codec dialog fills it in (CodecChooser.h); the writer
// takes it when the stream starts (AviWriter.h).

#include <cstdint>
#include <optional>

namespace crossmeld::avi {

enum class Codec {
    FullFrames,  // the DIB rows as they are (handler 'DIB ')
    MotionJpeg,  // every frame a complete JPEG (handler 'MJPG')
};

struct CodecChoice {
    Codec codec = Codec::FullFrames;
    // 0 ... 10000, larger values count as 10000; none (or 0) asks for the
    // codec's default. Only Motion JPEG uses it.
    std::optional<std::uint32_t> quality;
};

}  // namespace crossmeld::avi
