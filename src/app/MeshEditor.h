#pragma once
// Editing the window's control meshes: dragging a point of the start or the
// end mesh, Undo and Redo, Reset Mesh, the mesh size, and opening and saving
// mesh files. Every edit is one undoable step, redraws the overlays and is
// remembered in the settings for the pair of pictures shown; loading the
// same pair again brings the meshes back. Nothing is edited while a command
// runs or before both pictures gave the meshes their size.

#include <cstdint>
#include <optional>
#include <string>

#include "app/MainWindowModel.h"
#include "app/MeshDrag.h"
#include "app/MeshHistory.h"
#include "base/Host.h"
#include "base/SettingsStore.h"

namespace crossmeld {

class MeshEditor {
public:
    static constexpr std::int32_t kDefaultCells = 5;
    inline static const std::string kMeshFilter = "Mesh Files (*.json)|*.json";

    MeshEditor(MainWindowModel& form, Host& host, SettingsStore& settings);

    bool CanEdit() const;
    bool CanUndo() const { return CanEdit() && m_history.CanUndo(); }
    bool CanRedo() const { return CanEdit() && m_history.CanRedo(); }

    // The draggable point of a side's mesh under picture position (x, y).
    std::optional<MeshPointIndex> PointAt(Side side, double x, double y) const;

    // A drag: begins on the point under (x, y) (false when there is none),
    // moves it toward each position as far as allowed (true when it moved),
    // and ends as one undoable edit (true when the point moved at all).
    bool BeginDrag(Side side, double x, double y);
    bool DragTo(double x, double y);
    bool EndDrag();
    bool Dragging() const noexcept { return m_drag.has_value(); }

    // Each returns whether the meshes changed.
    bool Undo();
    bool Redo();
    // Both meshes become the regular grid of the current size.
    bool ResetMesh();
    // Both meshes become the regular grid of columns x rows (1 .. 32 each);
    // a grid finer than the pictures is refused with a message.
    bool SetMeshSize(std::int32_t columns, std::int32_t rows);
    // Through the file dialog; a file that cannot be used is reported and
    // changes nothing.
    bool OpenMesh();
    bool OpenMeshFile(const std::string& path);
    // Through the save dialog: the whole file or, on failure, nothing (an
    // older file stays). Returns whether the file was written.
    bool SaveMesh();
    bool SaveMeshFile(const std::string& path);

    // The model made new meshes for new pictures: the history goes, and
    // meshes remembered for this pair come back.
    void PicturesChanged();

    std::int32_t Columns() const { return m_form.StartMesh().Columns; }
    std::int32_t Rows() const { return m_form.StartMesh().Rows; }

private:
    struct Drag {
        Side side;
        MeshPointIndex point;
        MeshPoints before;
    };

    ControlMesh& MeshOf(Side side) { return side == Side::Start ? m_form.StartMesh() : m_form.EndMesh(); }
    // Ends a drag that is still going before another edit.
    void FinishDrag();
    // Shows meshes taken from the history (their size was checked before).
    void Show(const MeshPoints& mesh);
    // Records an edit from `before` to the meshes shown now, if they differ.
    bool Commit(const MeshPoints& before);
    bool ApplyGrid(std::int32_t columns, std::int32_t rows);
    // Stores the meshes shown for the pair shown.
    void Remember();
    // The key of the pair shown, or nothing when a side shows no file.
    std::optional<std::string> PairKey() const;
    void Tell(const std::string& text);

    MainWindowModel& m_form;
    Host& m_host;
    SettingsStore& m_settings;
    MeshHistory m_history;
    std::optional<Drag> m_drag;
};

}  // namespace crossmeld
