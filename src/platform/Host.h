#pragma once
// Everything the main-window model needs from the world around it: message
// boxes, the file dialog, the codec dialog, letting pending events run, the
// mouse pointer, the keyboard focus and the progress bar. The desktop window
// implements it with widgets, the command line with streams, tests with a
// scripted host.

#include <cstdint>
#include <string>

#include "platform/MessageHost.h"

namespace crossmeld {

// The file dialog's settings and answer. A cancelled dialog leaves FileName
// empty; several selected files come back as one text with the names
// separated by NUL characters.
struct FileDialogState {
    std::string FileName;
    std::string DialogTitle;
    std::string Filter;  // "description|pattern[|description|pattern...]"
};

// Mouse pointer values of the main window.
enum class MousePointer : int { Normal = 0, Hourglass = 11, Custom = 99 };

// The main window's controls that can take the keyboard focus.
enum class FocusTarget { Text1, TxtFps };

class Host : public MessageHost {
public:
    // Shows the open-file dialog with the state's title and filter and stores
    // the answer in state.FileName.
    virtual void ShowOpen(FileDialogState& state) = 0;
    // Lets pending window events run (repaints, clicks, ...).
    virtual void DoEvents() = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    virtual void SetFocus(FocusTarget target) = 0;
    virtual void SetProgressMax(double maximum) = 0;
    virtual void SetProgressValue(double value) = 0;
};

}  // namespace crossmeld
