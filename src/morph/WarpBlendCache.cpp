#include "morph/WarpBlendCache.h"

#include <cstring>
#include <limits>

#include "base/Error.h"
#include "base/TwoHalves.h"

namespace crossmeld::MeshWarp {

bool WarpBlendCache::Matches(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                             const TriangleList& endList, const PixelGrid& frame,
                             const TriangleList& frameList) const {
    return m_valid && m_frameExtent == GridExtent{frame.GridWidth(), frame.GridHeight()} &&
           m_startExtent == UsableExtent(start) && m_endExtent == UsableExtent(end) && m_frame == frameList &&
           m_start == startList && m_end == endList && frame.Bits.size() >= m_identifiers.size() &&
           std::memcmp(frame.Bits.data(), m_identifiers.data(), m_identifiers.size()) == 0;
}

void WarpBlendCache::Build(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                           const TriangleList& endList, const PixelGrid& frame, const TriangleList& frameList) {
    m_valid = false;
    const std::int32_t W = frame.GridWidth(), H = frame.GridHeight();
    const std::size_t pixels = static_cast<std::size_t>(W) * static_cast<std::size_t>(H);
    if (pixels >= std::numeric_limits<std::uint32_t>::max()) throw Error(ErrorKind::Overflow);
    const GridExtent se = UsableExtent(start), ee = UsableExtent(end);
    m_fromStart.assign(pixels, kKeep);
    // Every pixel maps on its own, so the rows are shared out over both
    // cores; each half has its own mapper (its memo of the last triangle
    // only saves work). The end map is stored only when it differs from the
    // start map (never for equal meshes): for moved meshes in the same pass,
    // otherwise by a second pass when it turns out to differ.
    const bool bothMaps = !(startList == endList);
    m_fromEnd = {};
    if (bothMaps) m_fromEnd.assign(pixels, kKeep);
    bool identityHalves[2] = {true, true};
    bool endDiffers[2] = {false, false};
    const auto mapRows = [&](std::int32_t firstRow, std::int32_t endRow, bool storeEnd) {
        const int half = firstRow == 0 ? 0 : 1;
        PixelMapper mapper(startList, endList, frameList, W, H);
        SourcePositions pos;
        bool identity = true;
        bool differs = false;
        std::size_t i = static_cast<std::size_t>(firstRow) * static_cast<std::size_t>(W);
        for (std::int32_t y = firstRow; y < endRow; ++y) {
            for (std::int32_t x = 0; x < W; ++x, ++i) {
                if (!mapper.Map(x, y, frame.Bits.data() + 4 * i, pos)) {
                    identity = false;
                    continue;
                }
                if (!se.Contains(pos.xs, pos.ys) || !ee.Contains(pos.xe, pos.ye))
                    throw Error(ErrorKind::SubscriptOutOfRange);
                const auto fromStart = static_cast<std::uint32_t>(pos.ys) * static_cast<std::uint32_t>(se.width) +
                                       static_cast<std::uint32_t>(pos.xs);
                const auto fromEnd = static_cast<std::uint32_t>(pos.ye) * static_cast<std::uint32_t>(ee.width) +
                                     static_cast<std::uint32_t>(pos.xe);
                if (storeEnd || bothMaps) m_fromEnd[i] = fromEnd;
                if (storeEnd) continue;
                m_fromStart[i] = fromStart;
                if (fromStart != i || fromEnd != i) identity = false;
                if (fromEnd != fromStart) differs = true;
            }
        }
        if (storeEnd) return;
        identityHalves[half] = identity;
        endDiffers[half] = differs;
    };
    ForTwoHalves(H, [&](std::int32_t firstRow, std::int32_t endRow) { mapRows(firstRow, endRow, false); });
    m_identity = identityHalves[0] && identityHalves[1] && se.width == W && ee.width == W;
    m_oneMap = !endDiffers[0] && !endDiffers[1];
    if (m_identity) {
        m_fromStart = {};
        m_fromEnd = {};
    } else if (m_oneMap) {
        m_fromEnd = {};
    } else if (!bothMaps) {
        m_fromEnd.assign(pixels, kKeep);
        ForTwoHalves(H, [&](std::int32_t firstRow, std::int32_t endRow) { mapRows(firstRow, endRow, true); });
    }
    m_identifiers.assign(frame.Bits.begin(), frame.Bits.begin() + static_cast<std::ptrdiff_t>(4 * pixels));
    m_start = startList;
    m_end = endList;
    m_frame = frameList;
    m_startExtent = se;
    m_endExtent = ee;
    m_frameExtent = {W, H};
    m_valid = true;
}

void WarpBlendCache::WarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                                    const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList,
                                    float w) {
    CheckFrameGrid(frame);
    if (!Matches(start, startList, end, endList, frame, frameList)) {
        try {
            Build(start, startList, end, endList, frame, frameList);
        } catch (const Error&) {
            // The mapping fails somewhere: the direct pass fails at the same
            // pixel, after blending the ones before it, as it always does.
            m_valid = false;
            m_lastPath = Path::Direct;
            MeshWarp::WarpBlendFrame(start, startList, end, endList, frame, frameList, w);
            return;
        }
    }
    const BlendTable blend(w);
    const std::size_t W = static_cast<std::size_t>(frame.GridWidth());
    m_lastPath = m_identity ? Path::Identity : Path::Mapped;
    // Each pixel is one lookup per channel: the rows go to both cores.
    ForTwoHalves(frame.GridHeight(), [&](std::int32_t firstRow, std::int32_t endRow) {
        const std::size_t first = static_cast<std::size_t>(firstRow) * W;
        const std::size_t last = static_cast<std::size_t>(endRow) * W;
        std::uint8_t* out = frame.Bits.data() + 4 * first;
        const std::uint8_t* s = start.Bits.data();
        const std::uint8_t* e = end.Bits.data();
        if (m_identity) {
            s += 4 * first;
            e += 4 * first;
            for (std::size_t i = first; i < last; ++i, out += 4, s += 4, e += 4) {
                out[0] = blend(s[0], e[0]);
                out[1] = blend(s[1], e[1]);
                out[2] = blend(s[2], e[2]);
            }
            return;
        }
        for (std::size_t i = first; i < last; ++i, out += 4) {
            if (m_fromStart[i] == kKeep) continue;
            const std::uint8_t* sp = s + 4 * static_cast<std::size_t>(m_fromStart[i]);
            const std::uint8_t* ep = e + 4 * static_cast<std::size_t>(m_oneMap ? m_fromStart[i] : m_fromEnd[i]);
            out[0] = blend(sp[0], ep[0]);
            out[1] = blend(sp[1], ep[1]);
            out[2] = blend(sp[2], ep[2]);
        }
    });
}

}  // namespace crossmeld::MeshWarp
