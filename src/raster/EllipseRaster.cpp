#include "raster/EllipseRaster.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "raster/Span.h"
#include "raster/WideInt.h"

namespace crossmeld::raster {

namespace {

struct Run {
    std::int64_t left = 0;
    std::int64_t right = -1;  // inclusive; right < left means empty
    bool empty() const noexcept { return right < left; }
};

std::uint64_t ISqrt(std::uint64_t v) noexcept {
    auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(v)));
    while (r > 0 && UInt128{r} * r > v) --r;
    while (UInt128{r + 1} * (r + 1) <= v) ++r;
    return r;
}

class EllipseRows {
public:
    EllipseRows(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b)
        : m_left(l), m_top(t), m_right(r), m_bottom(b), m_w(r - l), m_h(b - t) {}

    Run At(std::int64_t y) const noexcept {
        if (y < m_top || y >= m_bottom) return {};
        const std::uint64_t w = static_cast<std::uint64_t>(m_w), h = static_cast<std::uint64_t>(m_h);
        const std::int64_t sy = 2 * y + 1 - (m_top + m_bottom);
        const std::uint64_t ay = static_cast<std::uint64_t>(sy < 0 ? -sy : sy);  // |Y| < H
        // Largest X with X^2 <= W^2 - (W Y / H)^2. With W Y = a H + c, the
        // square is a^2 + (2 a c H + c^2) / H^2, rounded up; no term
        // overflows 128 bits for 32-bit boxes.
        const UInt128 m = UInt128{w} * ay;
        const UInt128 a = m / h, c = m % h;
        const UInt128 hh = UInt128{h} * h;
        const UInt128 fraction = (2 * a * c * h + c * c + hh - 1) / hh;
        const UInt128 limit = UInt128{w} * w - (a * a + fraction);
        std::int64_t x = static_cast<std::int64_t>(ISqrt(static_cast<std::uint64_t>(limit)));
        // X has the parity of W + 1.
        if (((x ^ (m_w + 1)) & 1) != 0) --x;
        if (x < 0) return {};
        const std::int64_t sum = m_left + m_right - 1;
        return {(sum - x) / 2, (sum + x) / 2};
    }

private:
    std::int64_t m_left, m_top, m_right, m_bottom, m_w, m_h;
};

void FillClipped(Surface& s, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t raw) {
    x0 = std::max<std::int64_t>(x0, 0);
    x1 = std::min<std::int64_t>(x1, s.width());
    if (x0 < x1)
        FillSpan(s, static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0), static_cast<std::int32_t>(x1), raw);
}

}  // namespace

void DrawEllipse(Surface& surface, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                 std::optional<std::uint32_t> pen, std::optional<std::uint32_t> brush) {
    if (!pen && !brush) return;
    std::int64_t l = left, t = top, r = right, b = bottom;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (l == r || t == b) return;
    const EllipseRows rows(l, t, r, b);
    const std::int64_t y0 = std::max<std::int64_t>(t, 0), y1 = std::min<std::int64_t>(b, surface.height());
    if (y0 >= y1) return;

    Run above = rows.At(y0 - 1), here = rows.At(y0);
    for (std::int64_t y = y0; y < y1; ++y) {
        Run below = rows.At(y + 1);
        if (!here.empty()) {
            // Outline runs [here.left, inL] and [inR, here.right]; the pixels
            // between them are covered by both neighbours' runs.
            std::int64_t inL = here.right, inR = here.left;
            if (!above.empty() && !below.empty()) {
                inL = std::max(here.left, std::max(above.left, below.left) - 1);
                inR = std::min(here.right, std::min(above.right, below.right) + 1);
            }
            if (inL + 1 >= inR) {
                // The whole run is outline.
                if (pen)
                    FillClipped(surface, y, here.left, here.right + 1, *pen);
                else
                    FillClipped(surface, y, here.left, here.right + 1, *brush);
            } else if (pen) {
                if (brush) FillClipped(surface, y, inL + 1, inR, *brush);
                FillClipped(surface, y, here.left, inL + 1, *pen);
                FillClipped(surface, y, inR, here.right + 1, *pen);
            } else {
                FillClipped(surface, y, here.left, here.right + 1, *brush);
            }
        }
        above = here;
        here = below;
    }
}

}  // namespace crossmeld::raster
