#pragma once
// The undo and redo stacks of the mesh editor: whole snapshots of both
// meshes (at most 33 x 33 points each, so a snapshot is small). A new edit
// clears what could be redone; the oldest steps go beyond kMaxSteps.

#include <cstddef>
#include <deque>
#include <optional>

#include "morph/MeshFile.h"

namespace crossmeld {

class MeshHistory {
public:
    static constexpr std::size_t kMaxSteps = 500;

    // An edit was made: `before` is what undoing it brings back.
    void Record(MeshPoints before);
    // The meshes to show for an undo or redo, given the meshes shown now;
    // nothing when there is no step to take.
    std::optional<MeshPoints> Undo(MeshPoints current);
    std::optional<MeshPoints> Redo(MeshPoints current);
    bool CanUndo() const noexcept { return !m_undo.empty(); }
    bool CanRedo() const noexcept { return !m_redo.empty(); }
    void Clear() noexcept;

private:
    std::deque<MeshPoints> m_undo;
    std::deque<MeshPoints> m_redo;
};

}  // namespace crossmeld
