#pragma once
// An open file descriptor that is closed when the object ends.

#include <unistd.h>

namespace crossmeld {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // Below 0 when the open failed.
    int get() const noexcept { return m_fd; }
    // Closes now and reports the result: a delayed write error shows up here.
    int close() noexcept {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

}  // namespace crossmeld
