#include "formats/metafile/MetafileBitmap.h"

#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/PictureLimits.h"
#include "formats/bmp/BitmapFile.h"
#include "formats/jpeg/JpegDecoder.h"
#include "formats/png/PngDecoder.h"
#include "raster/DeviceContext.h"

namespace crossmeld::metafile {
namespace {

struct DibHeader {
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t compression = 0;
};

DibHeader ReadDibHeader(std::span<const std::uint8_t> info) {
    ByteReader in(info);
    DibHeader h;
    h.size = in.u32le();
    if (h.size == 12) {  // BITMAPCOREHEADER: always bottom-up
        h.width = in.u16le();
        h.height = in.u16le();
        return h;
    }
    h.width = in.i32le();
    h.height = in.i32le();
    in.skip(2 + 2);  // planes, bit count
    h.compression = in.u32le();
    return h;
}

}  // namespace

std::optional<MetafileImage> DecodeMetafileDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits,
                                               std::int64_t maxPixels) {
    try {
        const DibHeader h = ReadDibHeader(info);
        MetafileImage image;
        image.bottomUp = h.height > 0;
        if (h.compression == 4) {  // BI_JPEG
            image.surface = DecodeJpeg(bits, maxPixels);
            image.bottomUp = false;
        } else if (h.compression == 5) {  // BI_PNG
            image.surface = DecodePng(bits, maxPixels);
            image.bottomUp = false;
        } else {
            CheckPictureSize(h.width, h.height < 0 ? -h.height : h.height, maxPixels);
            // A bitmap file around the two parts, so that the pixel offset is
            // exact whatever the colour table holds.
            std::vector<std::uint8_t> file;
            file.reserve(14 + info.size() + bits.size());
            const auto total = static_cast<std::uint32_t>(14 + info.size() + bits.size());
            const auto offBits = static_cast<std::uint32_t>(14 + info.size());
            const std::uint8_t head[14] = {'B',
                                           'M',
                                           static_cast<std::uint8_t>(total),
                                           static_cast<std::uint8_t>(total >> 8),
                                           static_cast<std::uint8_t>(total >> 16),
                                           static_cast<std::uint8_t>(total >> 24),
                                           0,
                                           0,
                                           0,
                                           0,
                                           static_cast<std::uint8_t>(offBits),
                                           static_cast<std::uint8_t>(offBits >> 8),
                                           static_cast<std::uint8_t>(offBits >> 16),
                                           static_cast<std::uint8_t>(offBits >> 24)};
            file.insert(file.end(), head, head + 14);
            file.insert(file.end(), info.begin(), info.end());
            file.insert(file.end(), bits.begin(), bits.end());
            image.surface = DecodeBitmapFile(file);
        }
        if (!image.surface) return std::nullopt;
        return image;
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::optional<MetafileImage> DecodePackedDib(std::span<const std::uint8_t> dib, std::int64_t maxPixels) {
    try {
        const DibHeader h = ReadDibHeader(dib);
        if (h.compression == 4 || h.compression == 5) return std::nullopt;
        CheckPictureSize(h.width, h.height < 0 ? -h.height : h.height, maxPixels);
        MetafileImage image;
        image.bottomUp = h.height > 0;
        image.surface = DecodeBitmapFile(dib, true);
        if (!image.surface) return std::nullopt;
        return image;
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::shared_ptr<Surface> CreateMetafileSurface(std::int64_t width, std::int64_t height, std::int64_t maxPixels) {
    CheckPictureSize(width, height, maxPixels);
    auto surface = Surface::Create(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), 24);
    if (!surface) throw Error(ErrorKind::OutOfMemory);
    DeviceContext dc(surface);
    dc.FillRect(Rect{0, 0, surface->width(), surface->height()}, Rgb(255, 255, 255));
    return surface;
}

}  // namespace crossmeld::metafile
