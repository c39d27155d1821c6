#pragma once
// The two video outputs and how each is encoded: MP4 holds H.264 (libx264),
// WebM holds VP9 (libvpx), both 8-bit 4:2:0 with BT.709 colour in the
// limited range. Quality 0 .. 100 maps linearly onto the encoder's
// constant-rate factor, 100 giving 0 (its best).

#include <array>
#include <cstdint>

namespace crossmeld {

enum class VideoFormat { Mp4H264, WebMVp9 };

struct VideoProfile {
    const char* muxer;      // libavformat's name of the container
    const char* encoder;    // libavcodec's name of the encoder
    std::int32_t worstCrf;  // the constant-rate factor quality 0 gives
    std::int32_t defaultQuality;
    // H.264 in 4:2:0 stores even sizes only: an odd width or height is
    // padded by one column or row repeating the last. VP9 keeps odd sizes.
    bool evenSizeOnly;
    bool fastStart;  // the index goes before the frames (MP4's moov atom)
    // The encoder's speed settings, name and value; unused ones are null.
    std::array<std::array<const char*, 2>, 2> tuning;
};

const VideoProfile& ProfileOf(VideoFormat format);

// The constant-rate factor for a quality of 0 .. 100.
std::int32_t ConstantRateFactor(const VideoProfile& profile, std::int32_t quality);

// The size the encoder is given for frames of width x height.
struct CodedSize {
    std::int32_t width;
    std::int32_t height;
};
CodedSize CodedSizeOf(const VideoProfile& profile, std::int32_t width, std::int32_t height);

}  // namespace crossmeld
