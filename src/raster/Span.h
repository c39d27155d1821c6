#pragma once
// Writing stored values into a surface: one pixel or a horizontal run.
// Callers clip; nothing here checks coordinates. On 32-bit surfaces the whole
// four-byte pixel is written, so a colour value (top byte 0) clears the
// fourth byte, as GDI's drawing operations do.

#include <cstdint>

#include "raster/Surface.h"

namespace crossmeld::raster {

void StorePixel(Surface& surface, std::int32_t x, std::int32_t y, std::uint32_t raw) noexcept;

// Pixels x0 <= x < x1 of row y.
void FillSpan(Surface& surface, std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t raw) noexcept;

}  // namespace crossmeld::raster
