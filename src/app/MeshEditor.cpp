#include "app/MeshEditor.h"

#include "app/MeshMemory.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

MeshEditor::MeshEditor(MainWindowModel& form, Host& host, SettingsStore& settings)
    : m_form(form), m_host(host), m_settings(settings) {}

bool MeshEditor::CanEdit() const {
    const ControlMesh& mesh = m_form.StartMesh();
    return !m_form.IsBusy() && mesh.Columns >= 1 && mesh.Rows >= 1 && mesh.Width > 0 && mesh.Height > 0 &&
           !mesh.PointStore.empty() && m_form.EndMesh().PointStore.size() == mesh.PointStore.size();
}

std::optional<MeshPointIndex> MeshEditor::PointAt(Side side, double x, double y) const {
    if (!CanEdit()) return std::nullopt;
    return FindDraggablePoint(side == Side::Start ? m_form.StartMesh() : m_form.EndMesh(), x, y);
}

bool MeshEditor::BeginDrag(Side side, double x, double y) {
    FinishDrag();
    const auto point = PointAt(side, x, y);
    if (!point) return false;
    m_drag = Drag{side, *point, m_form.Meshes()};
    return true;
}

bool MeshEditor::DragTo(double x, double y) {
    if (!m_drag) return false;
    if (!CanEdit()) {
        // A command started: the drag ends where the point is.
        EndDrag();
        return false;
    }
    ControlMesh& mesh = MeshOf(m_drag->side);
    Point& at = MeshPointAt(mesh, m_drag->point);
    const Point to = AllowedPosition(mesh, m_drag->point, SnapToPixel(x, y));
    if (to == at) return false;
    at = to;
    m_form.RedrawMeshOverlays();
    return true;
}

bool MeshEditor::EndDrag() {
    if (!m_drag) return false;
    const MeshPoints before = std::move(m_drag->before);
    m_drag.reset();
    return Commit(before);
}

void MeshEditor::FinishDrag() {
    if (m_drag) EndDrag();
}

bool MeshEditor::Undo() {
    FinishDrag();
    if (!CanUndo()) return false;
    Show(*m_history.Undo(m_form.Meshes()));
    Remember();
    return true;
}

bool MeshEditor::Redo() {
    FinishDrag();
    if (!CanRedo()) return false;
    Show(*m_history.Redo(m_form.Meshes()));
    Remember();
    return true;
}

bool MeshEditor::ResetMesh() {
    FinishDrag();
    if (!CanEdit()) return false;
    return ApplyGrid(Columns(), Rows());
}

bool MeshEditor::SetMeshSize(std::int32_t columns, std::int32_t rows) {
    FinishDrag();
    if (!CanEdit() || columns < 1 || rows < 1 || columns > kMaxMeshCells || rows > kMaxMeshCells) return false;
    return ApplyGrid(columns, rows);
}

bool MeshEditor::ApplyGrid(std::int32_t columns, std::int32_t rows) {
    ControlMesh grid = m_form.StartMesh();
    grid.Columns = columns;
    grid.Rows = rows;
    MeshWarp::BuildMeshGrid(grid);
    // The default grid stays usable on any picture; a finer one must not
    // start out folded.
    if (HasFoldedTriangle(grid) && (columns != kDefaultCells || rows != kDefaultCells)) {
        Tell("The pictures are too small for a mesh of " + std::to_string(columns) + " x " + std::to_string(rows) +
             " cells.");
        return false;
    }
    const MeshPoints before = m_form.Meshes();
    Show(MeshPoints{columns, rows, grid.Width, grid.Height, grid.PointStore, grid.PointStore});
    return Commit(before);
}

void MeshEditor::Show(const MeshPoints& mesh) {
    ApplyMeshPoints(mesh, m_form.StartMesh(), m_form.EndMesh());
    m_form.RedrawMeshOverlays();
}

bool MeshEditor::Commit(const MeshPoints& before) {
    if (m_form.Meshes() == before) return false;
    m_history.Record(before);
    Remember();
    return true;
}

void MeshEditor::PicturesChanged() {
    m_drag.reset();
    m_history.Clear();
    const auto key = PairKey();
    if (!key) return;
    const ControlMesh& mesh = m_form.StartMesh();
    if (const auto remembered = RecallMeshes(m_settings, *key, mesh.Width, mesh.Height)) Show(*remembered);
}

void MeshEditor::Remember() {
    if (const auto key = PairKey()) RememberMeshes(m_settings, *key, m_form.Meshes());
}

std::optional<std::string> MeshEditor::PairKey() const {
    const std::string& start = m_form.SourcePath(Side::Start);
    const std::string& end = m_form.SourcePath(Side::End);
    if (start.empty() || end.empty()) return std::nullopt;
    return MeshMemoryKey(start, end);
}

void MeshEditor::Tell(const std::string& text) {
    m_host.MessageBox(text, MsgIcon::Exclamation, MsgButtons::OK, m_form.AppTitle());
}

}  // namespace crossmeld
