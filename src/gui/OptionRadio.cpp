#include "gui/OptionRadio.h"

namespace crossmeld::gui {

OptionRadio::OptionRadio(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
    setAutoExclusive(false);
}

void OptionRadio::nextCheckState() {
    // A click sets the button; it never clears it.
    setChecked(true);
}

}  // namespace crossmeld::gui
