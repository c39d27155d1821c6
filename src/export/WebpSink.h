#pragma once
// The animated WebP output, made by libwebp's animation encoder: lossy at
// the quality asked for, lossless at quality 100. Frame k starts at
// FrameStartMs(k); the animation loops as often as the options say (0 =
// forever). The encoder keeps the compressed frames until Finish assembles
// the file, which is then written at once. Two frames in a row that are
// exactly alike become one frame lasting both their times.

#include <memory>

#include "base/ReplacingFile.h"
#include "export/EncoderOptions.h"
#include "export/FrameSink.h"

struct WebPAnimEncoder;

namespace crossmeld {

class WebpSink final : public FrameSink {
public:
    // Keeps every frame of a fade between two photographs above 38 dB;
    // 90 comes within half a decibel of 35 dB.
    static constexpr std::int32_t kDefaultQuality = 92;
    // The file's loop count has 16 bits.
    static constexpr std::int32_t kMaxLoops = 65535;

    explicit WebpSink(EncoderOptions options = {}) : m_options(options) {}
    ~WebpSink() override { Abort(); }

    // Error for settings or options out of range (also sizes past the
    // format's 16383 pixels), OutputWriteFailed when the file cannot be made.
    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    // Error when the encoder fails.
    void Write(const FrameView& frame) override;
    void Finish() override;
    void Abort() noexcept override;

private:
    struct EncoderDeleter {
        void operator()(WebPAnimEncoder* encoder) const noexcept;
    };

    EncoderOptions m_options;
    OutputSettings m_settings;
    std::unique_ptr<WebPAnimEncoder, EncoderDeleter> m_encoder;
    ReplacingFile m_file;
    std::int32_t m_written = 0;
    std::int64_t m_heldMs = 0;  // the holds of the frames written so far
};

}  // namespace crossmeld
