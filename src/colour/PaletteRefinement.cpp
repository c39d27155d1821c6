#include "colour/PaletteRefinement.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "base/Error.h"
#include "base/Numeric.h"
#include "colour/Palette256.h"
#include "raster/DibSurface.h"
#include "raster/MapPixelsAsArray.h"

namespace crossmeld {

namespace {

struct Colour {
    std::int32_t r, g, b;
};

// The entries sorted by red, for a nearest search that starts at the
// sample's red and stops once red alone is farther than the best so far.
class NearestSearch {
public:
    explicit NearestSearch(const std::vector<Colour>& entries) : m_entries(entries) {
        m_order.resize(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) m_order[i] = i;
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](std::size_t a, std::size_t b) { return entries[a].r < entries[b].r; });
    }

    std::size_t Nearest(std::int32_t r, std::int32_t g, std::int32_t b) const {
        const auto start = static_cast<std::size_t>(
            std::lower_bound(m_order.begin(), m_order.end(), r,
                             [&](std::size_t i, std::int32_t red) { return m_entries[i].r < red; }) -
            m_order.begin());
        std::size_t best = m_order.size();
        std::int32_t bestDistance = INT32_MAX;
        auto consider = [&](std::size_t i) {
            const Colour& e = m_entries[i];
            const std::int32_t dr = r - e.r, dg = g - e.g, db = b - e.b;
            const std::int32_t d = dr * dr + dg * dg + db * db;
            if (d < bestDistance || (d == bestDistance && i < best)) {
                bestDistance = d;
                best = i;
            }
        };
        // Upwards and downwards from the first entry whose red is not below
        // the sample's; each side ends where red alone passes the best.
        for (std::size_t k = start; k < m_order.size(); ++k) {
            const std::int32_t dr = m_entries[m_order[k]].r - r;
            if (dr * dr > bestDistance) break;
            consider(m_order[k]);
        }
        for (std::size_t k = start; k-- > 0;) {
            const std::int32_t dr = r - m_entries[m_order[k]].r;
            if (dr * dr > bestDistance) break;
            consider(m_order[k]);
        }
        return best;
    }

private:
    const std::vector<Colour>& m_entries;
    std::vector<std::size_t> m_order;
};

}  // namespace

void RefinePalette(Palette256& palette, const DibSurface& samples, std::int32_t passes) {
    if (samples.BPP() != 32 || palette.Entries() < 1)
        throw Error(ErrorKind::InvalidProcedureCall, "A palette is refined on 32-bit samples");
    std::vector<Colour> entries(static_cast<std::size_t>(palette.Entries()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto e = static_cast<std::uint8_t>(i);
        entries[i] = {palette.Red(e), palette.Green(e), palette.Blue(e)};
    }
    const MapPixelsAsArray pixels(samples);
    struct Sum {
        std::int64_t r = 0, g = 0, b = 0, n = 0;
    };
    std::vector<Sum> sums(entries.size());
    for (std::int32_t pass = 0; pass < passes; ++pass) {
        std::fill(sums.begin(), sums.end(), Sum{});
        const NearestSearch search(entries);
        for (std::int32_t y = 0; y < pixels.Rows(); ++y) {
            const auto row = pixels.Row(y);
            for (std::size_t p = 0; p < row.size(); p += 4) {
                const std::int32_t b = row[p], g = row[p + 1], r = row[p + 2];
                Sum& s = sums[search.Nearest(r, g, b)];
                s.r += r;
                s.g += g;
                s.b += b;
                ++s.n;
            }
        }
        bool moved = false;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Sum& s = sums[i];
            if (s.n == 0) continue;
            const auto n = static_cast<double>(s.n);
            const Colour mean{ToByte(static_cast<double>(s.r) / n), ToByte(static_cast<double>(s.g) / n),
                              ToByte(static_cast<double>(s.b) / n)};
            if (mean.r != entries[i].r || mean.g != entries[i].g || mean.b != entries[i].b) moved = true;
            entries[i] = mean;
        }
        if (!moved) break;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto e = static_cast<std::uint8_t>(i);
        palette.SetRed(e, static_cast<std::uint8_t>(entries[i].r));
        palette.SetGreen(e, static_cast<std::uint8_t>(entries[i].g));
        palette.SetBlue(e, static_cast<std::uint8_t>(entries[i].b));
    }
    palette.BuildLogicalPalette();
}

}  // namespace crossmeld
