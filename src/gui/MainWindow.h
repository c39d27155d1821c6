#pragma once
// The main window on widgets: a thin view over the Form1 model. It shows the
// model's elements where the model places them, forwards every user event
// to the model's handler, and takes the model's state back after each.

#include <QCursor>
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

    // Closing while a command runs ends the process at once (after the
    // close handlers); tests replace that.
    void SetEndProcess(std::function<void()> end) { m_endProcess = std::move(end); }

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
    std::function<void()> m_endProcess;
};

}  // namespace crossmeld::gui
