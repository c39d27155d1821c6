#include "colour/FadeSamples.h"

#include <cstring>

#include "base/Error.h"
#include "base/Numeric.h"
#include "raster/DibSurface.h"
#include "raster/MapPixelsAsArray.h"

namespace crossmeld {

namespace {

// A 32-bit copy of the picture scaled to fit the box (kept as it is when it
// fits).
void Thumbnail(const DibSurface& picture, std::int32_t box, DibSurface& thumbnail) {
    if (picture.BPP() == 32) {
        picture.CloneTo(thumbnail);
    } else {
        if (!thumbnail.Create(picture.Width(), picture.Height(), 32)) throw Error(ErrorKind::OutOfMemory);
        const MapPixelsAsArray to(thumbnail);
        for (std::int32_t y = 0; y < to.Rows(); ++y) {
            const std::uint8_t* from = picture.Bits() + static_cast<std::size_t>(y) * picture.BytesPerScanline();
            const auto row = to.Row(y);
            for (std::size_t p = 0; p < row.size(); p += 4, from += 3) {
                std::memcpy(&row[p], from, 3);
                row[p + 3] = 0;
            }
        }
    }
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    thumbnail.GetBestFitInfo(box, box, x, y, width, height, false);
    if (width != thumbnail.Width() || height != thumbnail.Height()) thumbnail.Resize(width, height, true);
}

}  // namespace

void MakeFadeSamples(const DibSurface& start, const DibSurface& end, std::span<const double> weights, std::int32_t box,
                     DibSurface& samples) {
    auto depthOk = [](const DibSurface& s) { return s.BPP() == 24 || s.BPP() == 32; };
    if (!depthOk(start) || !depthOk(end) || start.Width() != end.Width() || start.Height() != end.Height() ||
        weights.empty())
        throw Error(ErrorKind::InvalidProcedureCall, "A fade's samples need two true-colour pictures of one size");
    DibSurface a, b;
    Thumbnail(start, box, a);
    Thumbnail(end, box, b);
    const std::int32_t rows = a.Height();
    if (!samples.Create(a.Width(), CheckedInt32(std::int64_t{rows} * static_cast<std::int64_t>(weights.size())), 32))
        throw Error(ErrorKind::OutOfMemory);
    const MapPixelsAsArray from(a), to(b), out(samples);
    for (std::size_t k = 0; k < weights.size(); ++k) {
        const double w = weights[k];
        for (std::int32_t y = 0; y < rows; ++y) {
            const auto p = from.Row(y), q = to.Row(y);
            const auto o = out.Row(static_cast<std::int32_t>(k) * rows + y);
            for (std::size_t i = 0; i < o.size(); ++i) o[i] = (i & 3) == 3 ? 0 : ToByte(p[i] + (q[i] - p[i]) * w);
        }
    }
}

}  // namespace crossmeld
