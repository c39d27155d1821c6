#pragma once
// The object behind an AviStreamHandle: the file's video stream seen through
// one codec. The stream made by AVIFileCreateStream stores full frames; the
// one made by AVIMakeCompressedStream writes into the same file stream
// through the chosen codec. Whichever sets the format first fixes the
// stream's format; only that one can then write.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "formats/avi/AviStatus.h"
#include "formats/avi/AviWriter.h"
#include "formats/avi/FrameCodec.h"
#include "formats/bmp/DibFormat.h"

namespace crossmeld::avi {

class AviStream {
public:
    AviStream(std::shared_ptr<AviWriter> writer, std::unique_ptr<FrameCodec> codec)
        : m_writer(std::move(writer)), m_codec(std::move(codec)) {}

    const std::shared_ptr<AviWriter>& writer() const noexcept { return m_writer; }

    AviStatus SetFormat(std::int32_t position, std::span<const std::uint8_t> block);
    // Encodes and appends one frame; bytesWritten receives the stored size.
    AviStatus Write(std::int32_t samples, std::span<const std::uint8_t> data, std::int32_t* bytesWritten);

private:
    std::shared_ptr<AviWriter> m_writer;
    std::unique_ptr<FrameCodec> m_codec;
    std::optional<DibFormat> m_input;
    std::vector<std::uint8_t> m_block;  // the format block as given, to accept the same one again
};

}  // namespace crossmeld::avi
