#include "base/ReplacingFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace crossmeld {
namespace {

// Keeps the temporary name within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxNameInTemporary = 200;

// Removes part files of this target left by runs that were killed (no signal
// handler runs on SIGKILL or a crash): ".NAME.part<pid>-XXXXXX" of ours
// whose process no longer exists. Another live run's part file stays.
void RemoveOrphanedParts(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const std::size_t dash = name.find('-', prefix.size());
        if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9) continue;
        const std::string digits = name.substr(prefix.size(), dash - prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        struct stat st {};
        if (pid <= 0 || ::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            continue;
        if (::kill(pid, 0) == -1 && errno == ESRCH) ::unlink(it->path().c_str());
    }
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool ReplacingFile::Create(const std::filesystem::path& target) {
    Discard();
    std::error_code ec;
    if (target.filename().empty() || std::filesystem::is_directory(target, ec)) {
        errno = EISDIR;
        return false;
    }
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string name = target.filename().string();
    if (name.size() > kMaxNameInTemporary) name.resize(kMaxNameInTemporary);
    const std::string prefix = "." + name + ".part";
    RemoveOrphanedParts(folder, prefix);
    // The process id in the name tells a later run whether its maker still runs.
    std::string pattern = (folder / (prefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return false;
    m_fd = fd;
    m_target = target;
    m_temporary = pattern;
    return true;
}

bool ReplacingFile::Commit() {
    if (m_fd < 0) return false;
    struct stat existing {};
    const mode_t mode = ::stat(m_target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) ? existing.st_mode & 07777
                                                                                              : NewFileMode();
    (void)::fchmod(m_fd, mode);  // some file systems keep no modes; not a reason to fail
    bool ok = ::fsync(m_fd) == 0;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (ok && ::rename(m_temporary.c_str(), m_target.c_str()) == 0) {
        m_temporary.clear();
        return true;
    }
    Discard();
    return false;
}

void ReplacingFile::Discard() noexcept {
    const int saved = errno;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
    errno = saved;
}

}  // namespace crossmeld
