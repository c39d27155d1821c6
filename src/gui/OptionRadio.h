#pragma once
// An option button as the model has it: a click sets it (a set button stays
// set), and the model, not Qt, clears the other button of its group. So
// both buttons can show clear when the stored choices say so.

#include <QRadioButton>

namespace crossmeld::gui {

class OptionRadio final : public QRadioButton {
    Q_OBJECT
public:
    OptionRadio(const QString& text, QWidget* parent);

protected:
    void nextCheckState() override;
};

}  // namespace crossmeld::gui
