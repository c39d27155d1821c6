#include "formats/avi/RawFrameCodec.h"

#include <algorithm>

#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

std::vector<std::uint8_t> RawFrameCodec::StoredFormat() const {
    return BuildStoredFormat(m_format, kUncompressedRgb, m_format.bitCount, m_format.frameSize, m_format.bitCount == 8);
}

std::uint32_t RawFrameCodec::Handler() const {
    return kHandlerDib;
}

std::span<const std::uint8_t> RawFrameCodec::Encode(std::span<const std::uint8_t> frame) {
    frame = frame.first(m_format.frameSize);
    if (!m_format.topDown) return frame;
    m_flipped.resize(frame.size());
    const std::size_t stride = m_format.stride;
    const auto rows = static_cast<std::size_t>(m_format.height);
    for (std::size_t y = 0; y < rows; ++y) {
        const auto source = frame.subspan((rows - 1 - y) * stride, stride);
        std::copy(source.begin(), source.end(), m_flipped.begin() + static_cast<std::ptrdiff_t>(y * stride));
    }
    return m_flipped;
}

}  // namespace crossmeld::avi
