#include "morph/BilinearWarp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/Error.h"
#include "base/Numeric.h"
#include "base/TwoHalves.h"
#include "morph/BilinearRun.h"
#include "morph/MeshWarp.h"

namespace crossmeld::MeshWarp {

namespace {

// Fixed-point positions need (side - 1) << kFracBits to fit 31 bits.
constexpr std::int32_t kMaxSourceSide = 1 << 16;

// One coordinate of an affine map, a * x + b * y + c, scaled to fixed point
// and offset by one half so that truncation rounds to the nearest step.
struct AffineAxis {
    double a = 0;
    double b = 0;
    double c = 0;
    double At(std::int32_t x, std::int32_t y) const noexcept { return a * x + b * y + c; }
};

// The maps of one frame triangle onto its start and end triangles.
struct TriangleMap {
    bool present = false;  // false: the start or end list has no such triangle
    AffineAxis sx, sy, ex, ey;
};

// The affine map taking the frame triangle f onto t, in double. The frame
// triangle's vertices are whole pixels, so twice its area is a whole number
// (exact in double below 2^26): either 0 or at least 1 in magnitude, and no
// coefficient can blow up.
// A frame triangle of zero area (interpolated vertices can meet or line up)
// has no such map; its pixels move by the displacement of the centroid, the
// average motion of its three vertices. That is continuous with the
// neighbouring triangles' maps as the triangle collapses, and an unmoved
// triangle stays the identity.
void MapAxes(const ControlTriangle& f, const ControlTriangle& t, AffineAxis& ax, AffineAxis& ay) {
    const double f0x = f.V0.x, f0y = f.V0.y;
    const double e1x = f.V1.x - f0x, e1y = f.V1.y - f0y;
    const double e2x = f.V2.x - f0x, e2y = f.V2.y - f0y;
    const double det = e1x * e2y - e1y * e2x;
    const double scale = kFracOne;
    if (det == 0) {
        const double dx = (static_cast<double>(t.V0.x) + t.V1.x + t.V2.x - f0x - f.V1.x - f.V2.x) / 3.0;
        const double dy = (static_cast<double>(t.V0.y) + t.V1.y + t.V2.y - f0y - f.V1.y - f.V2.y) / 3.0;
        ax = {scale, 0, dx * scale + 0.5};
        ay = {0, scale, dy * scale + 0.5};
        return;
    }
    // P - F0 = l1 e1 + l2 e2, and the image is T0 + l1 (T1 - T0) + l2 (T2 - T0).
    const auto axis = [&](double t0, double t1, double t2) {
        const double s1 = t1 - t0, s2 = t2 - t0;
        const double a = (s1 * e2y - s2 * e1y) / det;
        const double b = (s2 * e1x - s1 * e2x) / det;
        const double c = t0 - a * f0x - b * f0y;
        return AffineAxis{a * scale, b * scale, c * scale + 0.5};
    };
    ax = axis(t.V0.x, t.V1.x, t.V2.x);
    ay = axis(t.V0.y, t.V1.y, t.V2.y);
}

std::vector<TriangleMap> MapTriangles(const TriangleList& startList, const TriangleList& endList,
                                      const TriangleList& frameList) {
    std::vector<TriangleMap> maps(static_cast<std::size_t>(frameList.UpperIndex()) + 1);
    const std::int32_t known = std::min({startList.UpperIndex(), endList.UpperIndex(), frameList.UpperIndex()});
    for (std::int32_t i = 1; i <= known; ++i) {
        TriangleMap& m = maps[static_cast<std::size_t>(i)];
        MapAxes(frameList(i), startList(i), m.sx, m.sy);
        MapAxes(frameList(i), endList(i), m.ex, m.ey);
        m.present = true;
    }
    return maps;
}

// A picture ready for the kernel: grids narrower or lower than 2 pixels are
// copied with their last column or row repeated (the clamp never gives the
// copy any weight).
struct PreparedSource {
    SampleSource source;
    double maxX = 0;  // (width - 1) << kFracBits, plus the rounding half
    double maxY = 0;
    bool usable = false;
    std::vector<std::uint8_t> padded;
};

void Prepare(const PixelGrid& grid, PreparedSource& out) {
    const GridExtent ext = UsableExtent(grid);
    if (ext.width == 0) return;  // usable stays false: a covered pixel raises
    if (ext.width > kMaxSourceSide || ext.height > kMaxSourceSide) throw Error(ErrorKind::Overflow);
    out.usable = true;
    out.maxX = static_cast<double>(ext.width - 1) * kFracOne + 0.5;
    out.maxY = static_cast<double>(ext.height - 1) * kFracOne + 0.5;
    if (ext.width >= 2 && ext.height >= 2) {
        out.source = {grid.Bits.data(), ext.width, ext.height};
        return;
    }
    const std::int32_t w = std::max(ext.width, 2), h = std::max(ext.height, 2);
    out.padded.resize(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            std::memcpy(
                &out.padded[PixelGrid::Offset(0, x, y, w)],
                &grid.Bits[PixelGrid::Offset(0, std::min(x, ext.width - 1), std::min(y, ext.height - 1), ext.width)],
                4);
    out.source = {out.padded.data(), w, h};
}

// The end of the run of pixels of the colour (low three bytes) that starts
// at x: the first later pixel of another colour, or the row's width.
std::int32_t RunEnd(const std::uint8_t* row, std::int32_t x, std::int32_t width, std::uint32_t colour) {
    const auto colourAt = [row](std::int32_t i) {
        std::uint32_t pixel;
        std::memcpy(&pixel, row + 4 * static_cast<std::size_t>(i), 4);
        return pixel & 0x00FFFFFFu;
    };
    std::int32_t last = x + 1;
#if defined(__SSE2__)
    // Four pixels per comparison.
    const __m128i want = _mm_set1_epi32(static_cast<std::int32_t>(colour)), mask = _mm_set1_epi32(0x00FFFFFF);
    for (; last + 4 <= width; last += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::size_t>(last)));
        const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, mask), want)));
        if (same != 0xFFFFu) return last + std::countr_zero(~same) / 4;
    }
