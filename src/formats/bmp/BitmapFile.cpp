#include "formats/bmp/BitmapFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/Error.h"
#include "formats/bmp/BitmapInfoHeader.h"
#include "formats/bmp/BmpBitfields.h"
#include "formats/bmp/BmpHeaders.h"
#include "formats/bmp/BmpRle.h"

namespace crossmeld {
namespace {

bool HasMasks(const BmpLayout& l, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return l.red.mask == r && l.green.mask == g && l.blue.mask == b && l.alpha.mask == 0;
}

// True when a surface of the file's depth holds the pixel words unchanged:
// colour indices, 5-5-5, or 8-8-8 without alpha. Other files become 32-bit.
bool KeepsDepth(const BmpLayout& l) {
    switch (l.bpp) {
        case 16:
            return HasMasks(l, 0x7C00, 0x03E0, 0x001F);
        case 24:
        case 32:
            return HasMasks(l, 0xFF0000, 0x00FF00, 0x0000FF);
        default:
            return true;
    }
}

// Copies rows in storage order; the file and the surface share the order.
void CopyRows(std::span<const std::uint8_t> pixels, const BmpLayout& l, Surface& surface) {
    const std::size_t stride = static_cast<std::size_t>(surface.stride());
    const std::size_t rowBytes = (static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.bpp) + 7) / 8;
    ByteReader in(pixels);
    for (std::int32_t row = 0; row < l.height; ++row) {
        in.seek(static_cast<std::size_t>(row) * stride);
        const auto bytes = in.bytes(rowBytes);
        std::memcpy(surface.bits() + static_cast<std::size_t>(row) * stride, bytes.data(), rowBytes);
    }
}

}  // namespace

// Out-of-range colour indices: the surface's table always has 2^bpp entries
// and those the file does not define stay black, so such pixels show black.
std::shared_ptr<Surface> DecodeBitmapFile(std::span<const std::uint8_t> file, bool isDib) {
    const BmpLayout layout = ReadBmpLayout(file, isDib);
    const bool keepsDepth = KeepsDepth(layout);
    auto surface = Surface::Create(layout.width, layout.height, keepsDepth ? layout.bpp : 32,
                                   layout.topDown ? RowOrder::TopDown : RowOrder::BottomUp);
    if (!surface) throw Error(ErrorKind::InvalidPicture, "bitmap file: picture too large for memory");
    std::copy(layout.colors.begin(), layout.colors.end(), surface->colorTable().begin());

    const auto pixels = file.subspan(layout.pixelOffset);
    if (layout.compression == BmpCompression::Rle8 || layout.compression == BmpCompression::Rle4)
        DecodeBmpRle(pixels, *surface, layout.compression == BmpCompression::Rle4);
    else if (keepsDepth)
        CopyRows(pixels, layout, *surface);
    else
        DecodeBmpBitfields(pixels, layout, *surface);
    return surface;
}

// Written as a plain BITMAPINFOHEADER file: bottom-up rows of blue, green,
// red, each row padded to four bytes. The resolution fields are 0 (none
// recorded): readers then use their default.
std::vector<std::uint8_t> EncodeBitmapFile24(const Surface& surface) {
    constexpr std::uint32_t kHeadersSize = 14 + kBitmapInfoHeaderSize;
    const std::int32_t width = surface.width(), height = surface.height();
    const std::uint64_t stride = static_cast<std::uint64_t>(Surface::StrideFor(width, 24));
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height);
    if (imageSize > std::numeric_limits<std::uint32_t>::max() - kHeadersSize)
        throw Error(ErrorKind::Overflow, "picture too large for a bitmap file");

    std::vector<std::uint8_t> out;
    out.reserve(kHeadersSize + static_cast<std::size_t>(imageSize));
    out.push_back('B');
    out.push_back('M');
    PutU32le(out, kHeadersSize + static_cast<std::uint32_t>(imageSize));  // bfSize
    PutU16le(out, 0);                                                     // bfReserved1
    PutU16le(out, 0);                                                     // bfReserved2
    PutU32le(out, kHeadersSize);                                          // bfOffBits
    BitmapInfoHeader info;
    info.size = kBitmapInfoHeaderSize;
    info.width = width;
    info.height = height;  // positive: bottom-up
    info.planes = 1;
    info.bitCount = 24;
    info.compression = 0;  // uncompressed
    info.sizeImage = static_cast<std::uint32_t>(imageSize);
    VectorSink header;
    ByteWriter headerWriter(header);
    WriteBitmapInfoHeader(headerWriter, info);
    out.insert(out.end(), header.bytes().begin(), header.bytes().end());

    const std::size_t padding = static_cast<std::size_t>(stride) - 3 * static_cast<std::size_t>(width);
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = surface.row(y);
        if (surface.bpp() == 24) {
            out.insert(out.end(), row, row + 3 * static_cast<std::size_t>(width));
        } else if (surface.bpp() == 32) {
            for (std::int32_t x = 0; x < width; ++x, row += 4) out.insert(out.end(), row, row + 3);
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                const ColorRef c = surface.GetPixel(x, y);
                out.push_back(BlueOf(c));
                out.push_back(GreenOf(c));
                out.push_back(RedOf(c));
            }
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

}  // namespace crossmeld
