// Editing the meshes in the window: dragging points with the mouse, the
// keys and menu commands, and meshes that come back with their pictures.

#include <QAction>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "app/MeshEditor.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/support/WindowTest.h"
#include "support/FormTestSupport.h"

namespace crossmeld::gui::test {
namespace {

using Kind = ShownDialog::Kind;

int RedIn(const QImage& image, QRect area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += image.pixel(x, y) == qRgb(255, 0, 0);
    return count;
}

class GuiMeshes : public WindowTest {
protected:
    // Two one-colour pictures of 800 x 500, larger than the panes: the 5 x 5
    // grid has its points every 160 by 100 pixels.
    void LoadPair() {
        for (const char* name : {"start.bmp", "end.bmp"}) {
            crossmeld::test::WriteBitmap(temp / name, 800, 500, Rgb(40, 90, 160));
            dialogs.QueueFile((temp / name).string());
        }
        QTest::mouseClick(window->PushButton(1), Qt::LeftButton);
        QTest::mouseClick(window->PushButton(2), Qt::LeftButton);
        ASSERT_EQ(form->StartMesh().Columns, 5);
    }
    // Where a picture position of a pane shows in the window.
    QPoint OnScreen(PaneView* pane, QPoint picture) const { return pane->Picture()->mapTo(window.get(), picture); }
    // Presses on a pane's picture position, moves by `by`, releases.
    void Drag(PaneView* pane, QPoint from, QPoint by) {
        const QPoint start = OnScreen(pane, from);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(window->windowHandle(), start + by / 2);
        QTest::mouseMove(window->windowHandle(), start + by);
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, start + by);
    }
    Point StartPoint(int c, int r) { return MeshPointAt(form->StartMesh(), {c, r}); }
    Point EndPoint(int c, int r) { return MeshPointAt(form->EndMesh(), {c, r}); }
};

TEST_F(GuiMeshes, DraggingAPointInAScrolledPaneMovesItAndItsOverlayAndTheKeysUndoIt) {
    Open();
    LoadPair();
    PaneView* pane = window->StartPane();
    ASSERT_TRUE(pane->Horizontal()->isVisible());
    pane->Horizontal()->setValue(100);
    pane->Vertical()->setValue(50);
    const QImage regular = Shown(pane);
    QSignalSpy changed(window.get(), &MainWindow::meshChanged);

    // Point (1, 1) at (160, 100) shows at (60, 50) of the pane's inner area.
    ASSERT_EQ(OnScreen(pane, {160, 100}), pane->Inner()->mapTo(window.get(), QPoint(60, 50)));
    Drag(pane, {160, 100}, {15, 12});
    EXPECT_EQ(StartPoint(1, 1), (Point{175, 112}));
    EXPECT_EQ(EndPoint(1, 1), (Point{160, 100}));
    EXPECT_GE(changed.count(), 2);  // the overlay follows each move
    const QImage moved = Shown(pane);
    EXPECT_NE(moved, regular);
    // The circle of radius 5 around the new place: red on its left and right.
    EXPECT_GE(RedIn(moved, QRect(169, 107, 3, 11)), 3);
    EXPECT_GE(RedIn(moved, QRect(179, 107, 3, 11)), 3);
    EXPECT_EQ(RedIn(moved, QRect(154, 95, 3, 11)), 0);  // none left at the old place
    EXPECT_TRUE(window->UndoAction()->isEnabled());

    const int before = changed.count();
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(StartPoint(1, 1), (Point{160, 100}));
    EXPECT_EQ(Shown(pane), regular);  // the overlay exactly as it was
    EXPECT_EQ(changed.count(), before + 1);
    EXPECT_TRUE(window->RedoAction()->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(StartPoint(1, 1), (Point{175, 112}));
    EXPECT_EQ(Shown(pane), moved);

    // The end pane edits the end mesh; a border point stays on its border.
    Drag(window->EndPane(), {0, 200}, {40, 7});
    EXPECT_EQ(EndPoint(0, 2), (Point{0, 207}));
    EXPECT_EQ(StartPoint(0, 2), (Point{0, 200}));
}

TEST_F(GuiMeshes, TheHandShowsOverADraggablePointAndTheArrowElsewhere) {
    Open();
    LoadPair();
    PaneView* pane = window->EndPane();
    QTest::mouseMove(window->windowHandle(), OnScreen(pane, {322, 98}));
    EXPECT_EQ(form->Pointer(), MousePointer::Custom);
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseMove(window->windowHandle(), OnScreen(pane, {250, 150}));
    EXPECT_EQ(form->Pointer(), MousePointer::Normal);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(window->windowHandle(), OnScreen(pane, {1, 1}));  // a corner does not move
    EXPECT_EQ(form->Pointer(), MousePointer::Normal);
    // A press away from the points changes nothing.
    Drag(pane, {250, 150}, {20, 20});
    EXPECT_FALSE(window->UndoAction()->isEnabled());
}

TEST_F(GuiMeshes, TheMenusHoldTheMeshCommandsEnabledOnceThereAreMeshes) {
    Open();
    QStringList titles;
    for (QAction* menu : window->MenuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles, (QStringList{"&Edit", "&Mesh", "&View", "&Options"}));
    EXPECT_EQ(window->ViewMenu()->actions(), QList<QAction*>{window->PreviewAction()});
    EXPECT_EQ(window->UndoAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(window->RedoAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    EXPECT_EQ(window->ResetMeshAction()->text(), "&Reset Mesh");
    EXPECT_EQ(window->MeshSizeAction()->text(), "Mesh &Size…");
    EXPECT_EQ(window->OpenMeshAction()->text(), "&Open Mesh…");
    EXPECT_EQ(window->SaveMeshAction()->text(), "Sa&ve Mesh…");
    for (QAction* action : {window->UndoAction(), window->RedoAction(), window->ResetMeshAction(),
                            window->MeshSizeAction(), window->OpenMeshAction(), window->SaveMeshAction()})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    LoadPair();
    for (QAction* action :
         {window->ResetMeshAction(), window->MeshSizeAction(), window->OpenMeshAction(), window->SaveMeshAction()})
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    EXPECT_FALSE(window->UndoAction()->isEnabled());
}

TEST_F(GuiMeshes, MeshSizeResetAndMeshFilesThroughTheirDialogs) {
    Open();
    LoadPair();
    QSignalSpy changed(window.get(), &MainWindow::meshChanged);
    dialogs.QueueMeshSize(QSize(4, 2));
    window->MeshSizeAction()->trigger();
    ASSERT_EQ(dialogs.Count(Kind::MeshSize), 1);
    EXPECT_EQ(dialogs.shown.back().meshSize, QSize(5, 5));
    EXPECT_EQ(form->StartMesh().Columns, 4);
    EXPECT_EQ(form->EndMesh().Rows, 2);
    EXPECT_EQ(StartPoint(1, 1), (Point{200, 250}));
    EXPECT_EQ(changed.count(), 1);
    window->MeshSizeAction()->trigger();  // cancelled
    EXPECT_EQ(form->StartMesh().Columns, 4);

    Drag(window->StartPane(), {200, 250}, {-10, 5});
    const MeshPoints moved = form->Meshes();
    const auto file = temp / "mesh.json";
    dialogs.QueueFile(file.string());
    window->SaveMeshAction()->trigger();
    EXPECT_EQ(dialogs.shown.back().filters, QStringList{"Mesh Files (*.json)"});
    EXPECT_EQ(dialogs.shown.back().acceptMode, QFileDialog::AcceptSave);
    ASSERT_TRUE(std::filesystem::exists(file));

    window->ResetMeshAction()->trigger();
    EXPECT_EQ(StartPoint(1, 1), (Point{200, 250}));
    dialogs.QueueFile(file.string());
    window->OpenMeshAction()->trigger();
    EXPECT_EQ(dialogs.shown.back().filters, QStringList{"Mesh Files (*.json)"});
    EXPECT_EQ(form->Meshes(), moved);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(GuiMeshes, EditedMeshesComeBackWithTheSamePairInTheNextSession) {
    Open();
    LoadPair();
    Drag(window->StartPane(), {160, 100}, {9, -6});
    const MeshPoints moved = form->Meshes();
    ASSERT_EQ(StartPoint(1, 1), (Point{169, 94}));
    Close();

    Open();
    LoadPair();
    EXPECT_EQ(form->Meshes(), moved);
    EXPECT_FALSE(window->UndoAction()->isEnabled());
}

}  // namespace
}  // namespace crossmeld::gui::test
