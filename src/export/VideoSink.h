#pragma once
// The MP4 (H.264) and WebM (VP9) outputs, encoded and muxed by FFmpeg's
// libraries as the frames arrive. Frame k has the time k / rate; the
// colour tags say BT.709, limited range. An MP4 has its index before the
// frames (fast start), so it plays while it loads: libavformat moves the
// index when the file is complete, reading the part file back by its name
// before it takes the target's place.
//
// Each encoder runs two threads, a fixed count so that the same frames give
// the same file on every machine: the encoders are the slow end of the
// pipeline (libx264 at full HD manages a few frames a second a core), so
// they take whatever the engine leaves of the second core.

#include <memory>

#include "export/EncoderOptions.h"
#include "export/FrameSink.h"
#include "export/VideoFormat.h"

namespace crossmeld {

class VideoSink final : public FrameSink {
public:
    // The loop count is not used: neither container has one.
    explicit VideoSink(VideoFormat format, EncoderOptions options = {});
    ~VideoSink() override;

    // Error when the settings or options are out of range or the encoder
    // cannot be started (then no file is made); OutputWriteFailed when the
    // file cannot be made.
    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    // Error when the encoder fails, OutputWriteFailed when the writing does.
    void Write(const FrameView& frame) override;
    void Finish() override;
    void Abort() noexcept override;

private:
    struct Encoder;
    void Drain(bool flushing);

    const VideoProfile& m_profile;
    EncoderOptions m_options;
    OutputSettings m_settings;
    std::unique_ptr<Encoder> m_encoder;  // one per output
};

}  // namespace crossmeld
