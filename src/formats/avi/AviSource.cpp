#include "formats/avi/AviSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace crossmeld::avi {
namespace {

// Reads at most this many bytes through the window; larger reads go
// straight to the file.
constexpr std::size_t kSmallRead = 4096;
constexpr std::size_t kWindow = 64 * 1024;

class FileSource final : public AviSource {
public:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t Size() const noexcept override { return m_size; }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset > m_size || out.size() > m_size - offset) return false;
        if (out.empty()) return true;
        if (out.size() > kSmallRead) return ReadFully(offset, out);
        if (offset < m_windowStart || offset + out.size() > m_windowStart + m_window.size()) {
            const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, m_size - offset));
            m_window.resize(length);
            if (!ReadFully(offset, m_window)) {
                m_window.clear();
                return false;
            }
            m_windowStart = offset;
        }
        std::memcpy(out.data(), m_window.data() + (offset - m_windowStart), out.size());
        return true;
    }

private:
    bool ReadFully(std::uint64_t offset, std::span<std::uint8_t> out) const {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;  // an error, or the file shrank since it was opened
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    int m_fd;
    std::uint64_t m_size;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_windowStart = 0;
};

class MemorySource final : public AviSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    std::uint64_t Size() const noexcept override { return m_bytes.size(); }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) return false;
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace

std::unique_ptr<AviSource> OpenFileSource(const std::string& path) {
    // O_NONBLOCK keeps the open itself from waiting on a FIFO; regular files
    // ignore it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<AviSource> source(new (std::nothrow) FileSource(fd, static_cast<std::uint64_t>(st.st_size)));
    if (!source) ::close(fd);
    return source;
}

std::unique_ptr<AviSource> MakeMemorySource(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

}  // namespace crossmeld::avi
