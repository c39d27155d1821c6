#include "morph/PixelTransfer.h"

#include <algorithm>

#include "base/Error.h"

namespace crossmeld {

namespace {

void Read(PictureBox& picture, PixelGrid& grid) {
    const Picture held = picture.Image();
    const auto& image = held.bitmap();
    if (!image) throw Error(ErrorKind::SubscriptOutOfRange);
    const std::int32_t w = image->width(), h = image->height();
    grid.Header.size = kBitmapInfoHeaderSize;
    grid.Header.width = w;
    grid.Header.height = -h;
    grid.Header.planes = 1;
    grid.Header.bitCount = 32;
    grid.Header.compression = 0;
    grid.Bits.assign(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    image->ReadBgrx(grid.Bits);
}

void Write(PictureBox& picture, const PixelGrid& grid) {
    const Picture held = picture.Image();
    const auto& image = held.bitmap();
    if (!image) return;
    const std::int32_t gw = grid.GridWidth(), gh = grid.GridHeight();
    if (gw <= 0 || gh <= 0 || grid.Bits.size() < 4 * static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh))
        return;  // nothing Windows' GDI could transfer; the image keeps its pixels
    if (gw == image->width() && gh == image->height()) {
        image->WriteBgrx(grid.Bits);
        return;
    }
    // A grid of another size lands at the top-left, clipped to the image.
    const std::int32_t w = std::min(gw, image->width()), h = std::min(gh, image->height());
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint8_t* p = grid.Bits.data() + PixelGrid::Offset(0, x, y, gw);
            image->SetPixel(x, y, Rgb(p[2], p[1], p[0]));
        }
}

}  // namespace

void ReadPixels(PictureBox& picture, PixelGrid& grid) { Read(picture, grid); }

void WritePixels(PictureBox& picture, const PixelGrid& grid) { Write(picture, grid); }

void ReleasePixels(PixelGrid& grid) {
    // The memory itself stays with the grid: the frame grid is read again
    // for the next frame, and a run's grids go when the run ends.
    grid.Bits.assign(1, 0);
}

}  // namespace crossmeld
