#include "formats/avi/AviStream.h"

#include <algorithm>

#include "base/Error.h"

namespace crossmeld::avi {

AviStatus AviStream::SetFormat(std::int32_t position, std::span<const std::uint8_t> block) {
    if (m_writer->IsClosed()) return AVIERR_BADHANDLE;
    if (position != 0) return AVIERR_UNSUPPORTED;  // the format is set once, before the first frame
    if (m_input) return std::ranges::equal(block, m_block) ? AVIERR_OK : AVIERR_UNSUPPORTED;
    if (m_writer->HasFormat()) return AVIERR_UNSUPPORTED;
    DibFormat input;
    try {
        input = ParseDibFormat(block);
        m_codec->Start(input);
    } catch (const Error&) {
        return AVIERR_BADFORMAT;
    }
    const AviStatus status = m_writer->SetFormat(*m_codec, input);
    if (status == AVIERR_OK) {
        m_input = std::move(input);
        m_block.assign(block.begin(), block.end());
    }
    return status;
}

AviStatus AviStream::Write(std::int32_t samples, std::span<const std::uint8_t> data, std::int32_t* bytesWritten) {
    if (m_writer->IsClosed()) return AVIERR_BADHANDLE;
    AviStatus status = AVIERR_OK;
    std::span<const std::uint8_t> stored;
    if (!m_input)
        status = AVIERR_BADFORMAT;
    else if (samples != 1)
        status = AVIERR_BADPARAM;
    else if (data.size() < m_input->frameSize)
        status = AVIERR_BADSIZE;
    if (status == AVIERR_OK) {
        try {
            stored = m_codec->Encode(data.first(m_input->frameSize));
        } catch (const Error&) {
            status = AVIERR_CANTCOMPRESS;
        }
    }
    if (status == AVIERR_OK) status = m_writer->AppendFrame(stored);
    if (status != AVIERR_OK) m_writer->MarkFailed(status);
    if (bytesWritten) *bytesWritten = status == AVIERR_OK ? static_cast<std::int32_t>(stored.size()) : 0;
    return status;
}

}  // namespace crossmeld::avi
