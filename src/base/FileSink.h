#pragma once
// Sinks the container writer appends to and patches: it writes frames in
// order and goes back to fill in sizes and headers once they are known.

#include <cstdint>
#include <span>

#include "base/ByteWriter.h"

namespace crossmeld {

class SeekableSink : public ByteSink {
public:
    // Overwrites bytes already appended (or extends the data). False when
    // the bytes could not be written.
    virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// Writes to an open file descriptor (not owned), without buffering, so a
// failed write (disk full, file too large) shows at the call that made it.
class FileSink final : public SeekableSink {
public:
    explicit FileSink(int fd) : m_fd(fd) {}

    bool write(std::span<const std::uint8_t> bytes) override;
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

    // errno of the first failed write, 0 while none failed.
    int error() const noexcept { return m_error; }

private:
    bool fail(int error);

    int m_fd;
    int m_error = 0;
};

}  // namespace crossmeld
