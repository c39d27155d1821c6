// The window's mesh commands: the menu bar, dragging points in the panes,
// and the signal that tells the listeners about changed meshes.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSpinBox>

#include "app/MeshEditor.h"
#include "gui/MainWindow.h"
#include "gui/MeshSizeDialog.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/QtHost.h"

namespace crossmeld::gui {

void MainWindow::BuildMenus() {
    m_menuBar = new QMenuBar(this);
    // Inside the window on every desktop, so that the client area's place
    // is the same everywhere.
    m_menuBar->setNativeMenuBar(false);
    MeshEditor& editor = m_form.MeshEditing();
    // The window holds the actions too, so that their keys work wherever the
    // focus is in it.
    auto add = [this](QMenu* menu, const QString& text, const QKeySequence& keys, const std::function<void()>& run) {
        auto* action = menu->addAction(text);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            addAction(action);
        }
        connect(action, &QAction::triggered, this, [run] { run(); });
        return action;
    };

    QMenu* edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    m_undo = add(edit, QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
                 [this, &editor] { EditMeshes([&editor] { return editor.Undo(); }); });
    m_redo = add(edit, QStringLiteral("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                 [this, &editor] { EditMeshes([&editor] { return editor.Redo(); }); });

    QMenu* mesh = m_menuBar->addMenu(QStringLiteral("&Mesh"));
    m_resetMesh = add(mesh, QStringLiteral("&Reset Mesh"), {},
                      [this, &editor] { EditMeshes([&editor] { return editor.ResetMesh(); }); });
    m_meshSize = add(mesh, QStringLiteral("Mesh &Size…"), {}, [this] { ChooseMeshSize(); });
    mesh->addSeparator();
    m_openMesh = add(mesh, QStringLiteral("&Open Mesh…"), {},
                     [this, &editor] { EditMeshes([&editor] { return editor.OpenMesh(); }); });
    m_saveMesh = add(mesh, QStringLiteral("Sa&ve Mesh…"), {},
                     [this, &editor] { EditMeshes([&editor] { return editor.SaveMesh(); }); });

    m_viewMenu = m_menuBar->addMenu(QStringLiteral("&View"));
    UpdateMeshActions();
}

void MainWindow::ChooseMeshSize() {
    MeshEditor& editor = m_form.MeshEditing();
    if (!editor.CanEdit()) return;
    MeshSizeDialog dialog(this, editor.Columns(), editor.Rows());
    if (m_host.RunDialog(dialog) != QDialog::Accepted) return;
    const int columns = dialog.Columns()->value(), rows = dialog.Rows()->value();
    EditMeshes([&editor, columns, rows] { return editor.SetMeshSize(columns, rows); });
}

void MainWindow::EditMeshes(const std::function<bool()>& edit) {
    const MeshPoints before = m_form.Meshes();
    edit();
    NoteMeshChange(before);
    UpdateMeshActions();
}

void MainWindow::NoteMeshChange(const MeshPoints& before) {
    if (m_form.Meshes() != before) emit meshChanged();
}

void MainWindow::UpdateMeshActions() {
    if (!m_undo) return;  // before the menus exist
    const MeshEditor& editor = m_form.MeshEditing();
    const bool editable = editor.CanEdit();
    m_undo->setEnabled(editor.CanUndo());
    m_redo->setEnabled(editor.CanRedo());
    for (QAction* action : {m_resetMesh, m_meshSize, m_openMesh, m_saveMesh}) action->setEnabled(editable);
}

bool MainWindow::PictureEvent(Side side, QEvent* event) {
    MeshEditor& editor = m_form.MeshEditing();
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || editor.Dragging()) return false;
            // The picture widget shows the picture at 1:1 from its top-left
            // corner, so its own coordinates are picture pixels.
            return editor.BeginDrag(side, mouse->position().x(), mouse->position().y());
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (editor.Dragging()) {
                if (editor.DragTo(mouse->position().x(), mouse->position().y())) emit meshChanged();
                return true;
            }
            if (editor.PointAt(side, mouse->position().x(), mouse->position().y())) m_form.PointerOverButton();
            else m_form.PointerOverWindow();
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !editor.Dragging()) return false;
            editor.EndDrag();
            UpdateMeshActions();
            return true;
        }
        default: return false;
    }
}

}  // namespace crossmeld::gui
