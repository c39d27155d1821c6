#include "formats/jpeg/JpegOrientation.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
#include "base/Error.h"

namespace crossmeld {
namespace {

constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// Walks the marker segments from SOI to the first scan; returns the contents
// of the first APP1 segment with the EXIF header (after the header), or an
// empty span. Bytes between segments that are not a marker are passed over,
// as libjpeg does.
std::span<const std::uint8_t> FindExifBlock(std::span<const std::uint8_t> file) {
    ByteReader in(file);
    if (in.u8() != 0xFF || in.u8() != 0xD8) return {};
    for (;;) {
        if (in.u8() != 0xFF) continue;
        std::uint8_t marker = in.u8();
        while (marker == 0xFF) marker = in.u8();  // fill bytes
        if (marker == 0xDA || marker == 0xD9) return {};  // SOS, EOI: no EXIF before the scan
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        const std::uint16_t length = in.u16be();
        if (length < 2) return {};
        const auto segment = in.bytes(length - 2u);
        if (marker == 0xE1 && segment.size() >= sizeof kExifHeader &&
            std::memcmp(segment.data(), kExifHeader, sizeof kExifHeader) == 0)
            return segment.subspan(sizeof kExifHeader);
    }
}

template <typename Pick>
std::shared_ptr<Surface> Remap(const Surface& from, std::int32_t width, std::int32_t height, Pick pick) {
    auto to = Surface::Create(width, height, 24);
    if (!to) return nullptr;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* out = to->row(y);
        for (std::int32_t x = 0; x < width; ++x, out += 3) {
            const auto [sx, sy] = pick(x, y);
            std::memcpy(out, from.row(sy) + std::size_t{3} * static_cast<std::size_t>(sx), 3);
        }
    }
    return to;
}

}  // namespace

int ReadExifOrientation(std::span<const std::uint8_t> tiff) {
    try {
        ByteReader in(tiff);
        const std::uint8_t a = in.u8();
        const std::uint8_t b = in.u8();
        bool little;
        if (a == 'I' && b == 'I') {
            little = true;
        } else if (a == 'M' && b == 'M') {
            little = false;
        } else {
            return 1;
        }
        auto u16 = [&] { return little ? in.u16le() : in.u16be(); };
        auto u32 = [&] { return little ? in.u32le() : in.u32be(); };
        if (u16() != 42) return 1;
        in.seek(u32());
        const std::uint16_t count = u16();
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint16_t tag = u16();
            if (tag != kOrientationTag) {
                in.skip(10);
                continue;
            }
            const std::uint16_t type = u16();
            const std::uint32_t values = u32();
            if (type != kShortType || values != 1) return 1;
            const std::uint16_t value = u16();  // a single SHORT sits at the start of the value field
            return value >= 1 && value <= 8 ? value : 1;
        }
    } catch (const Error&) {
        // Truncated or pointing outside the block: treated as untagged.
    }
    return 1;
}

int ReadJpegOrientation(std::span<const std::uint8_t> file) {
    std::span<const std::uint8_t> block;
    try {
        block = FindExifBlock(file);
    } catch (const Error&) {
        return 1;  // the headers end before a scan; the decoder reports that
    }
    return block.empty() ? 1 : ReadExifOrientation(block);
}

std::shared_ptr<Surface> OrientSurface(std::shared_ptr<Surface> surface, int orientation) {
    if (!surface || orientation < 2 || orientation > 8) return surface;
    const Surface& s = *surface;
    const std::int32_t w = s.width();
    const std::int32_t h = s.height();
    using P = std::pair<std::int32_t, std::int32_t>;
    switch (orientation) {
        case 2: return Remap(s, w, h, [&](std::int32_t x, std::int32_t y) { return P{w - 1 - x, y}; });
        case 3: return Remap(s, w, h, [&](std::int32_t x, std::int32_t y) { return P{w - 1 - x, h - 1 - y}; });
        case 4: return Remap(s, w, h, [&](std::int32_t x, std::int32_t y) { return P{x, h - 1 - y}; });
        case 5: return Remap(s, h, w, [&](std::int32_t x, std::int32_t y) { return P{y, x}; });
        case 6: return Remap(s, h, w, [&](std::int32_t x, std::int32_t y) { return P{y, h - 1 - x}; });
        case 7: return Remap(s, h, w, [&](std::int32_t x, std::int32_t y) { return P{w - 1 - y, h - 1 - x}; });
        default: return Remap(s, h, w, [&](std::int32_t x, std::int32_t y) { return P{w - 1 - y, x}; });
    }
}

}  // namespace crossmeld
