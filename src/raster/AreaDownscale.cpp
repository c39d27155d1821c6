#include "raster/AreaDownscale.h"

#include <algorithm>

#include "base/Numeric.h"

namespace crossmeld {

namespace {

// How much of each source index lies under each target index along one
// axis of n source and m target pixels. In units where a source pixel is m
// long and a target pixel n long, both cover [0, n m) and every overlap is
// a whole number; the weights of one target pixel add up to n.
struct Span1D {
    std::int32_t first = 0;              // first source index it touches
    std::vector<std::uint32_t> weights;  // from first on
};

std::vector<Span1D> Spans(std::int32_t n, std::int32_t m) {
    std::vector<Span1D> spans(static_cast<std::size_t>(m));
    for (std::int32_t t = 0; t < m; ++t) {
        const std::int64_t lo = static_cast<std::int64_t>(t) * n, hi = lo + n;
        const auto first = static_cast<std::int32_t>(lo / m);
        const auto last = static_cast<std::int32_t>((hi - 1) / m);
        Span1D& s = spans[static_cast<std::size_t>(t)];
        s.first = first;
        for (std::int32_t i = first; i <= last; ++i) {
            const std::int64_t a = std::max<std::int64_t>(lo, static_cast<std::int64_t>(i) * m);
            const std::int64_t b = std::min<std::int64_t>(hi, static_cast<std::int64_t>(i + 1) * m);
            s.weights.push_back(static_cast<std::uint32_t>(b - a));
        }
    }
    return spans;
}

}  // namespace

PixelSize FitInBox(PixelSize source, PixelSize box) {
    if (source.width < 1 || source.height < 1 || box.width < 1 || box.height < 1) return {};
    if (source.width <= box.width && source.height <= box.height) return source;
    const std::int64_t sw = source.width, sh = source.height, bw = box.width, bh = box.height;
    // Width-bound when the box is relatively narrower than the picture.
    if (bw * sh <= bh * sw)
        return {box.width,
                std::max(1, ToInt32(static_cast<double>(sh) * static_cast<double>(bw) / static_cast<double>(sw)))};
    return {std::max(1, ToInt32(static_cast<double>(sw) * static_cast<double>(bh) / static_cast<double>(sh))),
            box.height};
}

std::vector<std::uint8_t> AreaDownscale(std::span<const std::uint8_t> bgrx, PixelSize source, PixelSize target) {
    if (source.width < 1 || source.height < 1 || target.width < 1 || target.height < 1) return {};
    const std::size_t sw = static_cast<std::size_t>(source.width), sh = static_cast<std::size_t>(source.height);
    const std::size_t tw = static_cast<std::size_t>(target.width), th = static_cast<std::size_t>(target.height);
    if (bgrx.size() < 4 * sw * sh) return {};
    const std::vector<Span1D> across = Spans(source.width, target.width);
    const std::vector<Span1D> down = Spans(source.height, target.height);

    // Columns first: each source row becomes tw sums of weight source.width.
    std::vector<std::uint64_t> rows(3 * tw * sh);
    for (std::size_t y = 0; y < sh; ++y) {
        const std::uint8_t* in = bgrx.data() + 4 * sw * y;
        std::uint64_t* out = rows.data() + 3 * tw * y;
        for (std::size_t x = 0; x < tw; ++x) {
            const Span1D& s = across[x];
            std::uint64_t b = 0, g = 0, r = 0;
            const std::uint8_t* p = in + 4 * static_cast<std::size_t>(s.first);
            for (std::uint32_t w : s.weights) {
                b += w * std::uint64_t{p[0]};
                g += w * std::uint64_t{p[1]};
                r += w * std::uint64_t{p[2]};
                p += 4;
            }
            out[3 * x] = b;
            out[3 * x + 1] = g;
            out[3 * x + 2] = r;
        }
    }
    // Then rows; one division per channel, halves up.
    const std::uint64_t total = static_cast<std::uint64_t>(sw) * static_cast<std::uint64_t>(sh);
    std::vector<std::uint8_t> result(4 * tw * th, 0);
    std::vector<std::uint64_t> sum(3 * tw);
    for (std::size_t y = 0; y < th; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        const Span1D& s = down[y];
        for (std::size_t k = 0; k < s.weights.size(); ++k) {
            const std::uint64_t w = s.weights[k];
            const std::uint64_t* row = rows.data() + 3 * tw * (static_cast<std::size_t>(s.first) + k);
            for (std::size_t i = 0; i < 3 * tw; ++i) sum[i] += w * row[i];
        }
        std::uint8_t* out = result.data() + 4 * tw * y;
        for (std::size_t x = 0; x < tw; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                out[4 * x + c] = static_cast<std::uint8_t>((sum[3 * x + c] + total / 2) / total);
    }
    return result;
}

}  // namespace crossmeld
