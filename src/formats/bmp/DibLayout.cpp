#include "formats/bmp/DibLayout.h"

#include <limits>
#include <string>

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/Error.h"

namespace crossmeld {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "bitmap information header: " + what);
}

constexpr std::uint32_t kInfoHeaderSize = 40;

}  // namespace

DibLayout ReadDibLayout(std::span<const std::uint8_t> block) {
    if (block.size() < kInfoHeaderSize) Refuse("shorter than 40 bytes");
    ByteReader in(block);
    DibLayout d;
    d.headerSize = in.u32le();
    d.width = in.i32le();
    const std::int32_t height = in.i32le();
    in.skip(2);  // biPlanes: 1 in every file, and meaningless for a DIB
    d.bitCount = in.u16le();
    d.compression = in.u32le();
    d.sizeImage = in.u32le();
    d.xPelsPerMeter = in.i32le();
    d.yPelsPerMeter = in.i32le();
    const std::uint32_t clrUsed = in.u32le();
    d.clrImportant = in.u32le();

    if (d.headerSize < kInfoHeaderSize || d.headerSize > block.size())
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
    VectorSink sink;
    ByteWriter out(sink);
    out.u32le(kInfoHeaderSize);
    out.i32le(d.width);
    out.i32le(d.topDown ? -d.height : d.height);
    out.u16le(1);  // planes
    out.u16le(d.bitCount);
    out.u32le(d.compression);
    out.u32le(d.imageSize);
    out.i32le(d.xPelsPerMeter);
    out.i32le(d.yPelsPerMeter);
    out.u32le(d.colours);
    out.u32le(d.clrImportant);
    return std::move(sink.bytes());
}

}  // namespace crossmeld
