#pragma once
// The headers of a Windows or OS/2 bitmap file: the 14-byte file header, the
// information header in any of its sizes, the colour masks and the colour
// table. Everything the pixel decoders rely on (sizes, depth, compression,
// masks, where the pixels start) is validated here, before any allocation.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "raster/Surface.h"

namespace crossmeld {

enum class BmpCompression : std::uint32_t {
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    Bitfields = 3,
    Jpeg = 4,
    Png = 5,
    AlphaBitfields = 6,
};

// One channel of a pixel word: its mask, the position of its lowest bit and
// its width in bits. A width of 0 means the channel is absent.
struct BmpChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

struct BmpLayout {
    std::uint32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bpp = 0;
    BmpCompression compression = BmpCompression::Rgb;
    // For 16, 24 and 32 bits: the channels of a pixel word. Uncompressed
    // files get the fixed layouts (5-5-5 for 16 bits, 8-8-8 otherwise).
    BmpChannel red, green, blue, alpha;
    // For 8 bits per pixel or fewer: the file's table, at most 2^bpp entries.
    std::vector<RgbQuad> colors;
    // Offset of the pixel data in the input.
    std::size_t pixelOffset = 0;
};

// Parses and validates the headers; isDib means the input starts with the
// information header (no file header). Raises Error(InvalidPicture) naming
// the fault.
BmpLayout ReadBmpLayout(std::span<const std::uint8_t> file, bool isDib);

}  // namespace crossmeld
