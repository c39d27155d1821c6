#pragma once
// The video-drawing calls: a packed DIB drawn into a drawing context,
// scaled by nearest neighbour (rows and columns dropped or repeated, never
// blended, as StretchBlt does it):
//
//   HDRAWDIB hdd = DrawDibOpen();
//   DrawDibDraw(hdd, *work.hDC(), 0, 0, work.Width(), work.Height(), frame, {}, 0, 0, -1, -1, 0);
//   DrawDibClose(hdd);
//
// The DIB is uncompressed, 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel,
// bottom-up or top-down rows (a negative biHeight), as AVIStreamGetFrame
// delivers frames.

#include <cstdint>
#include <memory>
#include <span>

#include "raster/DeviceContext.h"

namespace crossmeld::avi {

class DrawDibState;

// A drawing handle: null until DrawDibOpen, null again after DrawDibClose.
// It keeps a copy of the last picture's pixels, reused for pictures of the
// same size and depth.
class HDRAWDIB {
public:
    explicit operator bool() const noexcept { return m_object != nullptr; }

private:
    friend struct DrawDibAccess;
    std::shared_ptr<DrawDibState> m_object;
};

// A new drawing handle (null only when there is no memory for it).
HDRAWDIB DrawDibOpen() noexcept;

// Draws the source rectangle (xSrc, ySrc, dxSrc, dySrc) of the DIB, counted
// from its top-left pixel whatever its row order, onto the target rectangle
// (xDst, yDst, dxDst, dyDst) of the context, clipped to both. A negative
// source width or height means the DIB's own; a negative target width or
// height means the source's (no scaling). dib holds the information header
// and colour table, followed by the pixels unless bits holds them. flags
// are accepted and ignored (Video for Windows' options for palettes, buffering
// and halftoning do not apply here). False for a null handle, a context
// without a surface, or a DIB that is not one of the kinds above or is
// shorter than its header says.
bool DrawDibDraw(const HDRAWDIB& hdd, DeviceContext& dc, std::int32_t xDst, std::int32_t yDst, std::int32_t dxDst,
                 std::int32_t dyDst, std::span<const std::uint8_t> dib, std::span<const std::uint8_t> bits,
                 std::int32_t xSrc, std::int32_t ySrc, std::int32_t dxSrc, std::int32_t dySrc,
                 std::uint32_t flags) noexcept;

// False for a null handle.
bool DrawDibClose(HDRAWDIB& hdd) noexcept;

}  // namespace crossmeld::avi
