#include "app/PreviewMesh.h"

#include "base/Numeric.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

bool UsableMesh(const ControlMesh& mesh) noexcept {
    if (mesh.Columns < 1 || mesh.Rows < 1 || mesh.Width < 1 || mesh.Height < 1) return false;
    const std::int64_t points =
        (static_cast<std::int64_t>(mesh.Columns) + 1) * (static_cast<std::int64_t>(mesh.Rows) + 1);
    return static_cast<std::int64_t>(mesh.PointStore.size()) == points;
}

ControlMesh ScaledMesh(const ControlMesh& mesh, PixelSize size) {
    ControlMesh scaled = mesh;
    scaled.Width = size.width;
    scaled.Height = size.height;
    // The product first, then one division: a point on the far edge lands
    // exactly on the new edge.
    auto scale = [](std::int32_t v, std::int32_t to, std::int32_t from) {
        return ToInt32(static_cast<double>(v) * static_cast<double>(to) / static_cast<double>(from));
    };
    for (Point& p : scaled.PointStore) p = {scale(p.x, size.width, mesh.Width), scale(p.y, size.height, mesh.Height)};
    return scaled;
}

ControlMesh WholeMesh(PixelSize size) {
    ControlMesh mesh;
    mesh.Columns = 1;
    mesh.Rows = 1;
    mesh.Width = size.width;
    mesh.Height = size.height;
    MeshWarp::BuildMeshGrid(mesh);
    return mesh;
}

}  // namespace crossmeld
