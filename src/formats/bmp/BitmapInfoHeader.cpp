#include "formats/bmp/BitmapInfoHeader.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

namespace crossmeld {

BitmapInfoHeader ParseBitmapInfoHeader(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    BitmapInfoHeader h;
    h.size = in.u32le();
    h.width = in.i32le();
    h.height = in.i32le();
    h.planes = in.u16le();
    h.bitCount = in.u16le();
    h.compression = in.u32le();
    h.sizeImage = in.u32le();
    h.xPelsPerMeter = in.i32le();
    h.yPelsPerMeter = in.i32le();
    h.colorsUsed = in.u32le();
    h.colorsImportant = in.u32le();
    return h;
}

void WriteBitmapInfoHeader(ByteWriter& out, const BitmapInfoHeader& h) {
    out.u32le(h.size);
    out.i32le(h.width);
    out.i32le(h.height);
    out.u16le(h.planes);
    out.u16le(h.bitCount);
    out.u32le(h.compression);
    out.u32le(h.sizeImage);
    out.i32le(h.xPelsPerMeter);
    out.i32le(h.yPelsPerMeter);
    out.u32le(h.colorsUsed);
    out.u32le(h.colorsImportant);
}

}  // namespace crossmeld
