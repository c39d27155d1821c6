// GifDocument::FrameMask and GifDocument::FrameDraw: a frame's transparency mask and the
// drawing of one frame with it. The mask pair works as on a blitter: the AND
// surface (white where transparent) keeps the target there and clears it
// elsewhere, then the XOR surface, whose transparent entry is black, ORs the
// frame's colours in.

#include "base/Numeric.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld {

void GifDocument::FrameMask(std::int32_t nFrame, std::uint8_t TransparentColorIndex) {
    FrameRecord& frame = Record(nFrame);
    std::array<std::uint8_t, kPaletteBytes> own = frame.palette;
    const std::size_t entry = 4 * static_cast<std::size_t>(TransparentColorIndex);
    if (frame.useTransparentColor) {
        own[entry] = own[entry + 1] = own[entry + 2] = 0;
        // Every index shows black but the transparent one, which shows white;
        // copied into the 1-bit surface that becomes the mask.
        std::array<std::uint8_t, kPaletteBytes> marker{};
        marker[entry] = marker[entry + 1] = marker[entry + 2] = 255;
        frame.xorSurface->SetPalette(marker);
        if (frame.xorSurface->hDC() != nullptr) frame.andSurface->LoadBlt(*frame.xorSurface->hDC(), 0, 0, 0, 0);
        frame.xorSurface->SetPalette(own);
    } else {
        frame.andSurface->Cls(0);
        frame.xorSurface->SetPalette(own);
    }
}

void GifDocument::FrameDraw(DeviceContext& hDC, std::int32_t nFrame, std::int16_t Left, std::int16_t Top, float ScaleFactor,
                     bool ScreenCrop) {
    FrameRecord& frame = Record(nFrame);
    std::int32_t w = frame.xorSurface->Width();
    std::int32_t h = frame.xorSurface->Height();
    if (ScreenCrop) {
        if (frame.left + w > m_screenWidth) w = m_screenWidth - frame.left;
        if (frame.top + h > m_screenHeight) h = m_screenHeight - frame.top;
    }
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    // Single-precision products and sums, rounded halves to even.
    const std::int32_t x = ToInt32(ToSingle(ScaleFactor * static_cast<float>(frame.left) + static_cast<float>(Left)));
    const std::int32_t y = ToInt32(ToSingle(ScaleFactor * static_cast<float>(frame.top) + static_cast<float>(Top)));
    const std::int32_t width = ToInt32(ToSingle(ScaleFactor * static_cast<float>(w)));
    const std::int32_t height = ToInt32(ToSingle(ScaleFactor * static_cast<float>(h)));
    // Nothing to draw: Stretch would read a source size of 0 as the whole
    // surface. A negative target size (a negative scale) draws mirrored.
    if (w == 0 || h == 0 || width == 0 || height == 0) return;
    if (frame.useTransparentColor) {
        frame.andSurface->Stretch(hDC, x, y, width, height, 0, 0, w, h, RasterOp::SrcAnd);
        frame.xorSurface->Stretch(hDC, x, y, width, height, 0, 0, w, h, RasterOp::SrcPaint);
    } else {
        frame.xorSurface->Stretch(hDC, x, y, width, height, 0, 0, w, h, RasterOp::SrcCopy);
    }
}

}  // namespace crossmeld
