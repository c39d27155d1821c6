#pragma once
// The LZW encoder of GIF image data. It compresses the palette indices of
// one 8-bit surface into the variable-length-code stream of GIF89a and
// writes it as data sub-blocks (a length byte of 1 .. 254, then the data;
// codes packed least significant bit first). The caller writes the minimum
// code size byte before and the block terminator after.
//
// The dictionary is an open-addressed hash of 5003 slots; codes grow from
// the initial width to 12 bits and a clear code restarts the dictionary
// once all 4096 codes are taken.

#include <cstdint>

#include "base/ByteWriter.h"

namespace crossmeld {

class DibSurface;

namespace LzwEncoder {

// Encodes the surface's pixels with codes starting initialWidth bits wide
// (the minimum code size + 1, 3 .. 9). Rows are delivered top to bottom, or
// in the four interlace passes when interlaced and the surface has more
// than 4 rows; only the first Width bytes of each row are read. A surface
// that is empty or not 8 bits per pixel writes nothing.
// Error(InvalidProcedureCall) for an initial width outside 3 .. 9,
// Error(SubscriptOutOfRange) before anything is written when a pixel does
// not fit the minimum code size (it would read as a control code), and
// Error(PathFileAccessError) as soon as a write to the writer fails.
void EncodeFrame(ByteWriter& out, const DibSurface& surface, std::uint8_t initialWidth, bool interlaced);

// The minimum code size for a frame whose colour table asks for
// tableCodeSize (2 .. 8): that size, raised as far as needed (at most to 8)
// so that every pixel of the surface fits it. Indices past a small table
// then reach the decoder as they are instead of corrupting the stream.
std::uint8_t MinimumCodeSizeFor(const DibSurface& surface, std::uint8_t tableCodeSize);

}  // namespace LzwEncoder
}  // namespace crossmeld
