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
    ByteReader in(block);
    if (block.size() < kBitmapInfoHeaderSize) Refuse("the information block is shorter than 40 bytes");
    const std::uint32_t headerSize = in.u32le();
    const std::int32_t width = in.i32le();
    const std::int32_t height = in.i32le();
    const std::uint16_t planes = in.u16le();
    const std::uint16_t bitCount = in.u16le();
    const std::uint32_t compression = in.u32le();
    in.skip(4);  // biSizeImage: the size follows from the dimensions
    DibFormat f;
    f.xPelsPerMeter = in.i32le();
    f.yPelsPerMeter = in.i32le();
    const std::uint32_t clrUsed = in.u32le();
    const std::uint32_t clrImportant = in.u32le();

    if (headerSize < kBitmapInfoHeaderSize || headerSize > block.size())
        Refuse("information header size " + std::to_string(headerSize) + " does not fit the block");
    if (width < 1) Refuse("width " + std::to_string(width) + " is not positive");
    if (height == 0 || height == std::numeric_limits<std::int32_t>::min())
        Refuse("height " + std::to_string(height) + " is not usable");
    if (planes != 1) Refuse(std::to_string(planes) + " planes instead of 1");
    if (compression != BI_RGB)
        Refuse("compressed or bit-field frames (compression " + std::to_string(compression) + ")");
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        Refuse(std::to_string(bitCount) + " bits per pixel (8, 16, 24 or 32 are written)");

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
        const std::uint32_t entries = clrUsed == 0 ? 256 : clrUsed;
        if (entries > 256) Refuse(std::to_string(clrUsed) + " colours for 8 bits per pixel");
        in.seek(headerSize);
        if (!in.has(std::size_t{entries} * 4)) Refuse("the colour table runs past the end of the block");
        const auto table = in.bytes(std::size_t{entries} * 4);
        f.colourTable.assign(table.begin(), table.end());
        f.clrImportant = clrImportant <= entries ? clrImportant : 0;
    }
    return f;
}

std::vector<std::uint8_t> BuildStoredFormat(const DibFormat& format, std::uint32_t compression, std::uint16_t bitCount,
                                            std::uint32_t sizeImage, bool withColourTable) {
    VectorSink sink;
    ByteWriter out(sink);
    const std::uint32_t colours = withColourTable ? static_cast<std::uint32_t>(format.colourTable.size() / 4) : 0;
    out.u32le(kBitmapInfoHeaderSize);
    out.i32le(format.width);
    out.i32le(format.height);
    out.u16le(1);  // planes
    out.u16le(bitCount);
    out.u32le(compression);
    out.u32le(sizeImage);
    out.i32le(format.xPelsPerMeter);
    out.i32le(format.yPelsPerMeter);
    out.u32le(colours);
    out.u32le(withColourTable ? format.clrImportant : 0);
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
