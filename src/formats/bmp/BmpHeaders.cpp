#include "formats/bmp/BmpHeaders.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "formats/bmp/BitmapFile.h"
#include "formats/bmp/BitmapInfoHeader.h"

namespace crossmeld {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "bitmap file: " + what);
}

// Information headers come in three families told apart by their size:
// OS/2 1.x (12 bytes, 16-bit sizes, 3-byte table entries), Windows (40, 52,
// 56, 108, 124 bytes) and OS/2 2.x (64 bytes, or any shortened form of it
// from 16 bytes on; fields past the given size read as 0).
enum class HeaderKind { Core, Os2, Windows };

HeaderKind KindOf(std::uint32_t size) {
    if (size == 12) return HeaderKind::Core;
    if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) return HeaderKind::Windows;
    if (size >= 16 && size <= 64) return HeaderKind::Os2;
    Refuse("unsupported information header size " + std::to_string(size));
}

// Fields at offsets counted from the start of the information header.
std::uint32_t Field32(std::span<const std::uint8_t> header, std::size_t offset) {
    if (offset + 4 > header.size()) return 0;
    ByteReader r(header);
    r.seek(offset);
    return r.u32le();
}

std::uint16_t Field16(std::span<const std::uint8_t> header, std::size_t offset) {
    if (offset + 2 > header.size()) return 0;
    ByteReader r(header);
    r.seek(offset);
    return r.u16le();
}

// The information header as the one header type. An OS/2 1.x header gives
// its 16-bit sizes, plane count and depth; a shortened OS/2 2.x header the
// fields it holds whole, the others 0.
BitmapInfoHeader ReadInfoHeader(std::span<const std::uint8_t> header, HeaderKind kind) {
    BitmapInfoHeader info;
    if (kind == HeaderKind::Core) {
        info.size = Field32(header, 0);
        info.width = Field16(header, 4);
        info.height = Field16(header, 6);
        info.planes = Field16(header, 8);
        info.bitCount = Field16(header, 10);
        return info;
    }
    // Past 16 bytes every field is four bytes wide.
    std::array<std::uint8_t, kBitmapInfoHeaderSize> padded{};
    const std::size_t whole = std::min<std::size_t>(header.size() / 4 * 4, kBitmapInfoHeaderSize);
    std::copy_n(header.begin(), whole, padded.begin());
    return ParseBitmapInfoHeader(padded);
}

BmpChannel ChannelFromMask(std::uint32_t mask, int bpp, const char* name) {
    BmpChannel c;
    c.mask = mask;
    if (mask == 0) return c;
    c.shift = std::countr_zero(mask);
    const std::uint32_t bits = mask >> c.shift;
    if ((bits & (bits + 1)) != 0) Refuse(std::string(name) + " mask is not contiguous");
    if (bpp < 32 && (mask >> bpp) != 0) Refuse(std::string(name) + " mask lies outside the pixel");
    c.bits = std::popcount(bits);
    return c;
}

void CheckDepthAndCompression(HeaderKind kind, std::uint32_t compression, int bpp) {
    // OS/2 2.x reuses the numbers 3 and 4 for its own schemes.
    if (kind == HeaderKind::Os2 && compression == 3) Refuse("OS/2 Huffman compression is not supported");
    if (kind == HeaderKind::Os2 && compression == 4) Refuse("OS/2 24-bit RLE compression is not supported");
    const std::string depth = std::to_string(bpp);
    switch (static_cast<BmpCompression>(compression)) {
        case BmpCompression::Rgb:
            if (!Surface::SupportedDepth(bpp)) Refuse(depth + " bits per pixel are not supported");
            return;
        case BmpCompression::Rle8:
            if (bpp != 8) Refuse("RLE8 compression with " + depth + " bits per pixel");
            return;
        case BmpCompression::Rle4:
            if (bpp != 4) Refuse("RLE4 compression with " + depth + " bits per pixel");
            return;
        case BmpCompression::Bitfields:
        case BmpCompression::AlphaBitfields:
            if (bpp != 16 && bpp != 24 && bpp != 32) Refuse("bit-field compression with " + depth + " bits per pixel");
            return;
        case BmpCompression::Jpeg:
            Refuse("embedded JPEG data is not supported");
        case BmpCompression::Png:
            Refuse("embedded PNG data is not supported");
    }
    Refuse("unknown compression " + std::to_string(compression));
}

// Masks of bit-field files: in the header from 52 bytes on (alpha from 56),
// otherwise as three or four words right after a 40-byte header.
void ReadMasks(ByteReader& in, std::span<const std::uint8_t> header, HeaderKind kind, BmpLayout& layout) {
    std::uint32_t masks[4] = {};
    if (layout.compression == BmpCompression::Bitfields || layout.compression == BmpCompression::AlphaBitfields) {
        int inHeader = 0;
        if (kind == HeaderKind::Windows && header.size() >= 52) inHeader = header.size() >= 56 ? 4 : 3;
        for (int i = 0; i < inHeader; ++i) masks[i] = Field32(header, 40 + 4 * static_cast<std::size_t>(i));
        const int needed = layout.compression == BmpCompression::AlphaBitfields ? 4 : 3;
        for (int i = inHeader; i < needed; ++i) {
            if (!in.has(4)) Refuse("colour masks are truncated");
            masks[i] = in.u32le();
        }
    } else if (layout.bpp == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    layout.red = ChannelFromMask(masks[0], layout.bpp, "red");
    layout.green = ChannelFromMask(masks[1], layout.bpp, "green");
    layout.blue = ChannelFromMask(masks[2], layout.bpp, "blue");
    layout.alpha = ChannelFromMask(masks[3], layout.bpp, "alpha");
    if (!layout.red.bits || !layout.green.bits || !layout.blue.bits) Refuse("a colour mask is empty");
    const std::uint32_t r = masks[0], g = masks[1], b = masks[2], a = masks[3];
    if ((r & g) | (r & b) | (g & b) | (a & (r | g | b))) Refuse("colour masks overlap");
}

}  // namespace

