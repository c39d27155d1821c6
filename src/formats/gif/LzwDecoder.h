#pragma once
// The LZW decoder of GIF image data: expands the codes of one image into
// palette indices written straight into an 8-bit surface, row by row, in
// plain or interlaced row order.
//
// The data may start with a clear code or straight with a pixel code.
// Decoding ends at the end-of-information code or when the data run out,
// with the pixels written so far. Invalid data (a code beyond the next free
// one, a string code first or right after a clear, more pixels than four
// passes over the surface) also end it quietly; the remaining pixels keep
// their values. A full dictionary takes no new entries until the next clear
// code, and decoding goes on. Nothing outside the data or the surface is
// ever read or written.

#include <cstdint>
#include <span>

namespace crossmeld {

class DibSurface;

namespace LzwDecoder {

// Decodes the data (the concatenated contents of the image's sub-blocks)
// into the surface, which must be 8 bits per pixel (other surfaces are left
// alone). Images taller than 4 rows are filled in the four interlace passes
// when interlaced is set; others in plain order, where surplus pixels wrap
// to the top row. A minimum code size above 11 decodes nothing.
void DecodeFrame(DibSurface& surface, bool interlaced, std::uint8_t minimumCodeSize, std::span<const std::uint8_t> data);

}  // namespace LzwDecoder
}  // namespace crossmeld
