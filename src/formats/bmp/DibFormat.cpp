#include "formats/bmp/DibFormat.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/Error.h"

namespace crossmeld {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "video frame format: " + what);
}

}  // namespace

DibFormat ParseDibFormat(std::span<const std::uint8_t> block) {
    if (block.size() < kBitmapInfoHeaderSize) Refuse("the information block is shorter than 40 bytes");
    // The image size is not looked at: it follows from the dimensions.
    const BitmapInfoHeader header = ParseBitmapInfoHeader(block);
    const std::int32_t width = header.width;
    const std::int32_t height = header.height;
    const std::uint16_t bitCount = header.bitCount;

    if (header.size < kBitmapInfoHeaderSize || header.size > block.size())
        Refuse("information header size " + std::to_string(header.size) + " does not fit the block");
    if (width < 1) Refuse("width " + std::to_string(width) + " is not positive");
    if (height == 0 || height == std::numeric_limits<std::int32_t>::min())
        Refuse("height " + std::to_string(height) + " is not usable");
    if (header.planes != 1) Refuse(std::to_string(header.planes) + " planes instead of 1");
    if (header.compression != kUncompressedRgb)
        Refuse("compressed or bit-field frames (compression " + std::to_string(header.compression) + ")");
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        Refuse(std::to_string(bitCount) + " bits per pixel (8, 16, 24 or 32 are written)");

    DibFormat f;
    f.xPelsPerMeter = header.xPelsPerMeter;
    f.yPelsPerMeter = header.yPelsPerMeter;
    f.width = width;
    f.topDown = height < 0;
    f.height = f.topDown ? -height : height;
    f.bitCount = bitCount;
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
    const std::uint64_t frameSize = stride * static_cast<std::uint64_t>(f.height);
    if (frameSize > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        Refuse("frames of " + std::to_string(frameSize) + " bytes are too large");
    f.stride = static_cast<std::uint32_t>(stride);
    f.frameSize = static_cast<std::uint32_t>(frameSize);

    if (bitCount == 8) {
        const std::uint32_t entries = header.colorsUsed == 0 ? 256 : header.colorsUsed;
        if (entries > 256) Refuse(std::to_string(header.colorsUsed) + " colours for 8 bits per pixel");
        ByteReader in(block);
        in.seek(header.size);
        if (!in.has(std::size_t{entries} * 4)) Refuse("the colour table runs past the end of the block");
        const auto table = in.bytes(std::size_t{entries} * 4);
        f.colourTable.assign(table.begin(), table.end());
        f.clrImportant = header.colorsImportant <= entries ? header.colorsImportant : 0;
    }
    return f;
}

std::vector<std::uint8_t> BuildStoredFormat(const DibFormat& format, std::uint32_t compression, std::uint16_t bitCount,
                                            std::uint32_t sizeImage, bool withColourTable) {
    BitmapInfoHeader header;
    header.size = kBitmapInfoHeaderSize;
    header.width = format.width;
    header.height = format.height;
    header.planes = 1;
    header.bitCount = bitCount;
    header.compression = compression;
    header.sizeImage = sizeImage;
    header.xPelsPerMeter = format.xPelsPerMeter;
    header.yPelsPerMeter = format.yPelsPerMeter;
    header.colorsUsed = withColourTable ? static_cast<std::uint32_t>(format.colourTable.size() / 4) : 0;
    header.colorsImportant = withColourTable ? format.clrImportant : 0;
    VectorSink sink;
    ByteWriter out(sink);
    WriteBitmapInfoHeader(out, header);
    if (withColourTable) out.bytes(format.colourTable);
    return std::move(sink.bytes());
}

void RowToBgr(const DibFormat& format, std::span<const std::uint8_t> row, std::uint8_t* bgr) {
    const auto width = static_cast<std::size_t>(format.width);
    switch (format.bitCount) {
        case 8: {
            const std::size_t entries = format.colourTable.size() / 4;
            for (std::size_t x = 0; x < width; ++x, bgr += 3) {
                const std::size_t i = row[x];
                if (i < entries) {
                    bgr[0] = format.colourTable[4 * i];
                    bgr[1] = format.colourTable[4 * i + 1];
                    bgr[2] = format.colourTable[4 * i + 2];
                } else {
                    bgr[0] = bgr[1] = bgr[2] = 0;  // index past a short table
                }
            }
            break;
        }
        case 16:
            for (std::size_t x = 0; x < width; ++x, bgr += 3) {
                const unsigned v = row[2 * x] | static_cast<unsigned>(row[2 * x + 1]) << 8;
                const unsigned b = v & 0x1F, g = (v >> 5) & 0x1F, r = (v >> 10) & 0x1F;
                bgr[0] = static_cast<std::uint8_t>(b << 3 | b >> 2);
                bgr[1] = static_cast<std::uint8_t>(g << 3 | g >> 2);
                bgr[2] = static_cast<std::uint8_t>(r << 3 | r >> 2);
            }
            break;
        case 24:
            std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(3 * width), bgr);
            break;
        default:  // 32
            for (std::size_t x = 0; x < width; ++x, bgr += 3) {
                bgr[0] = row[4 * x];
                bgr[1] = row[4 * x + 1];
                bgr[2] = row[4 * x + 2];
            }
            break;
    }
}

}  // namespace crossmeld
