#pragma once
// The per-user settings store: text values addressed by application,
// section and key; a read names the default returned when the key is
// missing. The desktop window keeps them on disk, the command line and tests
// in memory.

#include <map>
#include <string>
#include <tuple>

namespace crossmeld {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                                   const std::string& defaultValue) = 0;
    virtual void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

class MemorySettingsStore final : public SettingsStore {
public:
    std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override {
        auto it = m_values.find({app, section, key});
        return it == m_values.end() ? defaultValue : it->second;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        m_values[{app, section, key}] = value;
        ++m_writes;
    }
    int writes() const noexcept { return m_writes; }

private:
    std::map<std::tuple<std::string, std::string, std::string>, std::string> m_values;
    int m_writes = 0;
};

}  // namespace crossmeld
