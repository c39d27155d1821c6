// The parameter fields: every change is stored at once, and the number
// fields are checked when the user leaves them.

#include <exception>

#include "app/AppRoutines.h"
#include "app/MainWindowModel.h"
#include "app/NumericText.h"

namespace crossmeld {

namespace {

const char* BooleanText(bool value) {
    return value ? "True" : "False";
}

}  // namespace

void MainWindowModel::SaveValue(std::string_view key, const std::string& value) {
    // A store that refuses a write leaves the field as it is; the next
    // change writes again. These handlers show no failure report.
    try {
        m_settings.SaveSetting(std::string(kSettingsApp), std::string(kSettingsSection), std::string(key), value);
    } catch (const std::exception&) {
    }
}

void MainWindowModel::FrameCountFieldEdited() {
    SaveValue(kKeyImageCount, m_frameCountField.Text());
}

void MainWindowModel::FpsFieldEdited() {
    SaveValue(kKeyFps, m_fpsField.Text());
}

void MainWindowModel::CheckNumeric(TextField& field, FocusTarget target) {
    // The rejected text stays in the field (and in the store).
    if (IsNumericText(field.Text())) return;
    ShowMessage("Must be a numeric entry.");
    m_host.SetFocus(target);
}

void MainWindowModel::FrameCountFieldLeft() {
    CheckNumeric(m_frameCountField, FocusTarget::FrameCountField);
}

void MainWindowModel::FpsFieldLeft() {
    CheckNumeric(m_fpsField, FocusTarget::FpsField);
}

void MainWindowModel::AviOptionClicked() {
    SaveValue(kKeyOption1, BooleanText(m_aviOption.Value()));
    SaveValue(kKeyOption2, BooleanText(m_gifOption.Value()));
}

void MainWindowModel::GifOptionClicked() {
    SaveValue(kKeyOption1, BooleanText(m_aviOption.Value()));
    SaveValue(kKeyOption2, BooleanText(m_gifOption.Value()));
}

}  // namespace crossmeld
