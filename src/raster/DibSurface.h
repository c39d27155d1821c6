#pragma once
// DibSurface: the program's in-memory picture. A device-independent surface of 1,
// 4, 8, 16 (5-5-5), 24 or 32 bits per pixel, rows padded to four bytes, bound
// to a drawing context so that block copies can go into and out of it. Its
// pixel memory is addressed directly through Bits().
//
// A surface made by Create is top-down: row y starts at Bits() +
// y * BytesPerScanline(). One made by CreateFromSurface keeps that surface's
// row order (bottom-up for an ordinary bitmap file).
//
// While the object is empty (Bitmap() null) LoadBlt, Stretch, Cls, SetPalette,
// GetPalette and GetBestFitInfo do nothing and return 0.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "raster/DeviceContext.h"
#include "raster/Picture.h"
#include "raster/Surface.h"

namespace crossmeld {

// The colour an OLE colour value stands for. Values with the high bit set
// name a system colour (low byte = index); a few common ones are known, any
// other index gives black, as an untranslatable colour leaves the result 0.
// Other values carry the colour in their low three bytes.
ColorRef TranslateOleColor(std::uint32_t oleColor) noexcept;

class DibSurface {
public:
    DibSurface() = default;
    ~DibSurface() = default;
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    // Moving hands the surface over and leaves the source empty.
    DibSurface(DibSurface&& other) noexcept;
    DibSurface& operator=(DibSurface&& other) noexcept;

    // Empties the object and builds a new top-down surface whose colour
    // table (if any) is all black. Raises Error(Overflow) when width x bits
    // is above 2147483616 or the size does not fit 32 signed bits; returns
    // false and leaves an empty object when the surface cannot be made
    // (unsupported depth such as 2, a side below 1, too much memory).
    bool Create(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
    // Copies a picture into a new surface (32-bit when force32, else the
    // picture's own depth, with its colour table). Returns the picture's
    // bits per pixel, 0 on failure.
    std::uint8_t CreateFromStdPicture(const Picture& picture, bool force32);
    // Empties the object and takes the surface as its own, keeping its
    // depth, colour table and row order (a decoded file's surface, for
    // instance). Returns its bits per pixel, 0 (object empty) without one.
    std::uint8_t CreateFromSurface(std::shared_ptr<Surface> surface);
    // Makes the target an exact copy: same size, depth, colour table and
    // raw pixel bytes.
    void CloneTo(DibSurface& target) const;
    void Destroy() noexcept;

    // Copies from the source context into this surface at (0, 0). A width or
    // height below 1 means this surface's own. Returns the copy's result.
    std::int32_t LoadBlt(const DeviceContext& src, std::int32_t srcX, std::int32_t srcY, std::int32_t width = 0,
                         std::int32_t height = 0);
    // Scaled copy of this surface (or the part at srcX, srcY, srcWidth x
    // srcHeight; sizes below 1 mean the surface's own) onto the target
    // rectangle, with rows and columns dropped or repeated, never blended.
    // The target's stretch mode is put back afterwards.
    std::int32_t Stretch(DeviceContext& target, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, std::int32_t srcX = 0, std::int32_t srcY = 0, std::int32_t srcWidth = 0,
                         std::int32_t srcHeight = 0, RasterOp rop = RasterOp::SrcCopy) const;
    // Fills the whole surface with the colour (paletted: the nearest entry).
    void Cls(std::uint32_t oleColor);

    // For 8 bits per pixel or fewer: loads size / 4 entries (blue, green,
    // red, reserved) into the colour table from entry 0.
    void SetPalette(std::span<const std::uint8_t> entries);
    // For 8 bits per pixel or fewer: the array becomes 2^BPP x 4 bytes
    // holding the whole colour table. Otherwise it is left untouched.
    void GetPalette(std::vector<std::uint8_t>& entries) const;

    // Rebuilds the surface at the new size: scaled with stretch, otherwise
    // cropped or extended at the bottom and right (the old pixels stay at
    // the top-left).
    void Resize(std::int32_t newWidth, std::int32_t newHeight, bool stretch);
    // A centred fit of the surface into a targetWidth x targetHeight box;
    // the surface is only enlarged when stretch is true.
    void GetBestFitInfo(std::int32_t targetWidth, std::int32_t targetHeight, std::int32_t& x, std::int32_t& y,
                        std::int32_t& width, std::int32_t& height, bool stretch) const;

    // The drawing context bound to the surface, and the surface itself;
    // both null while the object is empty.
    DeviceContext* Context() const noexcept { return m_dc.get(); }
    Surface* Bitmap() const noexcept { return m_dib.get(); }
    std::uint8_t* Bits() const noexcept { return m_dib ? m_dib->bits() : nullptr; }
    std::int32_t Width() const noexcept { return m_width; }
    std::int32_t Height() const noexcept { return m_height; }
    std::int32_t BPP() const noexcept { return m_bpp; }
    std::int32_t BytesPerScanline() const noexcept { return m_bytesPerScanline; }
    std::int32_t Size() const noexcept { return m_size; }

    // A new 32-bit picture holding a copy of the surface (empty when the
    // object is).
    Picture Image() const;

private:
    void SetSizes(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
    void Attach(std::shared_ptr<Surface> surface);

    std::unique_ptr<DeviceContext> m_dc;
    std::shared_ptr<Surface> m_dib;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_bpp = 0;
    std::int32_t m_bytesPerScanline = 0;
    std::int32_t m_size = 0;
};

}  // namespace crossmeld
