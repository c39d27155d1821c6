#pragma once
// A temporary folder of one run's own, so that parallel runs never share
// frame files; removed with everything in it when the run ends. Its name
// carries the owning process id (crossmeld-<pid>-XXXXXX), so that a later run
// can remove the folders of runs that were killed (SIGKILL cannot be caught).

#include <string>

namespace crossmeld::cli {

class PrivateTempFolder {
public:
    // Makes the folder in parent; path() is empty when that failed.
    explicit PrivateTempFolder(const std::string& parent);
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
    const std::string& path() const noexcept { return m_path; }

private:
    std::string m_path;
};

// Removes the folders in parent that a run of this user made and whose
// process no longer exists. Returns how many were removed.
int RemoveOrphanedTempFolders(const std::string& parent);

}  // namespace crossmeld::cli
