#include "base/FileSink.h"

#include <unistd.h>

#include <cerrno>
#include <limits>

namespace crossmeld {
namespace {

// Largest request handed to the kernel at once (Linux moves at most about
// 2 GiB per call anyway).
constexpr std::size_t kMaxRequest = std::size_t{1} << 30;

}  // namespace

bool FileSink::fail(int error) {
    if (m_error == 0) m_error = error == 0 ? EIO : error;
    return false;
}

bool FileSink::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const std::size_t n = bytes.size() < kMaxRequest ? bytes.size() : kMaxRequest;
        const ssize_t done = ::write(m_fd, bytes.data(), n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return fail(done < 0 ? errno : ENOSPC);
        bytes = bytes.subspan(static_cast<std::size_t>(done));
    }
    return true;
}

bool FileSink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return fail(EFBIG);
        const std::size_t n = bytes.size() < kMaxRequest ? bytes.size() : kMaxRequest;
        const ssize_t done = ::pwrite(m_fd, bytes.data(), n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return fail(done < 0 ? errno : ENOSPC);
        bytes = bytes.subspan(static_cast<std::size_t>(done));
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

}  // namespace crossmeld
