#include "base/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace crossmeld {
namespace {

// Keeps the temporary name within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxNameInTemporary = 200;

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
    std::string pattern = (folder / ("." + name + ".partXXXXXX")).string();
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
