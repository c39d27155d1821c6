#include "export/VideoFormat.h"

namespace crossmeld {

namespace {

// The defaults keep every frame of a fade between two photographs above
// 35 dB with a margin of a decibel or more at every rate from 1 to 30
// (libx264 spends fewer bits per frame the higher the rate): quality 70 is
// H.264's factor 15, quality 66 VP9's factor 21. libvpx runs at speed 2 of
// its good mode (0 is the slowest): speed 4 was 1.4 times as fast at full HD
// but lost 0.3 dB on the photographs' fade.
constexpr VideoProfile kMp4{"mp4", "libx264", 51, 70, true, true, {{{"preset", "medium"}, {nullptr, nullptr}}}};
constexpr VideoProfile kWebM{"webm", "libvpx-vp9", 63, 66, false, false, {{{"deadline", "good"}, {"cpu-used", "2"}}}};

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
