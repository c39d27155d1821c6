#pragma once
// A two-dimensional byte view over a surface's pixel memory: first index the
// byte within a row (0 .. BytesPerScanline - 1), second the stored row
// (0 .. Height - 1). Surfaces made by DibSurface::Create are top-down, so row 0 is
// the top row of the picture. Every access is bounds-checked. The view does
// not own the memory: it must not outlive the surface or its next Create.

#include <cstdint>
#include <span>

namespace crossmeld {

class DibSurface;

class SurfaceRowsView {
public:
    SurfaceRowsView() = default;
    SurfaceRowsView(std::span<std::uint8_t> bits, std::int32_t bytesPerRow, std::int32_t rows);

    std::int32_t BytesPerRow() const noexcept { return m_bytesPerRow; }
    std::int32_t Rows() const noexcept { return m_rows; }
    bool empty() const noexcept { return m_rows == 0; }

    // The whole stored row y (padding included). Error(SubscriptOutOfRange)
    // when y is outside 0 .. Rows() - 1.
    std::span<std::uint8_t> Row(std::int32_t y) const;
    // The byte at (x, y). Error(SubscriptOutOfRange) outside the view.
    std::uint8_t& operator()(std::int32_t x, std::int32_t y) const;

private:
    std::span<std::uint8_t> m_bits;
    std::int32_t m_bytesPerRow = 0;
    std::int32_t m_rows = 0;
};

// The view over a surface's pixel memory; an empty view for an empty surface.
SurfaceRowsView MapSurfaceRows(const DibSurface& dib);

}  // namespace crossmeld
