#include "app/AppRoutines.h"

#include "app/Form1.h"
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

void Form1::SetAppTitle() {
    m_appTitle = AppTitleFromDisplayName(kDisplayName);
}

void Form1::ApplySkin() {
    if (!FileExists(m_programFolder + std::string(kSkinFile))) return;
    // No skin engine exists here: the window takes the button-face colour,
    // and so do its option buttons and frames (it has no check boxes or
    // labels).
    m_backColor = kButtonFaceColor;
    m_option1.SetBackColor(kButtonFaceColor);
    m_option2.SetBackColor(kButtonFaceColor);
    for (Frame* frame : {&m_frame1, &m_frame2, &m_frame3, &m_frame4, &m_frame5}) frame->SetBackColor(kButtonFaceColor);
}

void Form1::ReleaseGifDoc() {
    // Dropping the last reference empties and frees the document.
    m_gifDoc.reset();
}

}  // namespace crossmeld
