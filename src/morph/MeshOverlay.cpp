#include "morph/MeshOverlay.h"

#include "base/Numeric.h"

namespace crossmeld::MeshWarp {

void DrawMeshOverlay(PictureBox& picture, const ControlMesh& mesh, std::int32_t s) {
    const std::int32_t radius = mesh.PointRadius;
    picture.Cls();
    picture.SetForeColor(mesh.PointColor);
    DeviceContext& dc = *picture.Context();
    for (std::int32_t r = 1; r <= mesh.Rows + 1; ++r) {
        for (std::int32_t c = 1; c <= mesh.Columns + 1; ++c) {
            const Point p = mesh.Points(c, r);
            const std::int32_t x = CheckedMul(s, p.x), y = CheckedMul(s, p.y);
            dc.Ellipse(CheckedSub(x, radius), CheckedSub(y, radius), CheckedAdd(x, radius), CheckedAdd(y, radius));
        }
    }
    picture.SetForeColor(mesh.LineColor);
    auto scaled = [&](std::int32_t c, std::int32_t r) {
        const Point p = mesh.Points(c, r);
        return Point{CheckedMul(s, p.x), CheckedMul(s, p.y)};
    };
    for (std::int32_t j = 1; j <= mesh.Rows; ++j) {
        for (std::int32_t i = 1; i <= mesh.Columns; ++i) {
            // The cell's outline clockwise from its top-left corner, then the diagonal.
            const Point tl = scaled(i, j), tr = scaled(i + 1, j), br = scaled(i + 1, j + 1), bl = scaled(i, j + 1);
            dc.MoveTo(tl.x, tl.y);
            dc.LineTo(tr.x, tr.y);
            dc.LineTo(br.x, br.y);
            dc.LineTo(bl.x, bl.y);
            dc.LineTo(tl.x, tl.y);
            dc.LineTo(br.x, br.y);
        }
    }
    picture.Refresh();
}

}  // namespace crossmeld::MeshWarp
