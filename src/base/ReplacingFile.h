#pragma once
// A new file written beside its target under a hidden temporary name
// (".<name>.part<pid>-XXXXXX" in the same folder) that takes the target's
// place only when Commit succeeds. Until then a file already at the target
// stays as it was; a file never committed is removed when the object ends,
// and one whose process was killed is removed by the next Create for the
// same target.

#include <filesystem>
#include <string>

namespace crossmeld {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file for target. False (errno kept) when the
    // folder is missing or not writable, or the target is a folder.
    bool Create(const std::filesystem::path& target);

    bool IsOpen() const noexcept { return m_fd >= 0; }
    int fd() const noexcept { return m_fd; }
    const std::filesystem::path& TemporaryPath() const noexcept { return m_temporary; }

    // Flushes the data to the disk, gives the file the target's permissions
    // (or the usual ones for a new file) and renames it over the target.
    // False when any of that fails; the temporary file is then removed.
    bool Commit();
    // Closes and removes the temporary file; nothing happens to the target.
    void Discard() noexcept;

private:
    int m_fd = -1;
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
};

}  // namespace crossmeld
