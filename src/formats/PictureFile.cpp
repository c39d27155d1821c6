#include "formats/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/Error.h"

namespace crossmeld {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return m_fd; }
    // Closes now and reports the result: a delayed write error shows up here.
    int close() noexcept {
        int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

bool FolderExists(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    std::error_code ec;
    return fs::is_directory(parent.empty() ? fs::path(".") : parent, ec);
}

ErrorKind KindForErrno(int error, const std::string& path) {
    switch (error) {
        case ENOENT: return FolderExists(path) ? ErrorKind::FileNotFound : ErrorKind::PathNotFound;
        case ENOTDIR: return ErrorKind::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return ErrorKind::PermissionDenied;
        case ENOSPC:
        case EDQUOT: return ErrorKind::DiskFull;
        case ENAMETOOLONG: return ErrorKind::BadFileNameOrNumber;
        default: return ErrorKind::PathFileAccessError;
    }
}

[[noreturn]] void FailWithErrno(int error, const std::string& path) { throw Error(KindForErrno(error, path)); }

// A failed save leaves no partial file behind.
[[noreturn]] void FailWrite(FileDescriptor& fd, int error, const std::string& path) {
    if (fd.get() >= 0) fd.close();
    ::unlink(path.c_str());
    FailWithErrno(error, path);
}

const char* NotAFileDescription(mode_t mode) {
    if (S_ISDIR(mode)) return "Path/File access error: a folder, not a picture file";
    if (S_ISFIFO(mode)) return "Path/File access error: a pipe, not a picture file";
    if (S_ISSOCK(mode)) return "Path/File access error: a socket, not a picture file";
    return "Path/File access error: a device, not a picture file";
}

}  // namespace

std::vector<std::uint8_t> ReadPictureFile(const std::string& path) {
    // O_NONBLOCK: opening a pipe without a writer (or some devices) would
    // otherwise wait forever; O_NOCTTY: a terminal never becomes ours. Only
    // a regular file is read, so the flag never matters to the reads.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) FailWithErrno(errno, path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) FailWithErrno(errno, path);
    if (!S_ISREG(info.st_mode)) throw Error(ErrorKind::PathFileAccessError, NotAFileDescription(info.st_mode));
    if (info.st_size > kMaxPictureFileBytes) throw Error(ErrorKind::InvalidPicture, "the picture file is too large");

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            FailWithErrno(errno, path);
        }
        if (n == 0) break;  // the file shrank while being read: keep what is there
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

void WritePictureFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0) FailWithErrno(errno, path);
    // Refuse to write into something that is not a plain file (a device, a pipe).
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) throw Error(ErrorKind::PathFileAccessError);

    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            FailWrite(fd, errno, path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd.close() != 0) FailWrite(fd, errno, path);
}

}  // namespace crossmeld
