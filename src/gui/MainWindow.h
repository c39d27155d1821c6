#pragma once
// The main window on widgets: a thin view over the MainWindowModel model. It shows the
// model's elements where the model places them, forwards every user event
// to the model's handler, and takes the model's state back after each.
// Below the model's client area a status line shows the notes the model
// passes on (a damaged picture that still loaded). A menu bar above it holds
// the mesh commands; the points of the meshes are dragged in the panes.

#include <QCursor>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/MainWindowModel.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace crossmeld::gui {

class PaneView;
class PreviewWindow;
class QtHost;

class MainWindow final : public QWidget {
    Q_OBJECT
public:
    // Attaches itself to the host; the model must outlive the window.
    MainWindow(MainWindowModel& form, QtHost& host, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs Load, then shows the model's state.
    void Load();
    // Takes over everything the model may have changed.
    void SyncFromModel();

    // What the host passes on from the model.
    void ShowPointer(MousePointer pointer);
    void FocusField(FocusTarget target);
    void ShowProgressMax(double maximum);
    void ShowProgressValue(double value);
    // A note for the status line. A note raised while a command replaces
    // one of the two shown pictures belongs to that picture and stays while
    // it is shown; any other note stays until the next note or the next
    // change of pictures.
    void ShowNote(const QString& text);

    MainWindowModel& Model() const noexcept { return m_form; }
    // StartPictureButton ... ClearEndButton.
    QPushButton* PushButton(int number) const { return m_buttons.at(static_cast<std::size_t>(number - 1)); }
    QLineEdit* FrameCountField() const noexcept { return m_frameCountField; }
    QLineEdit* FpsField() const noexcept { return m_fpsField; }
    QRadioButton* AviOption() const noexcept { return m_aviOption; }
    QRadioButton* GifOption() const noexcept { return m_gifOption; }
    // OutputFrame "Output", FrameCountFrame "Number Of Frames", FpsFrame "Frames Per Second:".
    QGroupBox* FrameBox(int number) const { return m_frames.at(static_cast<std::size_t>(number - 1)); }
    QProgressBar* Progress() const noexcept { return m_progress; }
    QStatusBar* StatusLine() const noexcept { return m_status; }
    // The Cancel button, shown while a command runs.
    QPushButton* CancelButton() const noexcept { return m_cancel; }
    // What the status line shows.
    QString StatusText() const;
    PaneView* StartPane() const noexcept { return m_startPane; }
    PaneView* EndPane() const noexcept { return m_endPane; }
    const std::optional<QCursor>& HandCursor() const noexcept { return m_hand; }

    // The design's client area (the model's positions are relative to it),
    // with the status line below it, and the menu bar above.
    QWidget* Client() const noexcept { return m_client; }
    QMenuBar* MenuBar() const noexcept { return m_menuBar; }
    // A menu of views of the fade; the window itself puts nothing in it.
    QMenu* ViewMenu() const noexcept { return m_viewMenu; }
    QAction* UndoAction() const noexcept { return m_undo; }
    QAction* RedoAction() const noexcept { return m_redo; }
    QAction* ResetMeshAction() const noexcept { return m_resetMesh; }
    QAction* MeshSizeAction() const noexcept { return m_meshSize; }
    QAction* OpenMeshAction() const noexcept { return m_openMesh; }
    QAction* SaveMeshAction() const noexcept { return m_saveMesh; }
    // View > Preview: the preview window (made when first shown).
    QAction* PreviewAction() const noexcept { return m_previewAction; }
    PreviewWindow* Preview() const noexcept { return m_preview; }
    // Options > Output Options…: the timing and GIF options, kept with the settings.
    QAction* OutputOptionsAction() const noexcept { return m_outputOptions; }

signals:
    // The start or end mesh changed: an edit, or new pictures.
    void meshChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    // Asks the running command to stop (Cancel, Escape).
    void CancelRun();
    // Runs a handler of the model, then shows its effects.
    void Run(const std::function<void()>& handler);
    void ApplyColors();
    // The notes after a command: which shown pictures it replaced decides
    // which notes go and to which picture its own notes belong.
    void SettleNotes(const std::array<Picture, 2>& before, const QStringList& raised);
    void ShowNotes();

    // The mesh commands (MainWindowMeshes.cpp).
    void BuildMenus();
    // A mouse event over a side's picture: hit test, pointer and drag.
    bool PictureEvent(Side side, QEvent* event);
    // Runs an edit of the meshes; tells the listeners when they changed.
    void EditMeshes(const std::function<bool()>& edit);
    void ChooseMeshSize();
    void UpdateMeshActions();
    // Tells the listeners when the meshes differ from `before`.
    void NoteMeshChange(const MeshPoints& before);
    // The preview and options commands (MainWindowViews.cpp).
    void BuildViewMenus();
    void ShowPreview();
    void ChooseOutputOptions();
    // Tells the preview when a command replaced a full-size picture.
    void NotePictureChange(const std::array<Picture, 2>& before);

    MainWindowModel& m_form;
    QtHost& m_host;
    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_resetMesh = nullptr;
    QAction* m_meshSize = nullptr;
    QAction* m_openMesh = nullptr;
    QAction* m_saveMesh = nullptr;
    QAction* m_previewAction = nullptr;
    QAction* m_outputOptions = nullptr;
    PreviewWindow* m_preview = nullptr;
    std::array<QPushButton*, 6> m_buttons{};
    std::array<QGroupBox*, 3> m_frames{};
    QLineEdit* m_frameCountField = nullptr;
    QLineEdit* m_fpsField = nullptr;
    QRadioButton* m_aviOption = nullptr;
    QRadioButton* m_gifOption = nullptr;
    QProgressBar* m_progress = nullptr;
    PaneView* m_startPane = nullptr;
    PaneView* m_endPane = nullptr;
    std::optional<QCursor> m_hand;
    // Set while the model moves the focus itself: that is no user leaving a field.
    bool m_programFocus = false;
    bool m_closed = false;
    // Closing was asked for while a command ran: the window closes once the
    // command has stopped.
    bool m_closePending = false;
    QStatusBar* m_status = nullptr;
    QPushButton* m_cancel = nullptr;
    std::array<QStringList, 2> m_pictureNotes;  // start, end
    QStringList m_otherNotes;
    QStringList m_runNotes;  // raised by the command that runs now
    int m_runDepth = 0;      // commands on the stack
};

}  // namespace crossmeld::gui
