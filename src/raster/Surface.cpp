#include "raster/Surface.h"

#include <cstring>
#include <limits>

#include "base/Error.h"
#include "base/TwoHalves.h"

namespace crossmeld {

std::shared_ptr<Surface> Surface::Create(std::int32_t width, std::int32_t height, int bpp, RowOrder order) {
    if (!SupportedDepth(bpp) || width < 1 || height < 1) return nullptr;
    std::int64_t stride = StrideFor(width, bpp);
    std::int64_t size = stride * static_cast<std::int64_t>(height);
    if (stride > std::numeric_limits<std::int32_t>::max() || size > static_cast<std::int64_t>(kMaxBytes)) return nullptr;
    std::shared_ptr<Surface> s(new Surface());
    s->m_width = width;
    s->m_height = height;
    s->m_bpp = bpp;
    s->m_stride = static_cast<std::int32_t>(stride);
    s->m_order = order;
    s->m_pixels.assign(static_cast<std::size_t>(size), 0);
    if (bpp <= 8) s->m_table.assign(std::size_t{1} << bpp, RgbQuad{});
    return s;
}

std::uint8_t* Surface::row(std::int32_t y) noexcept {
    std::int32_t stored = m_order == RowOrder::TopDown ? y : m_height - 1 - y;
    return m_pixels.data() + static_cast<std::size_t>(stored) * static_cast<std::size_t>(m_stride);
}

const std::uint8_t* Surface::row(std::int32_t y) const noexcept {
    return const_cast<Surface*>(this)->row(y);
}

std::uint32_t Surface::GetRaw(std::int32_t x, std::int32_t y) const noexcept {
    const std::uint8_t* r = row(y);
    switch (m_bpp) {
        case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4: return (x & 1) ? (r[x >> 1] & 0x0Fu) : (r[x >> 1] >> 4);
        case 8: return r[x];
        case 16: return static_cast<std::uint32_t>(r[2 * x] | (r[2 * x + 1] << 8));
        case 24: {
            const std::uint8_t* p = r + 3 * static_cast<std::size_t>(x);
            return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        }
        default: {
            const std::uint8_t* p = r + 4 * static_cast<std::size_t>(x);
            return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        }
    }
}

void Surface::SetRaw(std::int32_t x, std::int32_t y, std::uint32_t v) noexcept {
    std::uint8_t* r = row(y);
    switch (m_bpp) {
        case 1: {
            std::uint8_t bit = static_cast<std::uint8_t>(0x80u >> (x & 7));
            if (v & 1) r[x >> 3] |= bit; else r[x >> 3] &= static_cast<std::uint8_t>(~bit);
            break;
        }
        case 4: {
            std::uint8_t& b = r[x >> 1];
            if (x & 1) b = static_cast<std::uint8_t>((b & 0xF0) | (v & 0x0F));
            else b = static_cast<std::uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
            break;
        }
        case 8: r[x] = static_cast<std::uint8_t>(v); break;
        case 16:
            r[2 * x] = static_cast<std::uint8_t>(v);
            r[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            break;
        case 24: {
            std::uint8_t* p = r + 3 * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
            p[2] = static_cast<std::uint8_t>(v >> 16);
            break;
        }
        default: {
            std::uint8_t* p = r + 4 * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
            p[2] = static_cast<std::uint8_t>(v >> 16);
            break;
        }
    }
}

ColorRef Surface::ColorFromRaw(std::uint32_t raw) const noexcept {
    if (m_bpp <= 8) {
        const RgbQuad& q = m_table[raw & ((1u << m_bpp) - 1)];
        return Rgb(q.red, q.green, q.blue);
    }
    if (m_bpp == 16) {
        // 5-bit channels widened by bit replication, so 31 becomes 255.
        auto widen = [](std::uint32_t v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); };
        return Rgb(widen((raw >> 10) & 31), widen((raw >> 5) & 31), widen(raw & 31));
    }
    // 24/32: raw is 0x00RRGGBB (blue in the low byte as stored).
    return Rgb(static_cast<std::uint8_t>(raw >> 16), static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw));
}

