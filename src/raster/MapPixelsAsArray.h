#pragma once
// MapPixelsAsArray: a two-dimensional view of a surface's pixel memory as
// four-byte pixels. Column x (0 .. Width - 1) and row y (0 .. Height - 1, in
// storage order) address the four bytes blue, green, red, reserved at
// Bits() + (y * Width + x) * 4, which is the surface's own layout at 32 bits
// per pixel. Every access is bounds-checked; the view never outlives the
// operation that made it (the surface must stay as it is meanwhile).

#include <cstdint>
#include <span>

namespace crossmeld {

class DibSurface;

class MapPixelsAsArray {
public:
    // Raises Error(SubscriptOutOfRange) when Width x Height four-byte pixels
    // do not fit the surface's pixel memory (a depth below 32 bits).
    explicit MapPixelsAsArray(const DibSurface& surface);

    std::int32_t Columns() const noexcept { return m_columns; }
    std::int32_t Rows() const noexcept { return m_rows; }

    // The four bytes of pixel (x, y); Error(SubscriptOutOfRange) outside the view.
    std::span<std::uint8_t, 4> operator()(std::int32_t x, std::int32_t y) const;
    // The Columns() x 4 bytes of row y; Error(SubscriptOutOfRange) outside the view.
    std::span<std::uint8_t> Row(std::int32_t y) const;

private:
    std::span<std::uint8_t> m_bytes;
    std::int32_t m_columns = 0;
    std::int32_t m_rows = 0;
};

}  // namespace crossmeld
