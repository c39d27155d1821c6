#include "export/YuvConverter.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "base/Error.h"

namespace crossmeld {

YuvConverter::~YuvConverter() { Reset(); }

void YuvConverter::Reset() noexcept {
    sws_freeContext(m_scaler);
    m_scaler = nullptr;
    m_padded.clear();
    m_padded.shrink_to_fit();
}

void YuvConverter::Create(std::int32_t width, std::int32_t height, std::int32_t codedWidth, std::int32_t codedHeight) {
    Reset();
    // Same size in and out: only the chroma planes are filtered down.
    m_scaler = sws_getContext(codedWidth, codedHeight, AV_PIX_FMT_BGR0, codedWidth, codedHeight, AV_PIX_FMT_YUV420P,
                              SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    if (!m_scaler) throw Error(ErrorKind::OutOfMemory, "The colour converter could not be made");
    // Full-range RGB in, BT.709 limited-range YCbCr out.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    if (sws_setColorspaceDetails(m_scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16) < 0) {
        Reset();
        throw Error(ErrorKind::InvalidProcedureCall, "The colour converter does not take the BT.709 matrix");
    }
    m_width = width;
    m_height = height;
    m_codedWidth = codedWidth;
    m_codedHeight = codedHeight;
    if (codedWidth != width || codedHeight != height)
        m_padded.assign(static_cast<std::size_t>(codedWidth) * static_cast<std::size_t>(codedHeight) * 4, 0);
}

void YuvConverter::Convert(const FrameView& frame, AVFrame& out) {
    const std::uint8_t* pixels = frame.bgrx.data();
    int stride = m_width * 4;
    if (!m_padded.empty()) {
        const std::size_t in = static_cast<std::size_t>(m_width) * 4;
        const std::size_t padded = static_cast<std::size_t>(m_codedWidth) * 4;
        for (std::int32_t y = 0; y < m_codedHeight; ++y) {
            const std::uint8_t* row = pixels + static_cast<std::size_t>(y < m_height ? y : m_height - 1) * in;
            std::uint8_t* to = m_padded.data() + static_cast<std::size_t>(y) * padded;
            std::memcpy(to, row, in);
            if (m_codedWidth > m_width) std::memcpy(to + in, row + in - 4, 4);
        }
        pixels = m_padded.data();
        stride = m_codedWidth * 4;
    }
    const std::uint8_t* planes[1] = {pixels};
    const int strides[1] = {stride};
    sws_scale(m_scaler, planes, strides, 0, m_codedHeight, out.data, out.linesize);
}

}  // namespace crossmeld
