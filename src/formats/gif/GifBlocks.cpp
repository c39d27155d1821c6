#include "formats/gif/GifBlocks.h"

#include <string>

#include "base/Error.h"
#include "formats/gif/GifFormat.h"

namespace crossmeld::gif {

void CheckWritten(const ByteWriter& out) {
    if (!out.ok()) throw Error(ErrorKind::PathFileAccessError, "The GIF file could not be written");
}

std::uint8_t FlagByte(std::int32_t value, const char* what) {
    if (value < 0 || value > 255) throw Error(ErrorKind::Overflow, std::string("The ") + what + " does not fit a byte");
    return static_cast<std::uint8_t>(value);
}

std::int32_t TableExponent(std::int16_t entries) {
    if (entries > 256)
        throw Error(ErrorKind::SubscriptOutOfRange,
                    "A colour table of " + std::to_string(entries) + " entries exceeds the 256 of the palette");
    std::int32_t g = 1;
    while ((std::int32_t{1} << g) < entries) ++g;
    return g;
}

std::vector<std::uint8_t> ColorTable(std::span<const std::uint8_t, kPaletteBytes> palette, std::int16_t entries,
                                     std::int32_t exponent) {
    std::vector<std::uint8_t> table(static_cast<std::size_t>(3) << exponent, 0);
    for (std::size_t i = 0; static_cast<std::int32_t>(i) < entries; ++i) {
        table[3 * i] = palette[4 * i + 2];
        table[3 * i + 1] = palette[4 * i + 1];
        table[3 * i + 2] = palette[4 * i];
    }
    return table;
}

std::uint8_t ScreenFlags(std::int32_t exponent, bool sorted) {
    // Global-table flag, colour resolution equal to the table size, sort
    // flag, table size.
    return FlagByte(128 + (exponent - 1) * 16 + (sorted ? 8 : 0) + (exponent - 1), "screen flags byte");
}

void WriteHeader(ByteWriter& out, const char* version) {
    const std::uint8_t header[6] = {'G', 'I', 'F', static_cast<std::uint8_t>(version[0]),
                                    static_cast<std::uint8_t>(version[1]), static_cast<std::uint8_t>(version[2])};
    out.bytes(header);
}

void WriteLogicalScreenDescriptor(ByteWriter& out, std::int16_t width, std::int16_t height, std::uint8_t flags,
                                  std::uint8_t background, std::uint8_t aspect) {
    out.i16le(width);
    out.i16le(height);
    out.u8(flags);
    out.u8(background);
    out.u8(aspect);
}

void WriteLoopingExtension(ByteWriter& out, std::int16_t loops) {
    static constexpr char kApplication[] = "NETSCAPE2.0";
    out.u8(kExtensionIntroducer);
    out.u8(kApplicationLabel);
    out.u8(11);  // block size: identifier and authentication code
    out.bytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(kApplication), 11));
    out.u8(3);  // sub-block size
    out.u8(1);  // sub-block identifier: loop count
    out.i16le(loops);
    out.u8(kBlockTerminator);
}

void WriteGraphicControlExtension(ByteWriter& out, std::uint8_t flags, std::int16_t delay,
                                  std::uint8_t transparentIndex) {
    out.u8(kExtensionIntroducer);
    out.u8(kGraphicControlLabel);
    out.u8(4);  // block size
    out.u8(flags);
    out.i16le(delay);
    out.u8(transparentIndex);
    out.u8(kBlockTerminator);
}

void WriteImageDescriptor(ByteWriter& out, std::int16_t left, std::int16_t top, std::int16_t width,
                          std::int16_t height, std::uint8_t flags) {
    out.u8(kImageSeparator);
    out.i16le(left);
    out.i16le(top);
    out.i16le(width);
    out.i16le(height);
    out.u8(flags);
}

}  // namespace crossmeld::gif
