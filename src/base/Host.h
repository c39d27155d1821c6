#pragma once
// Everything the main-window model needs from the world around it: message
// boxes, the file dialog, the codec dialog, letting pending events run, the
// mouse pointer, the keyboard focus and the progress bar. The desktop window
// implements it with widgets, the command line with streams, tests with a
// scripted host.

#include <cstdint>
#include <string>
#include <vector>

#include "base/MessageHost.h"

namespace crossmeld {

// The file dialog's settings and answer. A cancelled dialog leaves FileName
// empty; several selected files come back as one text with the names
// separated by NUL characters.
struct FileDialogState {
    std::string FileName;
    std::string DialogTitle;
    std::string Filter;  // "description|pattern[|description|pattern...]"
    // Files the answer must not name (the pictures an output would replace);
    // a save dialog asks for another name instead.
    std::vector<std::string> Protected;
    // Given to a name typed without an extension in a save dialog (none:
    // the name stays as typed).
    std::string DefaultExtension;
};

// Mouse pointer values of the main window.
enum class MousePointer : int { Normal = 0, Hourglass = 11, Custom = 99 };

// The main window's controls that can take the keyboard focus.
enum class FocusTarget { FrameCountField, FpsField };

class Host : public MessageHost {
public:
    // Shows the open-file dialog with the state's title and filter and stores
    // the answer in state.FileName.
    virtual void ShowOpen(FileDialogState& state) = 0;
    // The save form of the file dialog: asks before replacing an existing
    // file and refuses the state's protected files. Without a dialog of its
    // own a host answers as its open dialog does.
    virtual void ShowSave(FileDialogState& state) { ShowOpen(state); }
    // Lets pending window events run (repaints, clicks, ...).
    virtual void DoEvents() = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    virtual void SetFocus(FocusTarget target) = 0;
    virtual void SetProgressMax(double maximum) = 0;
    virtual void SetProgressValue(double value) = 0;
    // A note that needs no answer, such as a damaged picture that still
    // loaded ("FILE: Premature end of JPEG file"): the window shows it in its
    // status line, the command line as a warning on standard error.
    virtual void Warn(const std::string& /*text*/) {}
    // Raises RunStopped when the user asked to stop the current work.
    // Called where a run can stop cleanly; DoEvents calls it too.
    virtual void CheckStop() {}
};

}  // namespace crossmeld
