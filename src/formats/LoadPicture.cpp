#include "formats/LoadPicture.h"

#include "base/Error.h"
#include "formats/PictureFile.h"
#include "formats/PictureFormat.h"
#include "formats/bmp/BitmapFile.h"
#include "formats/gif/GifPicture.h"
#include "formats/ico/IconDecoder.h"
#include "formats/jpeg/JpegDecoder.h"
#include "formats/metafile/MetafilePicture.h"
#include "formats/png/PngDecoder.h"

namespace crossmeld {

Picture LoadPicture(const std::string& path) {
    return LoadPictureWithWarnings(path).picture;
}

Picture LoadPictureFromMemory(std::span<const std::uint8_t> bytes) {
    return LoadPictureWithWarningsFromMemory(bytes).picture;
}

LoadedPicture LoadPictureWithWarnings(const std::string& path) {
    // An empty name is how a picture is cleared: it gives the empty picture.
    if (path.empty()) return {};
    const std::vector<std::uint8_t> bytes = ReadPictureFile(path);
    return LoadPictureWithWarningsFromMemory(bytes);
}

LoadedPicture LoadPictureWithWarningsFromMemory(std::span<const std::uint8_t> bytes) {
    switch (SniffPictureFormat(bytes)) {
        case PictureFormat::Bitmap: return {Picture(DecodeBitmapFile(bytes)), {}};
        case PictureFormat::Jpeg: {
            JpegPicture jpeg = DecodeJpegPicture(bytes);
            return {Picture(std::move(jpeg.surface)), std::move(jpeg.warnings)};
        }
        case PictureFormat::Png: return {Picture(DecodePng(bytes)), {}};
        case PictureFormat::Gif: return {Picture(DecodeGifPicture(bytes)), {}};
        case PictureFormat::Wmf: return {Picture(DecodeWmfPicture(bytes)), {}};
        case PictureFormat::Emf: return {Picture(DecodeEmfPicture(bytes)), {}};
        case PictureFormat::Unknown: break;
    }
    if (LooksLikeIconFile(bytes)) return {Picture(FlattenIcon(DecodeIconFile(bytes))), {}};
    throw Error(ErrorKind::InvalidPicture);
}

void SavePicture(const Picture& picture, const std::string& path) {
    if (!picture) throw Error(ErrorKind::InvalidPicture, "there is no picture to save");
    SavePicture(*picture.bitmap(), path);
}

void SavePicture(const Surface& surface, const std::string& path) {
    const std::vector<std::uint8_t> file = EncodeBitmapFile24(surface);
    WritePictureFile(path, file);
}

}  // namespace crossmeld
