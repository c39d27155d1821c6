#pragma once
// The per-user settings store on QSettings, in the user's configuration
// folder: one file per application name (Kestrovan.conf), a group per
// section, text values. Every write is flushed at once.

#include "base/SettingsStore.h"

namespace crossmeld::gui {

class QtSettingsStore final : public SettingsStore {
public:
    // The stored text exactly; the default when the key is missing.
    std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    // Raises Error(PermissionDenied) when the file cannot be written.
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override;
};

}  // namespace crossmeld::gui
