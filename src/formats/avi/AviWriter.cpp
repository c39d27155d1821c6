#include "formats/avi/AviWriter.h"

#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

AviStatus AviWriter::Open(const std::filesystem::path& target) {
    if (!m_file.Create(target)) return AVIERR_FILEOPEN;
    m_sink = std::make_unique<FileSink>(m_file.fd());
    return AVIERR_OK;
}

AviStatus AviWriter::AddStream(const StreamHeader& info) {
    if (m_closed) return AVIERR_BADHANDLE;
    if (m_info) return AVIERR_UNSUPPORTED;  // one video stream per file
    if (info.type != kStreamTypeVideo) return AVIERR_UNSUPPORTED;
    if (info.scale == 0 || info.rate == 0) return AVIERR_BADPARAM;
    m_info = info;
    return AVIERR_OK;
}

AviStatus AviWriter::SetFormat(const FrameCodec& codec, const DibFormat& input) {
    if (m_closed || !m_info) return AVIERR_BADHANDLE;
    if (m_layout) return AVIERR_UNSUPPORTED;
    AviStreamLayout stream;
    stream.info = *m_info;
    stream.handler = codec.Handler();
    stream.format = codec.StoredFormat();
    stream.width = input.width;
    stream.height = input.height;
    stream.chunkId = codec.Compressed() ? MakeFourcc("00dc") : MakeFourcc("00db");
    m_layout.emplace(*m_sink, std::move(stream), m_riffLimit);
    if (!m_layout->Begin()) {
        MarkFailed(AVIERR_FILEWRITE);
        return AVIERR_FILEWRITE;
    }
    return AVIERR_OK;
}

AviStatus AviWriter::AppendFrame(std::span<const std::uint8_t> chunk) {
    if (m_closed || !m_layout) return AVIERR_BADHANDLE;
    if (!m_layout->AddFrame(chunk)) {
        MarkFailed(AVIERR_FILEWRITE);
        return AVIERR_FILEWRITE;
    }
    return AVIERR_OK;
}

void AviWriter::MarkFailed(AviStatus status) noexcept {
    if (m_failure == AVIERR_OK) m_failure = status;
}

AviStatus AviWriter::Close() {
    if (m_closed) return AVIERR_BADHANDLE;
    m_closed = true;
    AviStatus status = m_failure;
    if (status == AVIERR_OK && !m_layout) status = AVIERR_NODATA;  // nothing was written: keep the target
    if (status == AVIERR_OK && !m_layout->Finish()) status = AVIERR_FILEWRITE;
    if (status == AVIERR_OK && !m_file.Commit()) status = AVIERR_FILEWRITE;
    if (status != AVIERR_OK) m_file.Discard();
    m_layout.reset();
    m_sink.reset();
    return status;
}

}  // namespace crossmeld::avi
