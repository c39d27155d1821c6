#pragma once
// The triangle-mesh engine that computes every frame of the fade.
//
// For one frame the triangles are interpolated between the start mesh and
// the end mesh, painted in identifier colours (10 x i for triangle i) on a
// hidden surface, read back, and every pixel is mapped through its triangle
// into the start and the end picture and mixed with the frame's weight. All
// arithmetic follows fixed single-precision steps, so frames are
// reproducible to the bit.

#include <cstdint>

#include "fade/ControlMesh.h"
#include "fade/PixelGrid.h"
#include "platform/raster/DeviceContext.h"

namespace crossmeld::modMorphImage {

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
float TriangleArea(const Point& v0, const Point& v1, const Point& v2);
Weights BarycentricWeights(const ControlTriangle& t, std::int32_t x, std::int32_t y, float area);

// Fills the polygon with a solid brush of the colour, without an outline.
void FillPolygon(DeviceContext& dc, const Point* points, std::uint32_t color, std::int32_t count);
void PaintTriangleIds(DeviceContext& dc, const TriangleList& list);

// The identifier a pixel colour decodes to (red low byte), single precision.
float DecodeIdentifier(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

void WarpBlendFrame(const PixelGrid& start, const TriangleList& startList, const PixelGrid& end,
                    const TriangleList& endList, PixelGrid& frame, const TriangleList& frameList, float w);

}  // namespace crossmeld::modMorphImage
