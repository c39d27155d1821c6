#pragma once
// The AVI output: frames stored as 24-bit bottom-up DIB rows, either as
// they are or as Motion JPEG, the codec asked for when the output begins.
// Files past 1 GiB go on in OpenDML parts.

#include <memory>
#include <vector>

#include "export/FrameSink.h"
#include "formats/avi/AviWriter.h"
#include "formats/avi/CodecChooser.h"

namespace crossmeld {

class AviSink final : public FrameSink {
public:
    // The chooser is asked once per output, after the file has been made.
    explicit AviSink(avi::CodecChooser& codecs) : m_codecs(codecs) {}

    // False when the codec question is cancelled.
    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    void Write(const FrameView& frame) override;
    void Finish() override;
    void Abort() noexcept override;

    // The 40-byte information header of the frames: width x height, 24 bits
    // per pixel, bottom-up, uncompressed, the image size filled in.
    static std::vector<std::uint8_t> FrameFormat(std::int32_t width, std::int32_t height);


private:
    avi::CodecChooser& m_codecs;
    std::unique_ptr<avi::Writer> m_writer;  // one per output
    OutputSettings m_settings;
    std::vector<std::uint8_t> m_dib;  // one frame as the file stores it
};

}  // namespace crossmeld
