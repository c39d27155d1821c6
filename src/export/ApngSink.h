#pragma once
// The animated PNG output: lossless 8-bit RGB, every frame the whole
// picture, each shown for 1 / rate s, played as often as the options' loop
// count says (0 = forever). libpng encodes each frame as it arrives; the
// first frame is also the still picture that viewers without animation
// show. The file is written as it goes, beside the target.

#include <cstdint>
#include <memory>

#include "base/ReplacingFile.h"
#include "export/EncoderOptions.h"
#include "export/FrameSink.h"
#include "export/PngFrameEncoder.h"

namespace crossmeld {

class FileSink;
class BufferedSink;

class ApngSink final : public FrameSink {
public:
    // The quality is not used: the frames are always stored exactly.
    explicit ApngSink(EncoderOptions options = {});
    ~ApngSink() override;

    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    // Error for a frame past the frame count or when libpng fails,
    // OutputWriteFailed when the writing does.
    void Write(const FrameView& frame) override;
    // Error when fewer frames were written than the settings announced.
    void Finish() override;
    void Abort() noexcept override;

private:
    void Put(std::span<const std::uint8_t> bytes);

    EncoderOptions m_options;
    OutputSettings m_settings;
    ReplacingFile m_file;
    std::unique_ptr<FileSink> m_fileSink;
    std::unique_ptr<BufferedSink> m_buffer;
    PngFrameEncoder m_encoder;
    std::int32_t m_written = 0;
    std::uint32_t m_sequence = 0;  // the next fcTL or fdAT number
};

}  // namespace crossmeld
