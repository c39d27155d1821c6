#pragma once
// The Host on widgets: message boxes, the open and save file dialogs and the
// codec dialog as real Qt dialogs, pending events through the Qt event loop,
// the pointer, focus, progress bar and status line of the main window, and
// the stop of a run that the window asked for.

#include <QString>
#include <functional>

#include "base/Host.h"
#include "formats/avi/CodecChooser.h"

class QDialog;
class QWidget;

namespace crossmeld::gui {

class MainWindow;

class QtHost final : public Host, public avi::CodecChooser {
public:
    QtHost() = default;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // The window whose pointer, focus and progress bar the model drives, and
    // the parent of the dialogs. Null until the window exists.
    void SetWindow(MainWindow* window) noexcept { m_window = window; }

    // A hook that answers every dialog in place of the user: it runs once
    // the dialog is shown and waits for input, and answers by acting on it
    // (pressing a button, choosing a file, accepting or rejecting). A dialog
    // that the hook leaves open is rejected. Used by tests.
    using DialogAnswerer = std::function<void(QDialog&)>;
    void SetDialogAnswerer(DialogAnswerer answerer) { m_answerer = std::move(answerer); }
    // True while one of the host's dialogs runs its own event loop.
    bool InDialog() const noexcept { return m_dialogDepth > 0; }

    // Runs one of the window's own dialogs modally (through the answerer
    // when one is set); the dialog's result.
    int RunDialog(QDialog& dialog) { return Exec(dialog); }

    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override;
    void ShowOpen(FileDialogState& state) override;
    void ShowSave(FileDialogState& state) override;
    void Warn(const std::string& text) override;
    // Runs pending events, then stops the run if a stop was asked for.
    void DoEvents() override;
    void CheckStop() override;
    void SetMousePointer(MousePointer pointer) override;
    void SetFocus(FocusTarget target) override;
    void SetProgressMax(double maximum) override;
    void SetProgressValue(double value) override;
    bool ChooseCodec(avi::CodecChoice& choice) override;

    // Asks the running command to stop: CheckStop raises RunStopped from
    // then on, but only at the level the command runs at (see StopLevel),
    // never inside an event handler that runs nested in it.
    void RequestStop() noexcept { m_stopRequested = true; }
    void ClearStop() noexcept { m_stopRequested = false; }
    // How many event loops the host has entered (DoEvents, dialogs) right
    // now, and the depth at which the command that a stop ends runs. The
    // window sets it for each command that starts while none is busy.
    int EventDepth() const noexcept { return m_pumpDepth + m_dialogDepth; }
    int StopLevel() const noexcept { return m_stopLevel; }
    void SetStopLevel(int level) noexcept { m_stopLevel = level; }

private:
    // Runs a modal dialog (through the answerer when one is set).
    int Exec(QDialog& dialog);
    // A message box over parent (the window when null).
    MsgResult Box(QWidget* parent, const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& caption,
                  bool defaultNo = false);
    QString FallbackCaption() const;

    MainWindow* m_window = nullptr;
    DialogAnswerer m_answerer;
    QString m_lastFolder;  // where the next file dialog opens
    int m_dialogDepth = 0;
    int m_pumpDepth = 0;
    int m_stopLevel = 0;
    bool m_stopRequested = false;
};

// A message text as a Qt message box shows it: carriage return + line feed,
// and a carriage return alone, become line feeds.
QString DisplayText(const std::string& text);

}  // namespace crossmeld::gui
