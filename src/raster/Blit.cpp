// Block copies between surfaces: CopyBlock and StretchBlock.
//
// Each target pixel takes the source pixel that nearest-neighbour scaling maps
// onto it (rows and columns dropped or repeated, never blended), converted to
// the target's stored value by colour, then combined with the target's stored
// value by the raster operation. A rectangle with a negative width or height
// spans from x + w to x (the pixels x + w .. x - 1), and a copy whose source
// and target widths (heights) differ in sign is mirrored along that axis.
// Target pixels that fall outside either surface are left alone.

#include <algorithm>
#include <cstring>
#include <vector>

#include "raster/DeviceContext.h"
#include "raster/PixelAccess.h"
#include "raster/ValueConverter.h"

namespace crossmeld {

namespace {

using raster::LoadValue;
using raster::StoreValue;

// The target pixels of one axis that receive a source pixel, and for each the
// source index.
struct AxisMap {
    std::int64_t first = 0;            // first target pixel
    std::vector<std::int32_t> source;  // source index per target pixel
    bool straight = false;             // source[k] == source[0] + k for all k
};

AxisMap MapAxis(std::int64_t pos, std::int64_t len, std::int64_t targetSize, std::int64_t srcPos, std::int64_t srcLen,
                std::int64_t sourceSize) {
    AxisMap map;
    if (len == 0 || srcLen == 0) return map;
    const bool mirror = (len < 0) != (srcLen < 0);
    const std::int64_t start = len < 0 ? pos + len : pos, count = len < 0 ? -len : len;
    const std::int64_t srcStart = srcLen < 0 ? srcPos + srcLen : srcPos, srcCount = srcLen < 0 ? -srcLen : srcLen;
    const std::int64_t from = std::max<std::int64_t>(start, 0), to = std::min(start + count, targetSize);
    if (from >= to) return map;
    auto sourceOf = [&](std::int64_t d) {
        const std::int64_t i = mirror ? start + count - 1 - d : d - start;
        return srcStart + i * srcCount / count;  // both factors below 2^32
    };
    // The source index is monotonic in d, so the usable pixels form one range.
    std::int64_t a = from, b = to;
    while (a < b && (sourceOf(a) < 0 || sourceOf(a) >= sourceSize)) ++a;
    while (b > a && (sourceOf(b - 1) < 0 || sourceOf(b - 1) >= sourceSize)) --b;
    map.first = a;
    map.source.reserve(static_cast<std::size_t>(b - a));
    for (std::int64_t d = a; d < b; ++d) map.source.push_back(static_cast<std::int32_t>(sourceOf(d)));
    map.straight = !mirror && srcCount == count;
    return map;
}

template <int Bpp>
void ApplyRow(std::uint8_t* row, std::int64_t x0, const std::uint32_t* values, std::size_t n, RasterOp rop) {
    switch (rop) {
        case RasterOp::SrcAnd:
            for (std::size_t k = 0; k < n; ++k) StoreValue<Bpp>(row, x0 + k, LoadValue<Bpp>(row, x0 + k) & values[k]);
            break;
        case RasterOp::SrcPaint:
            for (std::size_t k = 0; k < n; ++k) StoreValue<Bpp>(row, x0 + k, LoadValue<Bpp>(row, x0 + k) | values[k]);
            break;
        default:
            for (std::size_t k = 0; k < n; ++k) StoreValue<Bpp>(row, x0 + k, values[k]);
            break;
    }
}

// Source values of one row, converted. Paletted sources convert through
// their table in the same pass.
template <int Bpp>
void FetchRow(const std::uint8_t* row, const std::int32_t* columns, std::size_t n, std::uint32_t* out,
              raster::ValueConverter& convert) {
    if constexpr (Bpp <= 8) {
        const std::uint32_t* table = convert.table();
        for (std::size_t k = 0; k < n; ++k) out[k] = table[LoadValue<Bpp>(row, columns[k])];
    } else if (convert.identity()) {
        for (std::size_t k = 0; k < n; ++k) out[k] = LoadValue<Bpp>(row, columns[k]);
    } else {
        for (std::size_t k = 0; k < n; ++k) out[k] = convert(LoadValue<Bpp>(row, columns[k]));
    }
}

void FetchRowAny(int bpp, const std::uint8_t* row, const std::int32_t* columns, std::size_t n, std::uint32_t* out,
                 raster::ValueConverter& convert) {
    switch (bpp) {
        case 1:
            FetchRow<1>(row, columns, n, out, convert);
            break;
        case 4:
            FetchRow<4>(row, columns, n, out, convert);
            break;
        case 8:
            FetchRow<8>(row, columns, n, out, convert);
            break;
        case 16:
            FetchRow<16>(row, columns, n, out, convert);
            break;
        case 24:
            FetchRow<24>(row, columns, n, out, convert);
            break;
        default:
            FetchRow<32>(row, columns, n, out, convert);
            break;
    }
}

void ApplyRowAny(int bpp, std::uint8_t* row, std::int64_t x0, const std::uint32_t* values, std::size_t n,
                 RasterOp rop) {
    switch (bpp) {
        case 1:
            ApplyRow<1>(row, x0, values, n, rop);
            break;
        case 4:
            ApplyRow<4>(row, x0, values, n, rop);
            break;
        case 8:
            ApplyRow<8>(row, x0, values, n, rop);
            break;
        case 16:
            ApplyRow<16>(row, x0, values, n, rop);
            break;
        case 24:
            ApplyRow<24>(row, x0, values, n, rop);
            break;
        default:
            ApplyRow<32>(row, x0, values, n, rop);
            break;
    }
}

// 24/32-bit to 24/32-bit: bytes move directly, without the value buffer.
// A null column list means consecutive source columns from `first`.
template <int SrcBpp, int DstBpp, RasterOp Rop>
void DirectRow(const std::uint8_t* src, const std::int32_t* columns, std::int64_t first, std::uint8_t* dst,
               std::int64_t x0, std::size_t n) {
    constexpr std::uint32_t mask = (SrcBpp == 32 && DstBpp == 32) ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (std::size_t k = 0; k < n; ++k) {
        const std::int64_t sx = columns ? columns[k] : first + static_cast<std::int64_t>(k);
        std::uint32_t v = LoadValue<SrcBpp>(src, sx) & mask;
        if constexpr (Rop == RasterOp::SrcAnd) v &= LoadValue<DstBpp>(dst, x0 + k);
        if constexpr (Rop == RasterOp::SrcPaint) v |= LoadValue<DstBpp>(dst, x0 + k);
        StoreValue<DstBpp>(dst, x0 + k, v);
    }
}

using DirectFn = void (*)(const std::uint8_t*, const std::int32_t*, std::int64_t, std::uint8_t*, std::int64_t,
                          std::size_t);

template <int SrcBpp, int DstBpp>
DirectFn PickDirect(RasterOp rop) {
    switch (rop) {
        case RasterOp::SrcAnd:
            return &DirectRow<SrcBpp, DstBpp, RasterOp::SrcAnd>;
        case RasterOp::SrcPaint:
            return &DirectRow<SrcBpp, DstBpp, RasterOp::SrcPaint>;
        default:
            return &DirectRow<SrcBpp, DstBpp, RasterOp::SrcCopy>;
    }
}

DirectFn DirectFor(int srcBpp, int dstBpp, RasterOp rop) {
    if (srcBpp == 24 && dstBpp == 24) return PickDirect<24, 24>(rop);
    if (srcBpp == 24 && dstBpp == 32) return PickDirect<24, 32>(rop);
    if (srcBpp == 32 && dstBpp == 24) return PickDirect<32, 24>(rop);
    if (srcBpp == 32 && dstBpp == 32) return PickDirect<32, 32>(rop);
    return nullptr;
}

void Copy(Surface& dst, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, const Surface& src,
          std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh, RasterOp rop) {
    const AxisMap cols = MapAxis(x, w, dst.width(), sx, sw, src.width());
    const AxisMap rows = MapAxis(y, h, dst.height(), sy, sh, src.height());
    if (cols.source.empty() || rows.source.empty()) return;
    const std::size_t n = cols.source.size();
    const std::int64_t x0 = cols.first;

    raster::ValueConverter convert(src, dst);
    const int bpp = dst.bpp();
    if (rop == RasterOp::SrcCopy && cols.straight && convert.identity() && bpp >= 8) {
        // Same layout on both sides: whole rows as bytes.
        const std::size_t bytesPerPixel = static_cast<std::size_t>(bpp / 8);
        for (std::size_t r = 0; r < rows.source.size(); ++r) {
            std::uint8_t* to = dst.row(static_cast<std::int32_t>(rows.first + static_cast<std::int64_t>(r)));
            const std::uint8_t* from = src.row(rows.source[r]);
            std::memcpy(to + static_cast<std::size_t>(x0) * bytesPerPixel,
                        from + static_cast<std::size_t>(cols.source[0]) * bytesPerPixel, n * bytesPerPixel);
        }
        return;
    }
    if (DirectFn direct = DirectFor(src.bpp(), bpp, rop)) {
        for (std::size_t r = 0; r < rows.source.size(); ++r)
            direct(src.row(rows.source[r]), cols.straight ? nullptr : cols.source.data(), cols.source[0],
                   dst.row(static_cast<std::int32_t>(rows.first + static_cast<std::int64_t>(r))), x0, n);
        return;
    }
    std::vector<std::uint32_t> values(n);
    for (std::size_t r = 0; r < rows.source.size(); ++r) {
        FetchRowAny(src.bpp(), src.row(rows.source[r]), cols.source.data(), n, values.data(), convert);
        ApplyRowAny(bpp, dst.row(static_cast<std::int32_t>(rows.first + static_cast<std::int64_t>(r))), x0,
                    values.data(), n, rop);
    }
}

// A copy within one surface reads from a snapshot, so overlapping rectangles
// behave as if the source were read completely before anything is written.
void CopyBetween(Surface& dst, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, const Surface& src,
                 std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh, RasterOp rop) {
    if (&dst == &src) {
        const Surface snapshot = src;
        Copy(dst, x, y, w, h, snapshot, sx, sy, sw, sh, rop);
        return;
    }
    Copy(dst, x, y, w, h, src, sx, sy, sw, sh, rop);
}

}  // namespace

bool CopyBlock(DeviceContext& dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
            const DeviceContext& src, std::int32_t sx, std::int32_t sy, RasterOp rop) {
    if (!dst.surface() || !src.surface()) return false;
    if (w > 0 && h > 0) CopyBetween(*dst.surface(), x, y, w, h, *src.surface(), sx, sy, w, h, rop);
    return true;
}

bool StretchBlock(DeviceContext& dst, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                const DeviceContext& src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                RasterOp rop) {
    if (!dst.surface() || !src.surface()) return false;
    CopyBetween(*dst.surface(), x, y, w, h, *src.surface(), sx, sy, sw, sh, rop);
    return true;
}

}  // namespace crossmeld
