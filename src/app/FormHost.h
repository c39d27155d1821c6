#pragma once
// The Host that the main window's own operations use. It passes everything
// on to the front end's Host, except that progress goes through the window's
// progress bar (so the model keeps the values), the pointer through the
// window's pointer state, and a message box without a caption gets the
// application title.

#include <functional>
#include <string>

#include "app/controls/ProgressBar.h"
#include "base/Host.h"

namespace crossmeld {

class FormHost final : public Host {
public:
    FormHost(Host& outer, ProgressBar& progress, std::function<void(MousePointer)> setPointer,
             const std::string& appTitle)
        : m_outer(outer), m_progress(progress), m_setPointer(std::move(setPointer)), m_appTitle(appTitle) {}

    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override {
        return m_outer.MessageBox(text, icon, buttons, caption.empty() ? m_appTitle : caption);
    }
    void ShowOpen(FileDialogState& state) override { m_outer.ShowOpen(state); }
    void ShowSave(FileDialogState& state) override { m_outer.ShowSave(state); }
    void Warn(const std::string& text) override { m_outer.Warn(text); }
    void CheckStop() override { m_outer.CheckStop(); }
    void DoEvents() override { m_outer.DoEvents(); }
    void SetMousePointer(MousePointer pointer) override { m_setPointer(pointer); }
    void SetFocus(FocusTarget target) override { m_outer.SetFocus(target); }
    void SetProgressMax(double maximum) override { m_progress.SetMax(maximum); }
    void SetProgressValue(double value) override { m_progress.SetValue(value); }

private:
    Host& m_outer;
    ProgressBar& m_progress;
    std::function<void(MousePointer)> m_setPointer;
    const std::string& m_appTitle;
};

}  // namespace crossmeld
