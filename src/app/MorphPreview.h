#pragma once
// The frame of the morph at any weight, at preview size, for a window that
// shows it live while the control points move.
//
// The two pictures are shrunk once (area average) to the largest size of
// their aspect that fits the preview box, never enlarged. A frame is then
// made as the create command makes one, only smaller: the meshes scaled to
// preview pixels (rounded to whole pixels), cut into triangles and
// interpolated, the identifiers painted on an offscreen surface, and the
// pixels warped and blended. Equal meshes take the nearest-pixel path (an
// exact cross-dissolve), moved meshes the chosen sampling.

#include <cstdint>
#include <memory>

#include "morph/BilinearWarp.h"
#include "morph/ControlMesh.h"
#include "morph/PixelGrid.h"
#include "morph/WarpBlendCache.h"
#include "raster/AreaDownscale.h"
#include "raster/Picture.h"
#include "raster/Surface.h"

namespace crossmeld {

class MorphPreview {
public:
    // Takes the pictures (shared, not copied) and shrinks them to the box.
    // Nothing is rendered while either is missing or their sizes differ.
    void SetPictures(const Picture& start, const Picture& end);
    // The box the preview must fit in; the pictures are shrunk again only
    // when the fitted size changes.
    void SetBox(PixelSize box);

    // Whether a frame can be made: two pictures of one size and a box.
    bool Ready() const noexcept { return m_size.width > 0 && m_size.height > 0; }
    // The preview size (0 x 0 while not ready).
    PixelSize Size() const noexcept { return m_size; }
    // The shrunk pictures (an empty grid while not ready).
    const PixelGrid& StartPixels() const noexcept { return m_start; }
    const PixelGrid& EndPixels() const noexcept { return m_end; }

    // The frame at weight k / last (the create command's frame k of last + 1)
    // for meshes in the pictures' pixel coordinates (each scaled from its
    // own Width x Height). Meshes that cannot be cut into matching triangles
    // give the plain cross-dissolve. Never throws: a frame that cannot be
    // made is an empty grid (0 x 0, no bytes), as is every frame while not
    // ready.
    const PixelGrid& Render(const ControlMesh& startMesh, const ControlMesh& endMesh, MeshWarp::Sampling sampling,
                            std::int32_t k, std::int32_t last) noexcept;
    const PixelGrid& Frame() const noexcept { return m_frame; }

private:
    void Shrink();
    void RenderFrame(const ControlMesh& startMesh, const ControlMesh& endMesh, MeshWarp::Sampling sampling,
                     std::int32_t k, std::int32_t last);

    Picture m_startPicture;
    Picture m_endPicture;
    PixelSize m_box;
    PixelSize m_size;
    PixelGrid m_start;
    PixelGrid m_end;
    PixelGrid m_frame;
    std::shared_ptr<Surface> m_identifiers;  // 32-bit, preview size
    MeshWarp::WarpBlendCache m_cache;
};

}  // namespace crossmeld
