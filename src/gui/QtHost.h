#pragma once
// The Host on widgets: message boxes, the open-file dialog and the codec
// dialog as real Qt dialogs, pending events through the Qt event loop, and
// the pointer, focus and progress bar of the main window.

#include <QString>
#include <functional>

#include "imaging/video/CodecChooser.h"
#include "platform/Host.h"

class QDialog;

namespace crossmeld::gui {

class MainWindow;

class QtHost final : public Host, public vfw::CodecChooser {
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

    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override;
    void ShowOpen(FileDialogState& state) override;
    void DoEvents() override;
    void SetMousePointer(MousePointer pointer) override;
    void SetFocus(FocusTarget target) override;
    void SetProgressMax(double maximum) override;
    void SetProgressValue(double value) override;
    bool ChooseCodec(vfw::AviCompressOptions& options) override;

private:
    // Runs a modal dialog (through the answerer when one is set).
    int Exec(QDialog& dialog);
    QString FallbackCaption() const;

    MainWindow* m_window = nullptr;
    DialogAnswerer m_answerer;
    QString m_lastFolder;  // where the next file dialog opens
    int m_dialogDepth = 0;
};

// A message text as a Qt message box shows it: carriage return + line feed,
// and a carriage return alone, become line feeds.
QString DisplayText(const std::string& text);

}  // namespace crossmeld::gui
