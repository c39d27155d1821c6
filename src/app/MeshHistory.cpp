#include "app/MeshHistory.h"

#include <utility>

namespace crossmeld {

namespace {

std::optional<MeshPoints> Step(std::deque<MeshPoints>& from, std::deque<MeshPoints>& to, MeshPoints current) {
    if (from.empty()) return std::nullopt;
    MeshPoints shown = std::move(from.back());
    from.pop_back();
    to.push_back(std::move(current));
    return shown;
}

}  // namespace

void MeshHistory::Record(MeshPoints before) {
    m_undo.push_back(std::move(before));
    if (m_undo.size() > kMaxSteps) m_undo.pop_front();
    m_redo.clear();
}

std::optional<MeshPoints> MeshHistory::Undo(MeshPoints current) {
    return Step(m_undo, m_redo, std::move(current));
}

std::optional<MeshPoints> MeshHistory::Redo(MeshPoints current) {
    return Step(m_redo, m_undo, std::move(current));
}

void MeshHistory::Clear() noexcept {
    m_undo.clear();
    m_redo.clear();
}

}  // namespace crossmeld
