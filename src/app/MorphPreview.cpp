#include "app/MorphPreview.h"

#include <cstring>
#include <exception>
#include <new>

#include "app/PreviewMesh.h"
#include "base/Numeric.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

namespace {

// Makes the grid a 32-bit top-down one of the size (its bytes are set apart).
void SetHeader(PixelGrid& grid, PixelSize size) {
    grid.Header = BitmapInfoHeader{};
    grid.Header.size = kBitmapInfoHeaderSize;
    grid.Header.width = size.width;
    grid.Header.height = -size.height;
    grid.Header.planes = 1;
    grid.Header.bitCount = 32;
    grid.Header.compression = 0;
}

std::vector<std::uint8_t> Shrunk(const Surface& picture, PixelSize size) {
    std::vector<std::uint8_t> full(4 * static_cast<std::size_t>(picture.width()) *
                                   static_cast<std::size_t>(picture.height()));
    picture.ReadBgrx(full);
    return AreaDownscale(full, {picture.width(), picture.height()}, size);
}

}  // namespace

void MorphPreview::SetPictures(const Picture& start, const Picture& end) {
    m_startPicture = start;
    m_endPicture = end;
    m_size = {};  // shrink again even at the same size: the pixels are new
    Shrink();
}

void MorphPreview::SetBox(PixelSize box) {
    if (box == m_box) return;
    m_box = box;
    Shrink();
}

void MorphPreview::Shrink() {
    const PixelSize old = m_size;
    PixelSize fitted;
    if (m_startPicture && m_endPicture && m_startPicture.Width() == m_endPicture.Width() &&
        m_startPicture.Height() == m_endPicture.Height())
        fitted = FitInBox({m_startPicture.Width(), m_startPicture.Height()}, m_box);
    if (fitted == old && Ready()) return;
    m_size = {};
    m_frame = {};
    m_start = {};
    m_end = {};
    m_identifiers.reset();
    if (fitted.width < 1 || fitted.height < 1) return;
    try {
        SetHeader(m_start, fitted);
        m_start.Bits = Shrunk(*m_startPicture.bitmap(), fitted);
        SetHeader(m_end, fitted);
        m_end.Bits = Shrunk(*m_endPicture.bitmap(), fitted);
        m_identifiers = Surface::Create(fitted.width, fitted.height, 32);
        if (!m_identifiers || m_start.Bits.empty() || m_end.Bits.empty()) throw std::bad_alloc();
        m_size = fitted;
    } catch (const std::exception&) {
        // Out of memory or a picture without pixels: nothing to preview.
        m_start = {};
        m_end = {};
        m_identifiers.reset();
    }
}

const PixelGrid& MorphPreview::Render(const ControlMesh& startMesh, const ControlMesh& endMesh,
                                      MeshWarp::Sampling sampling, std::int32_t k, std::int32_t last) noexcept {
    if (!Ready()) {
        m_frame = {};
        return m_frame;
    }
    try {
        RenderFrame(startMesh, endMesh, sampling, k, last);
    } catch (const std::exception&) {
        m_frame = {};
    }
    return m_frame;
}

void MorphPreview::RenderFrame(const ControlMesh& startMesh, const ControlMesh& endMesh, MeshWarp::Sampling sampling,
                               std::int32_t k, std::int32_t last) {
    const bool meshes = UsableMesh(startMesh) && UsableMesh(endMesh) && startMesh.Columns == endMesh.Columns &&
                        startMesh.Rows == endMesh.Rows;
    const ControlMesh start = meshes ? ScaledMesh(startMesh, m_size) : WholeMesh(m_size);
    const ControlMesh end = meshes ? ScaledMesh(endMesh, m_size) : start;
    TriangleList startList, endList, frameList;
    MeshWarp::TriangulateMesh(start, startList);
    MeshWarp::TriangulateMesh(end, endList);
    MeshWarp::InterpolateTriangles(startList, endList, frameList, k, last);

    // The identifier raster: a 32-bit top-down surface holds exactly the
    // bytes of the frame grid. Pixels no triangle covers keep identifier 0.
    Surface& ids = *m_identifiers;
    std::memset(ids.bits(), 0, ids.sizeBytes());
    DeviceContext dc(m_identifiers);
    MeshWarp::PaintTriangleIds(dc, frameList);
    SetHeader(m_frame, m_size);
    m_frame.Bits.resize(ids.sizeBytes());
    std::memcpy(m_frame.Bits.data(), ids.bits(), ids.sizeBytes());

    // The frame loop's weight: k / last in double precision, held in single.
    const float w = ToSingle(static_cast<double>(k) / static_cast<double>(last));
    // Equal meshes go through the memo, which reads both pictures in place
    // from the second frame on. Moved meshes change the triangles with every
    // weight and every drag, so a memo would be built for one frame only: the
    // direct pass is quicker there.
    if (startList == endList)
        m_cache.WarpBlendFrame(m_start, startList, m_end, endList, m_frame, frameList, w);
    else if (sampling == MeshWarp::Sampling::Bilinear)
        MeshWarp::BilinearWarpBlendFrame(m_start, startList, m_end, endList, m_frame, frameList, w);
    else
        MeshWarp::WarpBlendFrame(m_start, startList, m_end, endList, m_frame, frameList, w);
}

}  // namespace crossmeld