#endif
    while (last < width && colourAt(last) == colour) ++last;
    return last;
}

}  // namespace

void BilinearWarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                            const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w) {
    CheckFrameGrid(frame);
    // Outside [0, 1] the mix leaves the byte range.
    if (!(w >= 0.0f && w <= 1.0f)) throw Error(ErrorKind::Overflow);
    const std::int32_t W = frame.GridWidth(), H = frame.GridHeight();
    if (W == 0 || H == 0) return;
    PreparedSource ps, pe;
    Prepare(start, ps);
    Prepare(end, pe);
    const std::vector<TriangleMap> maps = MapTriangles(startList, endList, frameList);
    const float upper = static_cast<float>(frameList.UpperIndex());
    const std::int32_t wq = ToInt32(static_cast<double>(w) * kFracOne);
    const double max[4] = {ps.maxX, ps.maxY, pe.maxX, pe.maxY};
    const RunSources sources = MakeRunSources(ps.source, pe.source, max, wq);

    // Which triangle a colour names (0: none), as the nearest path decodes it.
    const auto identify = [&](std::uint32_t colour) -> std::int32_t {
        const float n = DecodeIdentifier(static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
                                         static_cast<std::uint8_t>(colour >> 16));
        if (n > upper) return 0;
        const std::int32_t id = ToInt32(n);
        return id < 1 ? 0 : id;
    };

    ForTwoHalves(H, [&](std::int32_t firstRow, std::int32_t endRow) {
        for (std::int32_t y = firstRow; y < endRow; ++y) {
            std::uint8_t* row = frame.Bits.data() + PixelGrid::Offset(0, 0, y, W);
            // A run of one colour lies in one triangle.
            for (std::int32_t x = 0; x < W;) {
                std::uint32_t colour;
                std::memcpy(&colour, row + 4 * static_cast<std::size_t>(x), 4);
                colour &= 0x00FFFFFFu;
                const std::int32_t last = RunEnd(row, x, W, colour);
                const std::int32_t id = identify(colour);
                if (id != 0) {
                    const TriangleMap& m = maps[static_cast<std::size_t>(id)];
                    if (!m.present || !ps.usable || !pe.usable) throw Error(ErrorKind::SubscriptOutOfRange);
                    const double first[4] = {m.sx.At(x, y), m.sy.At(x, y), m.ex.At(x, y), m.ey.At(x, y)};
                    const double step[4] = {m.sx.a, m.sy.a, m.ex.a, m.ey.a};
                    MixRun(sources, row + 4 * static_cast<std::size_t>(x), last - x, first, step);
                }
                x = last;
            }
        }
    });
}

}  // namespace crossmeld::MeshWarp
