// Fuzz target: the GIF reader, then the drawing of every frame read (the
// first 16) onto a small 24-bit surface, at a scale and with cropping, so
// that the masks and surfaces the reader leaves are exercised too. Reading
// never fails after a valid header and these scales cannot overflow the
// target rectangle, so anything thrown is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/gif/GifDocument.h"
#include "raster/DibSurface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static crossmeld::GifDocument gif;
    static crossmeld::DibSurface target = [] {
        crossmeld::DibSurface dib;
        dib.Create(64, 48, 24);
        return dib;
    }();
    if (!gif.LoadFromStream(std::span<const std::uint8_t>(data, size))) return 0;
    const std::int32_t frames = std::min<std::int32_t>(gif.FramesCount(), 16);
    for (std::int32_t n = 1; n <= frames; ++n) {
        target.Cls(0x0000FF);
        gif.FrameDraw(*target.Context(), n, 0, 0, 1.0f, false);
        gif.FrameDraw(*target.Context(), n, 3, -2, 0.5f, true);
    }
    return 0;
}
