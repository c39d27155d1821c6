#include "formats/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "base/Error.h"
#include "base/FileDescriptor.h"
#include "base/FileRoutines.h"

namespace crossmeld {
namespace {

namespace fs = std::filesystem;

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
    RegularFileRead file = ReadRegularFile(path, kMaxPictureFileBytes);
    switch (file.status) {
        case RegularFileRead::Status::Read:
            return std::move(file.bytes);
        case RegularFileRead::Status::NotRegular:
            throw Error(ErrorKind::PathFileAccessError, NotAFileDescription(static_cast<mode_t>(file.mode)));
        case RegularFileRead::Status::TooLarge:
            throw Error(ErrorKind::InvalidPicture, "the picture file is too large");
        case RegularFileRead::Status::CannotOpen:
        case RegularFileRead::Status::ReadFailed:
            break;
    }
    FailWithErrno(file.error, path);
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
