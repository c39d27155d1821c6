#pragma once
// A memo for the warp-and-blend step across the frames of one run.
//
// The source position of every frame pixel depends only on the identifier
// raster and the three triangle lists, not on the weight. While those stay
// the same from one frame to the next (always, when the start and end meshes
// are equal), the positions found for the first frame are reused and each
// further frame is a table lookup per byte. When every pixel maps onto
// itself the blend reads the start and end grids in place. The result is
// the same, byte for byte, as MeshWarp::WarpBlendFrame.

#include <cstdint>
#include <vector>

#include "morph/ControlMesh.h"
#include "morph/PixelGrid.h"
#include "morph/MeshWarp.h"

namespace crossmeld::MeshWarp {

class WarpBlendCache {
public:
    void WarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                        const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w);

    // How the last frame was made, for tests and benchmarks.
    enum class Path { Direct, Mapped, Identity };
    Path lastPath() const noexcept { return m_lastPath; }

private:
    bool Matches(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                 const TriangleList& endList, const PixelGrid& frame, const TriangleList& frameList) const;
    void Build(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
               const TriangleList& endList, const PixelGrid& frame, const TriangleList& frameList);

    static constexpr std::uint32_t kKeep = 0xFFFFFFFFu;

    bool m_valid = false;
    bool m_identity = false;
    bool m_oneMap = false;  // m_fromStart serves the end grid too
    std::vector<std::uint8_t> m_identifiers;  // the frame grid the plan was made from
    TriangleList m_start, m_end, m_frame;
    GridExtent m_startExtent, m_endExtent, m_frameExtent;
    // Per frame pixel: the pixel index in the start and the end grid, or kKeep.
    std::vector<std::uint32_t> m_fromStart, m_fromEnd;
    Path m_lastPath = Path::Direct;
};

}  // namespace crossmeld::MeshWarp
