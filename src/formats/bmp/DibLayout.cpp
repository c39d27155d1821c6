#include "formats/bmp/DibLayout.h"

#include <limits>
#include <string>

#include "base/ByteWriter.h"
#include "base/Error.h"
#include "formats/bmp/BitmapInfoHeader.h"

namespace crossmeld {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "bitmap information header: " + what);
}

}  // namespace

DibLayout ReadDibLayout(std::span<const std::uint8_t> block) {
    if (block.size() < kBitmapInfoHeaderSize) Refuse("shorter than 40 bytes");
    // The plane count is not looked at: 1 in every file, and meaningless for a DIB.
    const BitmapInfoHeader header = ParseBitmapInfoHeader(block);
    DibLayout d;
    d.headerSize = header.size;
    d.width = header.width;
    const std::int32_t height = header.height;
    d.bitCount = header.bitCount;
    d.compression = header.compression;
    d.sizeImage = header.sizeImage;
    d.xPelsPerMeter = header.xPelsPerMeter;
    d.yPelsPerMeter = header.yPelsPerMeter;
    const std::uint32_t clrUsed = header.colorsUsed;
    d.clrImportant = header.colorsImportant;

    if (d.headerSize < kBitmapInfoHeaderSize || d.headerSize > block.size())
        Refuse("size " + std::to_string(d.headerSize) + " does not fit the block");
    if (d.width < 1) Refuse("width " + std::to_string(d.width) + " is not positive");
    if (height == 0 || height == std::numeric_limits<std::int32_t>::min())
        Refuse("height " + std::to_string(height) + " is not usable");
    const std::uint16_t b = d.bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        Refuse(std::to_string(b) + " bits per pixel");
    d.topDown = height < 0;
    d.height = d.topDown ? -height : height;
    if (b <= 8) {
        const std::uint32_t most = 1u << b;
        if (clrUsed > most) Refuse(std::to_string(clrUsed) + " colours for " + std::to_string(b) + " bits per pixel");
        d.colours = clrUsed == 0 ? most : clrUsed;
    }
    const std::uint64_t rowBits = static_cast<std::uint64_t>(d.width) * b;
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    const std::uint64_t image = stride * static_cast<std::uint64_t>(d.height);
    if (image > kMaxDibImageBytes) Refuse("pixels of " + std::to_string(image) + " bytes are too large");
    d.stride = static_cast<std::uint32_t>(stride);
    d.rowBytes = static_cast<std::uint32_t>((rowBits + 7) / 8);
    d.imageSize = static_cast<std::uint32_t>(image);
    return d;
}

std::vector<std::uint8_t> BuildDibHeader(const DibLayout& d) {
    BitmapInfoHeader header;
    header.size = kBitmapInfoHeaderSize;
    header.width = d.width;
    header.height = d.topDown ? -d.height : d.height;
    header.planes = 1;
    header.bitCount = d.bitCount;
    header.compression = d.compression;
    header.sizeImage = d.imageSize;
    header.xPelsPerMeter = d.xPelsPerMeter;
    header.yPelsPerMeter = d.yPelsPerMeter;
    header.colorsUsed = d.colours;
    header.colorsImportant = d.clrImportant;
    VectorSink sink;
    ByteWriter out(sink);
    WriteBitmapInfoHeader(out, header);
    return std::move(sink.bytes());
}

}  // namespace crossmeld
