#pragma once
// Recognising a picture file by its first bytes, whatever its name.

#include <cstdint>
#include <span>

namespace crossmeld {

enum class PictureFormat { Unknown, Bitmap, Jpeg, Png, Gif, Wmf, Emf };

// Bitmap: "BM". JPEG: FF D8. PNG: the 8-byte PNG signature. GIF: "GIF87a"
// or "GIF89a". WMF: the placeable key 9AC6CDD7, or a standard header (type
// 1 or 2, header size 9 words, version 0x0100 or 0x0300). EMF: a first
// record of type 1 with the " EMF" signature at offset 40.
PictureFormat SniffPictureFormat(std::span<const std::uint8_t> file);

}  // namespace crossmeld
