#include "formats/avi/DrawDib.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Error.h"
#include "formats/bmp/DibFormat.h"
#include "formats/bmp/DibLayout.h"

namespace crossmeld::avi {

// The picture last drawn, as a surface the block copy can read.
class DrawDibState {
public:
    // The surface for the DIB's pixels and colours; null when none can be made.
    DeviceContext* Load(const DibLayout& d, std::span<const std::uint8_t> table, std::span<const std::uint8_t> pixels) {
        const RowOrder order = d.topDown ? RowOrder::TopDown : RowOrder::BottomUp;
        Surface* s = m_source.surface();
        if (!s || s->width() != d.width || s->height() != d.height || s->bpp() != d.bitCount || s->rowOrder() != order) {
            m_source.Select(nullptr);
            auto surface = Surface::Create(d.width, d.height, d.bitCount, order);
            if (!surface) return nullptr;
            m_source.Select(std::move(surface));
            s = m_source.surface();
        }
        // Same padded rows in the same order: one copy.
        if (s->sizeBytes() != d.imageSize) return nullptr;
        std::memcpy(s->bits(), pixels.data(), d.imageSize);
        std::span<RgbQuad> colours = s->colorTable();
        for (std::size_t i = 0; i < colours.size(); ++i) {
            colours[i] = i < d.colours ? RgbQuad{table[4 * i], table[4 * i + 1], table[4 * i + 2], 0} : RgbQuad{};
        }
        return &m_source;
    }

private:
    DeviceContext m_source;
};

struct DrawDibAccess {
    static std::shared_ptr<DrawDibState>& Object(HDRAWDIB& h) noexcept { return h.m_object; }
    static const std::shared_ptr<DrawDibState>& Object(const HDRAWDIB& h) noexcept { return h.m_object; }
};

HDRAWDIB DrawDibOpen() noexcept {
    HDRAWDIB hdd;
    try {
        DrawDibAccess::Object(hdd) = std::make_shared<DrawDibState>();
    } catch (const std::bad_alloc&) {
    }
    return hdd;
}

bool DrawDibDraw(const HDRAWDIB& hdd, DeviceContext& dc, std::int32_t xDst, std::int32_t yDst, std::int32_t dxDst,
                 std::int32_t dyDst, std::span<const std::uint8_t> dib, std::span<const std::uint8_t> bits,
                 std::int32_t xSrc, std::int32_t ySrc, std::int32_t dxSrc, std::int32_t dySrc,
                 std::uint32_t /*flags*/) noexcept {
    const auto& state = DrawDibAccess::Object(hdd);
    if (!state || !dc.surface()) return false;
    try {
        const DibLayout d = ReadDibLayout(dib);
        if (d.compression != BI_RGB) return false;
        const std::size_t tableAt = d.headerSize;
        if (d.TableBytes() > dib.size() - tableAt) return false;
        const auto table = dib.subspan(tableAt, d.TableBytes());
        std::span<const std::uint8_t> pixels = bits;
        if (pixels.empty()) pixels = dib.subspan(tableAt + d.TableBytes());
        if (pixels.size() < d.imageSize) return false;

        DeviceContext* source = state->Load(d, table, pixels);
        if (!source) return false;
        if (dxSrc < 0) dxSrc = d.width;
        if (dySrc < 0) dySrc = d.height;
        if (dxDst < 0) dxDst = dxSrc;
        if (dyDst < 0) dyDst = dySrc;
        return StretchBlt(dc, xDst, yDst, dxDst, dyDst, *source, xSrc, ySrc, dxSrc, dySrc, RasterOp::SrcCopy);
    } catch (const Error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DrawDibClose(HDRAWDIB& hdd) noexcept {
    auto& object = DrawDibAccess::Object(hdd);
    if (!object) return false;
    object.reset();
    return true;
}

}  // namespace crossmeld::avi
