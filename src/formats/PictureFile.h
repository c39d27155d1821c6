#pragma once
// Whole-file reading and writing for the picture services, with file-system
// failures turned into the program's error kinds.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace crossmeld {

// Largest picture file the loader reads.
inline constexpr std::int64_t kMaxPictureFileBytes = std::int64_t{512} << 20;

// Raises Error(FileNotFound) for a missing file in an existing folder,
// Error(PathNotFound) when the folder is missing, Error(PermissionDenied) when
// it may not be read, Error(PathFileAccessError) for a folder, a device, a
// pipe or a socket (refused at once: the open never waits) or a read
// failure, and Error(InvalidPicture) above kMaxPictureFileBytes.
std::vector<std::uint8_t> ReadPictureFile(const std::string& path);

// Creates or replaces the file with the bytes. Raises Error(PathNotFound),
// Error(PermissionDenied), Error(DiskFull) or Error(PathFileAccessError) on
// failure; a file left incomplete by a failed write is removed.
void WritePictureFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace crossmeld
