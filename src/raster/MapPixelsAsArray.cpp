#include "raster/MapPixelsAsArray.h"

#include <cstddef>

#include "base/Error.h"
#include "raster/DibSurface.h"

namespace crossmeld {

MapPixelsAsArray::MapPixelsAsArray(const DibSurface& surface) : m_columns(surface.Width()), m_rows(surface.Height()) {
    const std::int64_t wanted = static_cast<std::int64_t>(m_columns) * m_rows * 4;
    const std::int64_t held = surface.Bits() ? surface.Bitmap()->sizeBytes() : 0;
    if (m_columns < 0 || m_rows < 0 || wanted > held)
        throw Error(ErrorKind::SubscriptOutOfRange, "The surface holds fewer than Width x Height four-byte pixels");
    m_bytes = std::span<std::uint8_t>(surface.Bits(), static_cast<std::size_t>(wanted));
}

std::span<std::uint8_t, 4> MapPixelsAsArray::operator()(std::int32_t x, std::int32_t y) const {
    if (x < 0 || x >= m_columns || y < 0 || y >= m_rows) throw Error(ErrorKind::SubscriptOutOfRange);
    const std::size_t offset = (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_columns) + x) * 4;
    return m_bytes.subspan(offset).first<4>();
}

std::span<std::uint8_t> MapPixelsAsArray::Row(std::int32_t y) const {
    if (y < 0 || y >= m_rows) throw Error(ErrorKind::SubscriptOutOfRange);
    const std::size_t rowBytes = static_cast<std::size_t>(m_columns) * 4;
    return m_bytes.subspan(static_cast<std::size_t>(y) * rowBytes, rowBytes);
}

}  // namespace crossmeld
