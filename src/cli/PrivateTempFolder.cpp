#include "cli/PrivateTempFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

namespace crossmeld::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "crossmeld-";

// The process id in a name crossmeld-<pid>-XXXXXX, or 0 for any other name.
pid_t OwnerOf(std::string_view name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) return 0;
    name.remove_prefix(kPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != 6 || dash > 9) return 0;
    pid_t pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

bool ProcessExists(pid_t pid) {
    // EPERM: it exists but belongs to someone else.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

PrivateTempFolder::PrivateTempFolder(const std::string& parent) {
    std::string pattern = parent + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data())) m_path = pattern;
}

PrivateTempFolder::~PrivateTempFolder() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
}

int RemoveOrphanedTempFolders(const std::string& parent) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const pid_t pid = OwnerOf(name);
        if (pid <= 0 || pid == ::getpid() || ProcessExists(pid)) continue;
        struct stat st {};
        // Only real folders of this user: never follow a link planted there.
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
        std::error_code removeError;
        if (fs::remove_all(it->path(), removeError) > 0 && !removeError) ++removed;
    }
    return removed;
}

}  // namespace crossmeld::cli
