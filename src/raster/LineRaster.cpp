#include "raster/LineRaster.h"

#include <algorithm>
#include <cstdlib>

#include "raster/Span.h"
#include "raster/WideInt.h"

namespace crossmeld::raster {

namespace {

// Steps i with lo <= start + dir * i < hi, intersected with [from, to).
void ClipSteps(std::int64_t start, int dir, std::int64_t lo, std::int64_t hi, std::int64_t& from, std::int64_t& to) {
    if (dir > 0) {
        from = std::max(from, lo - start);
        to = std::min(to, hi - start);
    } else {
        from = std::max(from, start - hi + 1);
        to = std::min(to, start - lo + 1);
    }
}

}  // namespace

void DrawLine(Surface& surface, Point a, Point b, std::uint32_t raw) {
    const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
    const std::int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const std::int64_t n = std::max(adx, ady);
    if (n == 0) return;

    const bool xMajor = adx >= ady;
    const std::int64_t major0 = xMajor ? a.x : a.y, minor0 = xMajor ? a.y : a.x;
    const int majorDir = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t dm = xMajor ? ady : adx;
    const int minorDir = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const std::int64_t majorSize = xMajor ? surface.width() : surface.height();
    const std::int64_t minorSize = xMajor ? surface.height() : surface.width();

    // Minor offset at step i: floor((2 i dm + n - 1) / (2 n)), nondecreasing in i.
    const std::int64_t den = 2 * n;
    auto offset = [&](std::int64_t i) { return static_cast<std::int64_t>((Int128{2 * i} * dm + n - 1) / den); };

    std::int64_t from = 0, to = n;
    ClipSteps(major0, majorDir, 0, majorSize, from, to);
    if (from >= to) return;
    // Visible minor offsets: [lo, hi].
    std::int64_t lo, hi;
    if (minorDir > 0) {
        lo = -minor0;
        hi = minorSize - 1 - minor0;
    } else {
        lo = minor0 - (minorSize - 1);
        hi = minor0;
    }
    if (hi < 0 || lo > offset(to - 1)) return;
    // First step with offset >= lo and first step with offset > hi.
    auto firstAbove = [&](std::int64_t limit) {
        std::int64_t l = from, h = to;
        while (l < h) {
            std::int64_t m = l + (h - l) / 2;
            if (offset(m) > limit)
                h = m;
            else
                l = m + 1;
        }
        return l;
    };
    from = firstAbove(lo - 1);
    to = firstAbove(hi);
    if (from >= to) return;

    Int128 num = Int128{2 * from} * dm + n - 1;
    std::int64_t off = static_cast<std::int64_t>(num / den);
    std::int64_t rem = static_cast<std::int64_t>(num % den);
    for (std::int64_t i = from; i < to; ++i) {
        std::int64_t major = major0 + majorDir * i, minor = minor0 + minorDir * off;
        if (xMajor)
            StorePixel(surface, static_cast<std::int32_t>(major), static_cast<std::int32_t>(minor), raw);
        else
            StorePixel(surface, static_cast<std::int32_t>(minor), static_cast<std::int32_t>(major), raw);
        rem += 2 * dm;
        if (rem >= den) {
            rem -= den;
            ++off;
        }
    }
}

}  // namespace crossmeld::raster