std::uint32_t Surface::RawFromColor(ColorRef c) const noexcept {
    if (m_bpp <= 8) return NearestIndex(c);
    if (m_bpp == 16)
        return (static_cast<std::uint32_t>(RedOf(c) >> 3) << 10) | (static_cast<std::uint32_t>(GreenOf(c) >> 3) << 5) |
               static_cast<std::uint32_t>(BlueOf(c) >> 3);
    return (static_cast<std::uint32_t>(RedOf(c)) << 16) | (static_cast<std::uint32_t>(GreenOf(c)) << 8) | BlueOf(c);
}

ColorRef Surface::GetPixel(std::int32_t x, std::int32_t y) const noexcept { return ColorFromRaw(GetRaw(x, y)); }

void Surface::SetPixel(std::int32_t x, std::int32_t y, ColorRef color) noexcept { SetRaw(x, y, RawFromColor(color)); }

std::uint32_t Surface::NearestIndex(ColorRef c) const noexcept {
    std::uint32_t best = 0;
    std::int32_t bestDist = std::numeric_limits<std::int32_t>::max();
    const int r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    for (std::size_t i = 0; i < m_table.size(); ++i) {
        int dr = m_table[i].red - r, dg = m_table[i].green - g, db = m_table[i].blue - b;
        std::int32_t d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = static_cast<std::uint32_t>(i);
            if (d == 0) break;
        }
    }
    return best;
}

void Surface::ReadBgrx(std::span<std::uint8_t> out) const {
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(m_width);
    if (out.size() < rowBytes * static_cast<std::size_t>(m_height)) throw Error(ErrorKind::SubscriptOutOfRange);
    // Rows are independent: both cores share them.
    ForTwoHalves(m_height, [&](std::int32_t firstRow, std::int32_t endRow) {
        std::uint8_t* o = out.data() + static_cast<std::size_t>(firstRow) * rowBytes;
        for (std::int32_t y = firstRow; y < endRow; ++y) {
            const std::uint8_t* r = row(y);
            if (m_bpp == 32) {
                for (std::int32_t x = 0; x < m_width; ++x, o += 4, r += 4) {
                    o[0] = r[0];
                    o[1] = r[1];
                    o[2] = r[2];
                    o[3] = 0;
                }
            } else if (m_bpp == 24) {
                for (std::int32_t x = 0; x < m_width; ++x, o += 4, r += 3) {
                    o[0] = r[0];
                    o[1] = r[1];
                    o[2] = r[2];
                    o[3] = 0;
                }
            } else {
                for (std::int32_t x = 0; x < m_width; ++x, o += 4) {
                    ColorRef c = GetPixel(x, y);
                    o[0] = BlueOf(c);
                    o[1] = GreenOf(c);
                    o[2] = RedOf(c);
                    o[3] = 0;
                }
            }
        }
    });
}

void Surface::WriteBgrx(std::span<const std::uint8_t> in) {
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(m_width);
    if (in.size() < rowBytes * static_cast<std::size_t>(m_height)) throw Error(ErrorKind::SubscriptOutOfRange);
    if (m_bpp != 32 && m_bpp != 24) {
        // Paletted and 16-bit rows go through SetPixel: one pass.
        const std::uint8_t* p = in.data();
        for (std::int32_t y = 0; y < m_height; ++y)
            for (std::int32_t x = 0; x < m_width; ++x, p += 4) SetPixel(x, y, Rgb(p[2], p[1], p[0]));
        return;
    }
    ForTwoHalves(m_height, [&](std::int32_t firstRow, std::int32_t endRow) {
        const std::uint8_t* p = in.data() + static_cast<std::size_t>(firstRow) * rowBytes;
        const int step = m_bpp / 8;
        for (std::int32_t y = firstRow; y < endRow; ++y) {
            std::uint8_t* r = row(y);
            for (std::int32_t x = 0; x < m_width; ++x, p += 4, r += step) {
                r[0] = p[0];
                r[1] = p[1];
                r[2] = p[2];
            }
        }
    });
}

}  // namespace crossmeld
