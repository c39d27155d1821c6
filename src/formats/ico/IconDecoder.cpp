#include "formats/ico/IconDecoder.h"

#include <algorithm>
#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/PictureLimits.h"
#include "formats/bmp/BitmapFile.h"
#include "formats/bmp/BitmapInfoHeader.h"
#include "formats/png/PngDecoder.h"

namespace crossmeld {

namespace {

constexpr std::uint16_t kTypeIcon = 1;
constexpr std::uint16_t kTypeCursor = 2;
constexpr std::int64_t kMaxIconSide = 1024;

struct DirEntry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planesOrHotspotX = 0;
    std::uint16_t bitCountOrHotspotY = 0;
    std::uint32_t bytes = 0;
    std::uint32_t offset = 0;
};

[[noreturn]] void Fail(const std::string& what) { throw Error(ErrorKind::InvalidPicture, "icon file: " + what); }

// A bitmap image: the information header (its height counts the colour
// image and the AND mask together), the colour table, the colour rows and
// the 1-bit AND mask rows, both bottom-up.
std::shared_ptr<Surface> DecodeDibImage(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    const std::uint32_t headerSize = in.u32le();
    if (headerSize < kBitmapInfoHeaderSize || headerSize > data.size()) Fail("bad image header");
    const BitmapInfoHeader header = ParseBitmapInfoHeader(data);
    const std::int32_t width = header.width;
    const std::int32_t doubledHeight = header.height;
    const std::uint16_t bpp = header.bitCount;
    if (header.compression != 0) Fail("compressed images are not supported");
    if (doubledHeight <= 0 || doubledHeight % 2 != 0) Fail("bad image height");
    const std::int32_t height = doubledHeight / 2;
    CheckPictureSize(width, height, kMaxIconSide * kMaxIconSide);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) Fail("unsupported depth");

    // The colour part, decoded as a DIB of the real height.
    std::vector<std::uint8_t> dib(data.begin(), data.end());
    dib[8] = static_cast<std::uint8_t>(height);
    dib[9] = static_cast<std::uint8_t>(height >> 8);
    dib[10] = static_cast<std::uint8_t>(height >> 16);
    dib[11] = static_cast<std::uint8_t>(height >> 24);
    const std::shared_ptr<Surface> colours = DecodeBitmapFile(dib, true);

    const std::uint32_t used = header.colorsUsed;
    const std::uint64_t tableEntries = bpp <= 8 ? (used ? used : (1u << bpp)) : 0;
    const std::uint64_t colourStride = static_cast<std::uint64_t>(Surface::StrideFor(width, bpp));
    const std::uint64_t maskStride = static_cast<std::uint64_t>(Surface::StrideFor(width, 1));
    const std::uint64_t colourStart = headerSize + 4 * tableEntries;
    const std::uint64_t maskStart = colourStart + colourStride * static_cast<std::uint64_t>(height);

    auto out = Surface::Create(width, height, 32);
    if (!out) Fail("image too large");
    bool anyAlpha = false;
    if (bpp == 32) {
        for (std::int32_t y = 0; y < height && !anyAlpha; ++y)
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint64_t at = colourStart + colourStride * static_cast<std::uint64_t>(height - 1 - y) +
                                         4 * static_cast<std::uint64_t>(x) + 3;
                if (at < data.size() && data[at] != 0) {
                    anyAlpha = true;
                    break;
                }
            }
    }
    const bool haveMask = maskStart + maskStride * static_cast<std::uint64_t>(height) <= data.size();
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = out->row(y);
        const std::uint64_t stored = static_cast<std::uint64_t>(height - 1 - y);
        for (std::int32_t x = 0; x < width; ++x) {
            const ColorRef c = colours->GetPixel(x, y);
            std::uint8_t alpha = 255;
            if (anyAlpha) {
                alpha = data[colourStart + colourStride * stored + 4 * static_cast<std::uint64_t>(x) + 3];
            } else if (haveMask) {
                const std::uint8_t bits = data[maskStart + maskStride * stored + static_cast<std::uint64_t>(x >> 3)];
                if ((bits >> (7 - (x & 7))) & 1) alpha = 0;
            }
            row[4 * x + 0] = BlueOf(c);
            row[4 * x + 1] = GreenOf(c);
            row[4 * x + 2] = RedOf(c);
            row[4 * x + 3] = alpha;
        }
    }
    return out;
}

}  // namespace

bool LooksLikeIconFile(std::span<const std::uint8_t> file) {
    if (file.size() < 6 + 16) return false;
    ByteReader in(file);
    const std::uint16_t reserved = in.u16le();
    const std::uint16_t type = in.u16le();
    const std::uint16_t count = in.u16le();
    return reserved == 0 && (type == kTypeIcon || type == kTypeCursor) && count >= 1 &&
           file.size() >= 6 + 16 * static_cast<std::size_t>(count);
}

IconImage DecodeIconFile(std::span<const std::uint8_t> file) {
    if (!LooksLikeIconFile(file)) Fail("not an icon or cursor file");
    ByteReader in(file);
    in.skip(2);
    const std::uint16_t type = in.u16le();
    const std::uint16_t count = in.u16le();
    DirEntry best;
    bool found = false;
    for (std::uint16_t i = 0; i < count; ++i) {
        DirEntry e;
        e.width = in.u8();
        e.height = in.u8();
        in.skip(2);
        e.planesOrHotspotX = in.u16le();
        e.bitCountOrHotspotY = in.u16le();
        e.bytes = in.u32le();
        e.offset = in.u32le();
        if (e.width == 0) e.width = 256;
        if (e.height == 0) e.height = 256;
        if (static_cast<std::uint64_t>(e.offset) + e.bytes > file.size() || e.bytes < 8) continue;
        if (!found || static_cast<std::int64_t>(e.width) * e.height > static_cast<std::int64_t>(best.width) * best.height) {
            best = e;
            found = true;
        }
    }
    if (!found) Fail("no image lies inside the file");
    const auto data = file.subspan(best.offset, best.bytes);
    IconImage icon;
    if (HasPngSignature(data)) {
        // PNG images come flattened by the PNG decoder and count as opaque.
        const auto flat = DecodePng(data, kMaxIconSide * kMaxIconSide);
        auto out = Surface::Create(flat->width(), flat->height(), 32);
        if (!out) Fail("image too large");
        for (std::int32_t y = 0; y < out->height(); ++y)
            for (std::int32_t x = 0; x < out->width(); ++x) {
                const ColorRef c = flat->GetPixel(x, y);
                std::uint8_t* p = out->row(y) + 4 * x;
                p[0] = BlueOf(c);
                p[1] = GreenOf(c);
                p[2] = RedOf(c);
                p[3] = 255;
            }
        icon.image = out;
    } else {
        icon.image = DecodeDibImage(data);
    }
    if (type == kTypeCursor) {
        icon.hotspotX = best.planesOrHotspotX;
        icon.hotspotY = best.bitCountOrHotspotY;
    }
    return icon;
}

std::shared_ptr<Surface> FlattenIcon(const IconImage& icon) {
    const Surface& src = *icon.image;
    auto out = Surface::Create(src.width(), src.height(), 24);
    for (std::int32_t y = 0; y < src.height(); ++y) {
        const std::uint8_t* s = src.row(y);
        std::uint8_t* d = out->row(y);
        for (std::int32_t x = 0; x < src.width(); ++x, s += 4, d += 3) {
            const int a = s[3];
            for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>((s[c] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return out;
}

}  // namespace crossmeld
