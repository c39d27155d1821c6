#include "formats/bmp/DrawPackedDib.h"

#include <cstring>
#include <limits>
#include <new>

#include "base/Error.h"
#include "formats/bmp/DibFormat.h"
#include "formats/bmp/DibLayout.h"

namespace crossmeld {
namespace {

// The DIB's pixels and colours as a surface the block copy can read; null
// when the DIB is not one that can be drawn.
std::shared_ptr<Surface> SourceSurface(std::span<const std::uint8_t> dib) {
    const DibLayout d = ReadDibLayout(dib);
    if (d.compression != kUncompressedRgb) return nullptr;
    const std::size_t tableAt = d.headerSize;
    if (d.TableBytes() > dib.size() - tableAt) return nullptr;
    const auto table = dib.subspan(tableAt, d.TableBytes());
    const auto pixels = dib.subspan(tableAt + d.TableBytes());
    if (pixels.size() < d.imageSize) return nullptr;

    auto surface = Surface::Create(d.width, d.height, d.bitCount, d.topDown ? RowOrder::TopDown : RowOrder::BottomUp);
    // Same padded rows in the same order: one copy.
    if (!surface || surface->sizeBytes() != d.imageSize) return nullptr;
    std::memcpy(surface->bits(), pixels.data(), d.imageSize);
    std::span<RgbQuad> colours = surface->colorTable();
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = i < d.colours ? RgbQuad{table[4 * i], table[4 * i + 1], table[4 * i + 2], 0} : RgbQuad{};
    return surface;
}

bool Ordered(const Rect& r) noexcept { return r.right >= r.left && r.bottom >= r.top; }

// right - left and bottom - top of an ordered rectangle, or nothing when
// they do not fit 32 bits.
bool Size(const Rect& r, std::int32_t& width, std::int32_t& height) noexcept {
    const std::int64_t w = std::int64_t{r.right} - r.left, h = std::int64_t{r.bottom} - r.top;
    if (w > std::numeric_limits<std::int32_t>::max() || h > std::numeric_limits<std::int32_t>::max()) return false;
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    return true;
}

}  // namespace

bool DrawPackedDib(DeviceContext& dc, const Rect& target, std::span<const std::uint8_t> dib,
                   const Rect& source) noexcept {
    if (!dc.surface() || !Ordered(target) || !Ordered(source)) return false;
    std::int32_t w = 0, h = 0, sw = 0, sh = 0;
    if (!Size(target, w, h) || !Size(source, sw, sh)) return false;
    try {
        auto surface = SourceSurface(dib);
        if (!surface) return false;
        const DeviceContext from(std::move(surface));
        return StretchBlock(dc, target.left, target.top, w, h, from, source.left, source.top, sw, sh, RasterOp::SrcCopy);
    } catch (const Error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DrawPackedDib(DeviceContext& dc, const Rect& target, std::span<const std::uint8_t> dib) noexcept {
    try {
        const DibLayout d = ReadDibLayout(dib);
        return DrawPackedDib(dc, target, dib, Rect{0, 0, d.width, d.height});
    } catch (const Error&) {
        return false;
    }
}

}  // namespace crossmeld
