#include "formats/gif/GifPicture.h"

#include "base/Error.h"
#include "base/PictureLimits.h"
#include "formats/gif/GifDocument.h"
#include "raster/DeviceContext.h"

namespace crossmeld {

std::shared_ptr<Surface> DecodeGifPicture(std::span<const std::uint8_t> file) {
    GifDocument doc;
    // Only the first frame is shown: the others are not read.
    if (!doc.LoadFromStream(file, 1)) throw Error(ErrorKind::InvalidPicture, "not a GIF87a or GIF89a file");
    if (doc.FramesCount() < 1) throw Error(ErrorKind::InvalidPicture, "the GIF file holds no image");
    const DibSurface& first = doc.FrameDIBXOR(1);
    if (first.Bitmap() == nullptr) {
        const auto& notes = doc.ReadNotes();
        throw Error(ErrorKind::InvalidPicture,
                    notes.empty() ? "the first image of the GIF file cannot be read" : "GIF " + notes.front());
    }
    // A screen of no size (some writers leave it 0) takes the frame's.
    const std::int32_t width = doc.ScreenWidth() > 0 ? doc.ScreenWidth() : doc.FrameLeft(1) + first.Width();
    const std::int32_t height = doc.ScreenHeight() > 0 ? doc.ScreenHeight() : doc.FrameTop(1) + first.Height();
    CheckPictureSize(width, height);
    auto surface = Surface::Create(width, height, 24);
    if (!surface) throw Error(ErrorKind::OutOfMemory);
    DeviceContext dc(surface);
    dc.FillRect(Rect{0, 0, width, height}, Rgb(255, 255, 255));
    doc.FrameDraw(dc, 1, 0, 0, 1.0f, true);
    return surface;
}

}  // namespace crossmeld
