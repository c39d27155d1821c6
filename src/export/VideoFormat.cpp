#include "export/VideoFormat.h"

namespace crossmeld {

namespace {

// Defaults measured on a fade between two photographs (see the export
// tests): H.264 at factor 18 and VP9 at factor 30 stay above 35 dB.
constexpr VideoProfile kMp4{"mp4", "libx264", 51, 65, true, true};
constexpr VideoProfile kWebM{"webm", "libvpx-vp9", 63, 52, false, false};

}  // namespace

const VideoProfile& ProfileOf(VideoFormat format) { return format == VideoFormat::Mp4H264 ? kMp4 : kWebM; }

std::int32_t ConstantRateFactor(const VideoProfile& profile, std::int32_t quality) {
    // Rounded to the nearest factor, halves up.
    return (profile.worstCrf * (100 - quality) * 2 + 100) / 200;
}

CodedSize CodedSizeOf(const VideoProfile& profile, std::int32_t width, std::int32_t height) {
    if (!profile.evenSizeOnly) return {width, height};
    return {width + (width & 1), height + (height & 1)};
}

}  // namespace crossmeld
