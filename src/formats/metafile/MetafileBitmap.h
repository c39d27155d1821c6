#pragma once
// Device-independent bitmaps embedded in metafile records, and the picture
// surface a metafile is played onto.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "raster/Surface.h"

namespace crossmeld::metafile {

struct MetafileImage {
    std::shared_ptr<Surface> surface;  // pixels addressed from the top row
    bool bottomUp = true;              // rows stored bottom-up in the file
};

// A BITMAPINFO (header and colour table) and its pixel bits held apart, as
// enhanced metafile records hold them. Uncompressed, RLE, bit-field, JPEG
// and PNG bits. Gives nothing for a bitmap that cannot be read (the record
// is then skipped).
std::optional<MetafileImage> DecodeMetafileDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits,
                                               std::int64_t maxPixels);
// A packed DIB (header, colour table and bits in a row), as WMF records hold it.
std::optional<MetafileImage> DecodePackedDib(std::span<const std::uint8_t> dib, std::int64_t maxPixels);

// A 24-bit white surface of the picture's size; the size is checked by
// CheckPictureSize first.
std::shared_ptr<Surface> CreateMetafileSurface(std::int64_t width, std::int64_t height, std::int64_t maxPixels);

}  // namespace crossmeld::metafile
