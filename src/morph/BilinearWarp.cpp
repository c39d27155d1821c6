#include "morph/BilinearWarp.h"

#include "morph/MeshWarp.h"

namespace crossmeld::MeshWarp {

void BilinearWarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                            const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w) {
    // Placeholder until the bilinear engine lands: the nearest-pixel path.
    WarpBlendFrame(start, startList, end, endList, frame, frameList, w);
}

}  // namespace crossmeld::MeshWarp
