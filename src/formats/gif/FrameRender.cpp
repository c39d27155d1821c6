// GifDocument::FrameMask and GifDocument::FrameDraw: a frame's transparency mask and the
// drawing of one frame with it. The mask pair works as on a blitter: the AND
// surface (white where transparent) keeps the target there and clears it
// elsewhere, then the XOR surface, whose transparent entry is black, ORs the
// frame's colours in.

#include "base/Numeric.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld {

void GifDocument::FrameMask(std::int32_t frame, std::uint8_t transparentIndex) {
    FrameRecord& record = Record(frame);
    std::array<std::uint8_t, kPaletteBytes> own = record.palette;
    const std::size_t entry = 4 * static_cast<std::size_t>(transparentIndex);
    if (record.useTransparentColor) {
        own[entry] = own[entry + 1] = own[entry + 2] = 0;
        // Every index shows black but the transparent one, which shows white;
        // copied into the 1-bit surface that becomes the mask.
        std::array<std::uint8_t, kPaletteBytes> marker{};
        marker[entry] = marker[entry + 1] = marker[entry + 2] = 255;
        record.xorSurface->SetPalette(marker);
        if (record.xorSurface->Context() != nullptr)
            record.andSurface->LoadBlt(*record.xorSurface->Context(), 0, 0, 0, 0);
        record.xorSurface->SetPalette(own);
    } else {
        record.andSurface->Cls(0);
        record.xorSurface->SetPalette(own);
    }
}

void GifDocument::FrameDraw(DeviceContext& dc, std::int32_t frame, std::int16_t left, std::int16_t top, float scale,
                            bool screenCrop) {
    FrameRecord& record = Record(frame);
    std::int32_t w = record.xorSurface->Width();
    std::int32_t h = record.xorSurface->Height();
    if (screenCrop) {
        if (record.left + w > m_screenWidth) w = m_screenWidth - record.left;
        if (record.top + h > m_screenHeight) h = m_screenHeight - record.top;
    }
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    // Single-precision products and sums, rounded halves to even.
    const std::int32_t x = ToInt32(ToSingle(scale * static_cast<float>(record.left) + static_cast<float>(left)));
    const std::int32_t y = ToInt32(ToSingle(scale * static_cast<float>(record.top) + static_cast<float>(top)));
    const std::int32_t width = ToInt32(ToSingle(scale * static_cast<float>(w)));
    const std::int32_t height = ToInt32(ToSingle(scale * static_cast<float>(h)));
    // Nothing to draw: Stretch would read a source size of 0 as the whole
    // surface. A negative target size (a negative scale) draws mirrored.
    if (w == 0 || h == 0 || width == 0 || height == 0) return;
    if (record.useTransparentColor) {
        record.andSurface->Stretch(dc, x, y, width, height, 0, 0, w, h, RasterOp::SrcAnd);
        record.xorSurface->Stretch(dc, x, y, width, height, 0, 0, w, h, RasterOp::SrcPaint);
    } else {
        record.xorSurface->Stretch(dc, x, y, width, height, 0, 0, w, h, RasterOp::SrcCopy);
    }
}

}  // namespace crossmeld
