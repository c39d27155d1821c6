#pragma once
// Where a file opened for reading gets its bytes: a regular file read with
// pread (files may be far larger than memory wants to hold), or bytes in
// memory (tests, fuzzing). Reads are by absolute offset; small reads, such
// as the chunk headers of a RIFF walk, are served from a read-ahead window
// so that walking many chunks costs few system calls.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace crossmeld::avi {

class AviSource {
public:
    virtual ~AviSource() = default;

    virtual std::uint64_t Size() const noexcept = 0;
    // Copies out.size() bytes from the offset. False when they are not all
    // there (past the end, or a read error); out is then unspecified.
    virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// Opens a regular file for reading; null when it cannot be opened or is not
// a regular file (a FIFO or device could block or never end).
std::unique_ptr<AviSource> OpenFileSource(const std::string& path);

std::unique_ptr<AviSource> MakeMemorySource(std::vector<std::uint8_t> bytes);

}  // namespace crossmeld::avi
