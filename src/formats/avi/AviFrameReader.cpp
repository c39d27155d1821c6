#include "formats/avi/AviFrameReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Error.h"
#include "formats/avi/Fourcc.h"
#include "formats/bmp/DibFormat.h"

namespace crossmeld::avi {
namespace {

// Huffman-coded JPEG spends at least one bit per 8 x 8 block of each
// component (a DC code), even on a flat picture: at most 512 pixels per
// byte. A frame whose header claims more than twice that is a damaged or
// hostile one whose decode would only fill a huge buffer with grey.
constexpr std::uint64_t kMaxJpegPixelsPerByte = 1024;

bool IsMotionJpeg(std::uint32_t compression) {
    // The code in any letter case ('MJPG', 'mjpg').
    return (compression & ~0x20202020u) == (MakeFourcc("MJPG") & ~0x20202020u);
}

}  // namespace

FrameReader::FrameReader(std::shared_ptr<Reader> reader, const DibLayout& out, bool mjpeg,
                         std::vector<std::uint8_t> headerAndTable)
    : m_reader(std::move(reader)), m_out(out), m_mjpeg(mjpeg), m_dib(std::move(headerAndTable)),
      m_pixelsAt(m_dib.size()) {}

std::unique_ptr<FrameReader> FrameReader::Create(std::shared_ptr<Reader> reader) noexcept {
    if (!reader) return nullptr;
    try {
        const std::span<const std::uint8_t> format = reader->Format();
        DibLayout layout;
        try {
            layout = ReadDibLayout(format);
        } catch (const Error&) {
            return nullptr;
        }
        if (layout.compression == kUncompressedRgb) {
            DibLayout out = layout;
            out.headerSize = kBitmapInfoHeaderSize;
            std::vector<std::uint8_t> dib = BuildDibHeader(out);
            // The colour table follows the stream's header; entries the block
            // does not hold stay black.
            const std::size_t tableAt = dib.size();
            dib.resize(tableAt + out.TableBytes(), 0);
            const auto table = format.subspan(layout.headerSize);
            std::copy_n(table.begin(), std::min(table.size(), out.TableBytes()), dib.begin() + tableAt);
            return std::unique_ptr<FrameReader>(new FrameReader(std::move(reader), out, false, std::move(dib)));
        }
        if (IsMotionJpeg(layout.compression)) {
            DibLayout out;
            out.headerSize = kBitmapInfoHeaderSize;
            out.width = layout.width;
            out.height = layout.height;
            out.bitCount = 24;
            out.compression = kUncompressedRgb;
            out.xPelsPerMeter = layout.xPelsPerMeter;
            out.yPelsPerMeter = layout.yPelsPerMeter;
            const std::uint64_t stride = (std::uint64_t{3} * static_cast<std::uint64_t>(out.width) + 3) / 4 * 4;
            if (stride * static_cast<std::uint64_t>(out.height) > kMaxDibImageBytes) return nullptr;
            out.stride = static_cast<std::uint32_t>(stride);
            out.rowBytes = static_cast<std::uint32_t>(3 * static_cast<std::uint64_t>(out.width));
            out.imageSize = static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(out.height));
            return std::unique_ptr<FrameReader>(new FrameReader(std::move(reader), out, true, BuildDibHeader(out)));
        }
    } catch (const std::bad_alloc&) {
    }
    return nullptr;  // no decoder for this compression
}

std::span<const std::uint8_t> FrameReader::Frame(std::int32_t position) noexcept {
    try {
        return Get(position);
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const Error&) {
        return {};
    }
}

std::span<const std::uint8_t> FrameReader::Get(std::int32_t position) {
    const std::int64_t k = std::int64_t{position} - m_reader->Header().start;
    if (k < 0 || k >= m_reader->FrameCount()) return {};
    const auto picture = m_reader->PictureOf(static_cast<std::uint32_t>(k));
    if (!picture) return {};
    if (m_current != picture) {
        m_current.reset();
        if (!(m_mjpeg ? DecodeJpeg(*picture) : ReadFullFrame(*picture))) return {};
        m_current = picture;
    }
    return m_dib;
}

// The pixel bytes of the buffer, sized only once a frame's data has been
// found to match them: a format announcing huge frames costs nothing until
// a chunk that large is there.
std::span<std::uint8_t> FrameReader::Pixels() {
    m_dib.resize(m_pixelsAt + m_out.imageSize);
    return std::span(m_dib).subspan(m_pixelsAt);
}

bool FrameReader::ReadFullFrame(std::uint32_t k) {
    const auto size = m_reader->ChunkSize(k);
    if (!size) return false;
    if (*size >= m_out.imageSize) return m_reader->ReadChunk(k, Pixels());
    // Rows stored without their padding.
    const std::size_t rows = static_cast<std::size_t>(m_out.height);
    const std::size_t packed = std::size_t{m_out.rowBytes} * rows;
    if (*size < packed) return false;
    m_chunk.resize(packed);
    if (!m_reader->ReadChunk(k, m_chunk)) return false;
    std::uint8_t* target = Pixels().data();
    std::fill_n(target, m_out.imageSize, std::uint8_t{0});
    for (std::size_t y = 0; y < rows; ++y)
        std::memcpy(target + y * m_out.stride, m_chunk.data() + y * m_out.rowBytes, m_out.rowBytes);
    return true;
}

bool FrameReader::DecodeJpeg(std::uint32_t k) {
    const auto size = m_reader->ChunkSize(k);
    if (!size || *size > kMaxDibImageBytes) return false;
    // A frame too large for its data is refused before its rows are
    // allocated and decoded.
    const std::uint64_t pixels = std::uint64_t(m_out.width) * std::uint64_t(m_out.height);
    if (pixels > kMaxJpegPixelsPerByte * *size) return false;
    m_chunk.resize(*size);
    if (!m_reader->ReadChunk(k, m_chunk)) return false;
    try {
        m_jpeg.ReadHeader(m_chunk);
        if (m_jpeg.Width() != m_out.width || m_jpeg.Height() != m_out.height) return false;
        m_jpeg.Decode(Pixels(), m_out.stride);
    } catch (const Error&) {
        return false;
    }
    return true;
}

}  // namespace crossmeld::avi