BmpLayout ReadBmpLayout(std::span<const std::uint8_t> file, bool isDib) {
    ByteReader in(file);
    std::uint32_t offBits = 0;
    if (!isDib) {
        if (file.size() < 14 || file[0] != 'B' || file[1] != 'M') Refuse("no BM file header");
        in.skip(2 + 4 + 4);  // signature, file size and reserved words: the size is often wrong and never needed
        offBits = in.u32le();
    }
    if (!in.has(4)) Refuse("information header is missing");
    const std::size_t infoStart = in.position();
    const std::uint32_t headerSize = in.u32le();
    const HeaderKind kind = KindOf(headerSize);
    in.seek(infoStart);
    if (!in.has(headerSize)) Refuse("information header is truncated");
    const std::span<const std::uint8_t> header = in.bytes(headerSize);

    BmpLayout layout;
    layout.headerSize = headerSize;
    const BitmapInfoHeader info = ReadInfoHeader(header, kind);
    const std::int64_t width = info.width;
    const std::int64_t height = info.height;
    const std::uint32_t planes = info.planes;
    const std::uint32_t compression = info.compression;
    const std::uint32_t colorsUsed = info.colorsUsed;
    layout.bpp = info.bitCount;

    // Sizes first: nothing below allocates more than a colour table.
    if (width <= 0) Refuse("width " + std::to_string(width) + " is not positive");
    if (height == 0) Refuse("height is zero");
    layout.topDown = height < 0;
    const std::int64_t rows = height < 0 ? -height : height;
    if (width > kMaxPictureSide || rows > kMaxPictureSide || width * rows > kMaxPicturePixels)
        Refuse("picture of " + std::to_string(width) + " x " + std::to_string(rows) + " pixels is too large");
    layout.width = static_cast<std::int32_t>(width);
    layout.height = static_cast<std::int32_t>(rows);
    if (planes != 1) Refuse("plane count is " + std::to_string(planes) + ", not 1");

    CheckDepthAndCompression(kind, compression, layout.bpp);
    layout.compression = static_cast<BmpCompression>(compression);
    const bool rle = layout.compression == BmpCompression::Rle8 || layout.compression == BmpCompression::Rle4;
    if (rle && layout.topDown) Refuse("a compressed picture cannot be top-down");
    if (layout.bpp > 8) ReadMasks(in, header, kind, layout);

    // Colour table: biClrUsed entries, or 2^bpp when that is 0. Without a
    // count, a pixel offset inside the full table marks a shorter one (old
    // OS/2 writers store only the colours they use).
    const std::size_t tableStart = in.position();
    const std::uint64_t entrySize = kind == HeaderKind::Core ? 3 : 4;
    std::uint64_t entries = colorsUsed != 0 ? colorsUsed : (layout.bpp <= 8 ? std::uint64_t{1} << layout.bpp : 0);
    if (colorsUsed == 0 && layout.bpp <= 8 && !isDib && offBits >= tableStart &&
        offBits - tableStart < entries * entrySize)
        entries = (offBits - tableStart) / entrySize;
    const std::uint64_t tableBytes = entries * entrySize;
    if (tableBytes > file.size() - tableStart)
        Refuse("colour table of " + std::to_string(entries) + " entries runs past the end of the file");
    if (layout.bpp <= 8) {
        // Entries beyond 2^bpp cannot be indexed and are skipped.
        layout.colors.resize(static_cast<std::size_t>(std::min<std::uint64_t>(entries, 1u << layout.bpp)));
        ByteReader table(file.subspan(tableStart));
        for (RgbQuad& q : layout.colors) {
            q.blue = table.u8();
            q.green = table.u8();
            q.red = table.u8();
            if (entrySize == 4) table.skip(1);
        }
    }
    const std::size_t tableEnd = tableStart + static_cast<std::size_t>(tableBytes);

    // Pixels start at bfOffBits when it points past the headers and into the
    // file, otherwise right after the colour table (as in a packed DIB).
    layout.pixelOffset = !isDib && offBits >= tableStart && offBits < file.size() ? offBits : tableEnd;
    if (!rle) {
        // Uncompressed data must be complete, except that the padding of the
        // last row may be missing.
        const std::uint64_t stride = static_cast<std::uint64_t>(Surface::StrideFor(width, layout.bpp));
        const std::uint64_t needed =
            stride * static_cast<std::uint64_t>(rows - 1) + static_cast<std::uint64_t>((width * layout.bpp + 7) / 8);
        if (layout.pixelOffset > file.size() || needed > file.size() - layout.pixelOffset)
            Refuse("pixel data is truncated (" + std::to_string(needed) + " bytes needed, " +
                   std::to_string(file.size() - std::min(file.size(), layout.pixelOffset)) + " present)");
    }
    return layout;
}

}  // namespace crossmeld
