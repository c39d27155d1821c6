#include "base/FileRoutines.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/Error.h"
#include "base/FileDescriptor.h"

namespace crossmeld {

namespace fs = std::filesystem;

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

RegularFileRead ReadRegularFile(const std::string& path, std::int64_t maxBytes) {
    using Status = RegularFileRead::Status;
    RegularFileRead result;
    // O_NONBLOCK only matters to the open: a regular file's reads never wait.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        result.status = Status::CannotOpen;
        result.error = errno;
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = Status::NotRegular;
        result.mode = static_cast<std::uint32_t>(info.st_mode);
        return result;
    }
    if (info.st_size > maxBytes) {
        result.status = Status::TooLarge;
        return result;
    }

    std::vector<std::uint8_t>& bytes = result.bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.status = Status::ReadFailed;
            result.error = errno;
            break;
        }
        if (n == 0) break;  // the file shrank while it was read
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return result;
}

std::vector<std::string> MatchFiles(const std::string& pattern) {
    std::vector<std::string> out;
    if (pattern.empty()) return out;
    const fs::path p(pattern);
    const std::string name = p.filename().string();
    if (name.find_first_of("*?") == std::string::npos) {
        std::error_code ec;
        if (fs::is_regular_file(fs::symlink_status(p, ec)) || fs::is_symlink(fs::symlink_status(p, ec)))
            out.push_back(pattern);
        return out;
    }
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        std::error_code sec;
        if (fs::is_directory(it->symlink_status(sec))) continue;
        if (::fnmatch(name.c_str(), entry.c_str(), FNM_PERIOD) == 0)
            out.push_back(p.has_parent_path() ? (p.parent_path() / entry).string() : entry);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void ForceDeleteFile(const std::string& pattern) {
    const std::vector<std::string> files = MatchFiles(pattern);
    if (files.empty()) throw Error(ErrorKind::FileNotFound, "File not found: " + pattern);
    for (const std::string& f : files) {
        if (::unlink(f.c_str()) == 0) continue;
        // Read-only files: make them writable and try again.
        ::chmod(f.c_str(), S_IRUSR | S_IWUSR);
        if (::unlink(f.c_str()) != 0) {
            const int err = errno;
            if (err == ENOENT || err == ENOTDIR) throw Error(ErrorKind::PathNotFound, "Path not found: " + f);
            throw Error(ErrorKind::PermissionDenied, "Permission denied: " + f);
        }
    }
}

void DeleteFiles(const std::string& pattern, const std::function<void()>& pumpEvents) {
    if (pumpEvents) pumpEvents();
    try {
        bool failed = false;
        for (const std::string& f : MatchFiles(pattern))
            if (::unlink(f.c_str()) != 0) failed = true;
        if (failed) ForceDeleteFile(pattern);
    } catch (...) {
        // Deletion is best effort: files that cannot be removed stay.
    }
}

}  // namespace crossmeld
