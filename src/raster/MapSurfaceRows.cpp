#include "raster/MapSurfaceRows.h"

#include <string>

#include "base/Error.h"
#include "raster/DibSurface.h"

namespace crossmeld {

SurfaceRowsView::SurfaceRowsView(std::span<std::uint8_t> bits, std::int32_t bytesPerRow, std::int32_t rows) {
    if (bytesPerRow < 0 || rows < 0 ||
        static_cast<std::uint64_t>(bytesPerRow) * static_cast<std::uint64_t>(rows) > bits.size())
        throw Error(ErrorKind::SubscriptOutOfRange, "Surface rows exceed the pixel memory");
    m_bits = bits;
    m_bytesPerRow = bytesPerRow;
    m_rows = rows;
}

std::span<std::uint8_t> SurfaceRowsView::Row(std::int32_t y) const {
    if (y < 0 || y >= m_rows)
        throw Error(ErrorKind::SubscriptOutOfRange, "Row " + std::to_string(y) + " is outside the surface");
    return m_bits.subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(m_bytesPerRow),
                          static_cast<std::size_t>(m_bytesPerRow));
}

std::uint8_t& SurfaceRowsView::operator()(std::int32_t x, std::int32_t y) const {
    if (x < 0 || x >= m_bytesPerRow)
        throw Error(ErrorKind::SubscriptOutOfRange, "Column " + std::to_string(x) + " is outside the surface");
    return Row(y)[static_cast<std::size_t>(x)];
}

SurfaceRowsView MapSurfaceRows(const DibSurface& dib) {
    const Surface* surface = dib.Bitmap();
    if (surface == nullptr || dib.Bits() == nullptr) return {};
    return SurfaceRowsView(std::span<std::uint8_t>(dib.Bits(), surface->sizeBytes()), dib.BytesPerScanline(),
                           dib.Height());
}

}  // namespace crossmeld
