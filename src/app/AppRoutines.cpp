#include "app/AppRoutines.h"

#include "app/MainWindowModel.h"
#include "base/FileRoutines.h"

namespace crossmeld {

std::string AppTitleFromDisplayName(std::string_view name) {
    std::string title(name);
    // The cut runs at least once; a text without a space stays as it is.
    do {
        const std::size_t space = title.rfind(' ');
        if (space == std::string::npos) break;
        title.erase(space);
    } while (title.size() > 40);
    return title;
}

void MainWindowModel::SetAppTitle() {
    m_appTitle = AppTitleFromDisplayName(kDisplayName);
}

void MainWindowModel::ApplySkin() {
    if (!FileExists(m_programFolder + std::string(kSkinFile))) return;
    // No skin engine exists here: the window takes the button-face colour,
    // and so do its option buttons and frames (it has no check boxes or
    // labels).
    m_backColor = kButtonFaceColor;
    m_aviOption.SetBackColor(kButtonFaceColor);
    m_gifOption.SetBackColor(kButtonFaceColor);
    for (Frame* frame : {&m_outputFrame, &m_frameCountFrame, &m_fpsFrame, &m_startPaneCorner, &m_endPaneCorner}) frame->SetBackColor(kButtonFaceColor);
}

}  // namespace crossmeld
