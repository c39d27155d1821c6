// The parameter fields: every change is stored at once, and the number
// fields are checked when the user leaves them.

#include <exception>

#include "app/AppRoutines.h"
#include "app/Form1.h"
#include "app/NumericText.h"

namespace crossmeld {

namespace {

const char* BooleanText(bool value) {
    return value ? "True" : "False";
}

}  // namespace

void Form1::SaveValue(std::string_view key, const std::string& value) {
    // A store that refuses a write leaves the field as it is; the next
    // change writes again. These handlers show no failure report.
    try {
        m_settings.SaveSetting(std::string(kSettingsApp), std::string(kSettingsSection), std::string(key), value);
    } catch (const std::exception&) {
    }
}

void Form1::Text1_Change() {
    SaveValue(kKeyImageCount, m_text1.Text());
}

void Form1::txtFPS_Change() {
    SaveValue(kKeyFps, m_txtFps.Text());
}

void Form1::CheckNumeric(TextField& field, FocusTarget target) {
    // The rejected text stays in the field (and in the store).
    if (IsNumericText(field.Text())) return;
    ShowMessage("Must be a numeric entry.");
    m_host.SetFocus(target);
}

void Form1::Text1_LostFocus() {
    CheckNumeric(m_text1, FocusTarget::Text1);
}

void Form1::txtFPS_LostFocus() {
    CheckNumeric(m_txtFps, FocusTarget::TxtFps);
}

void Form1::Option1_Click() {
    SaveValue(kKeyOption1, BooleanText(m_option1.Value()));
    SaveValue(kKeyOption2, BooleanText(m_option2.Value()));
}

void Form1::Option2_Click() {
    SaveValue(kKeyOption1, BooleanText(m_option1.Value()));
    SaveValue(kKeyOption2, BooleanText(m_option2.Value()));
}

}  // namespace crossmeld
