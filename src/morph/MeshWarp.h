#pragma once
// The triangle-mesh engine that computes every frame of the fade.
//
// For one frame the triangles are interpolated between the start mesh and
// the end mesh, painted in identifier colours (10 x i for triangle i) on a
// hidden surface, read back, and every pixel is mapped through its triangle
// into the start and the end picture and mixed with the frame's weight. All
// arithmetic follows fixed single-precision steps, so frames are
// reproducible to the bit.

#include <array>
#include <cstdint>

#include "morph/ControlMesh.h"
#include "morph/PixelGrid.h"
#include "raster/DeviceContext.h"

namespace crossmeld::MeshWarp {

// Slopes that stand in for vertical lines.
inline constexpr float kVerticalSlope = 1e20f;       // area and the weight of V1
inline constexpr float kVerticalSlopeWeight0 = 1e7f;  // the weight of V0
inline constexpr float kDegenerateFactor = 5e20f;     // 0.5 / area for an empty triangle

struct Weights {
    float w0 = 0;
    float w1 = 0;
    float w2 = 0;
};

void BuildMeshGrid(ControlMesh& mesh);
void TriangulateMesh(const ControlMesh& mesh, TriangleList& out);
void InterpolateTriangles(const TriangleList& start, const TriangleList& end, TriangleList& out, std::int32_t k,
                          std::int32_t last);
// The same at weight t: each vertex start + t (end - start), rounded.
void InterpolateTrianglesAt(const TriangleList& start, const TriangleList& end, TriangleList& out, float t);
float TriangleArea(const Point& v0, const Point& v1, const Point& v2);
Weights BarycentricWeights(const ControlTriangle& t, std::int32_t x, std::int32_t y, float area);

// Fills the polygon with a solid brush of the colour, without an outline.
void FillPolygon(DeviceContext& dc, const Point* points, std::uint32_t color, std::int32_t count);
void PaintTriangleIds(DeviceContext& dc, const TriangleList& list);

// The identifier a pixel colour decodes to (red low byte), single precision.
float DecodeIdentifier(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

// Where a frame pixel takes its colour from: (xs, ys) in the start grid and
// (xe, ye) in the end grid.
struct SourcePositions {
    std::int32_t xs = 0;
    std::int32_t ys = 0;
    std::int32_t xe = 0;
    std::int32_t ye = 0;
};

// The per-pixel mapping of the warp, pixel by pixel in row order: decodes
// the identifier, finds the weights in the frame triangle and the positions
// in the start and end triangles, clamped to the frame's size.
class PixelMapper {
public:
    PixelMapper(const TriangleList& startList, const TriangleList& endList, const TriangleList& frameList,
                std::int32_t width, std::int32_t height);
    // False when the pixel keeps its colour (its identifier names no triangle).
    bool Map(std::int32_t x, std::int32_t y, const std::uint8_t* pixel, SourcePositions& out);

private:
    const TriangleList& m_start;
    const TriangleList& m_end;
    const TriangleList& m_frame;
    std::int32_t m_width;
    std::int32_t m_height;
    float m_upper;
    float m_q = 0;     // identifier of the last mapped pixel
    float m_area = 0;  // area of its frame triangle
};

// The mix of a start byte S and an end byte E for one weight, for all pairs.
class BlendTable {
public:
    explicit BlendTable(float w);
    std::uint8_t operator()(std::uint8_t s, std::uint8_t e) const noexcept {
        return m_values[static_cast<std::size_t>(s) * 256 + e];
    }

private:
    std::array<std::uint8_t, 65536> m_values{};
};

// The addressable size of a grid (0 x 0 when its bytes do not fill it).
struct GridExtent {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool Contains(std::int32_t x, std::int32_t y) const noexcept { return x < width && y < height; }
    friend bool operator==(const GridExtent&, const GridExtent&) = default;
};
GridExtent UsableExtent(const PixelGrid& grid);
// Subscript error when the frame grid's bytes do not fill its header's size.
void CheckFrameGrid(const PixelGrid& frame);

void WarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                    const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w);

}  // namespace crossmeld::MeshWarp
