#pragma once
// The main window on widgets: a thin view over the Form1 model. It shows the
// model's elements where the model places them, forwards every user event
// to the model's handler, and takes the model's state back after each.
// Below the model's client area a status line shows the notes the model
// passes on (a damaged picture that still loaded).

#include <QCursor>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/Form1.h"

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace crossmeld::gui {

class PaneView;
class QtHost;

class MainWindow final : public QWidget {
    Q_OBJECT
public:
    // Attaches itself to the host; the model must outlive the window.
    MainWindow(Form1& form, QtHost& host, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs Form_Load, then shows the model's state.
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

    Form1& Model() const noexcept { return m_form; }
    // PushButton1 ... PushButton6.
    QPushButton* PushButton(int number) const { return m_buttons.at(static_cast<std::size_t>(number - 1)); }
    QLineEdit* Text1() const noexcept { return m_text1; }
    QLineEdit* TxtFps() const noexcept { return m_txtFps; }
    QRadioButton* Option1() const noexcept { return m_option1; }
    QRadioButton* Option2() const noexcept { return m_option2; }
    // Frame1 "Output", Frame2 "Number Of Frames", Frame3 "Frames Per Second:".
    QGroupBox* FrameBox(int number) const { return m_frames.at(static_cast<std::size_t>(number - 1)); }
    QProgressBar* Progress() const noexcept { return m_progress; }
    QStatusBar* StatusLine() const noexcept { return m_status; }
    // What the status line shows.
    QString StatusText() const;
    PaneView* StartPane() const noexcept { return m_startPane; }
    PaneView* EndPane() const noexcept { return m_endPane; }
    const std::optional<QCursor>& HandCursor() const noexcept { return m_hand; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    // Runs a handler of the model, then shows its effects.
    void Run(const std::function<void()>& handler);
    void ApplyColors();
    // The notes after a command: which shown pictures it replaced decides
    // which notes go and to which picture its own notes belong.
    void SettleNotes(const std::array<Picture, 2>& before, const QStringList& raised);
    void ShowNotes();

    Form1& m_form;
    QtHost& m_host;
    std::array<QPushButton*, 6> m_buttons{};
    std::array<QGroupBox*, 3> m_frames{};
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_txtFps = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
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
    std::array<QStringList, 2> m_pictureNotes;  // start, end
    QStringList m_otherNotes;
    QStringList m_runNotes;  // raised by the command that runs now
    int m_runDepth = 0;      // commands on the stack
};

}  // namespace crossmeld::gui
