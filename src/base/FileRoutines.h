#pragma once
// Shared file routines: an existence test, whole-file reading of regular
// files, deletion of a file or a wildcard pattern that never fails, and a
// forced deletion that does report.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace crossmeld {

// True when the path's modification time can be read; false on any failure
// (missing file, bad path, empty text).
bool FileExists(const std::string& path);

// Whether both paths name one existing file (same device and inode), so that
// another spelling of a path, a symbolic link or a hard link counts.
bool SameFile(const std::string& a, const std::string& b);

// What ReadRegularFile found; each caller turns a failure into its own
// report.
struct RegularFileRead {
    enum class Status {
        Read,        // bytes holds the whole file
        CannotOpen,  // the open or the status query failed (error)
        NotRegular,  // a folder, a device, a pipe or a socket (mode)
        TooLarge,    // larger than the limit; nothing was read
        ReadFailed,  // a read failed (error); bytes holds what came before
    };
    Status status = Status::Read;
    int error = 0;           // errno of CannotOpen and ReadFailed
    std::uint32_t mode = 0;  // the st_mode of NotRegular
    std::vector<std::uint8_t> bytes;
};

// Reads a regular file of at most maxBytes whole. The open never waits (a
// pipe without a writer would block it for ever) and never makes a terminal
// ours; anything but a regular file is refused before a byte is read. A
// file that shrinks while it is read gives what was there.
RegularFileRead ReadRegularFile(const std::string& path, std::int64_t maxBytes);

// Lets pending events run (pumpEvents, when given), then deletes every file
// matching the path, whose last component may hold * and ?. When that fails
// it tries ForceDeleteFile on the same text. Never reports, never throws.
void DeleteFiles(const std::string& pattern, const std::function<void()>& pumpEvents = {});

// Deletes the matching files, read-only ones too. Raises Error (file not
// found when nothing matches, permission denied or path not found when a
// file cannot be removed).
void ForceDeleteFile(const std::string& pattern);

// The files matching a pattern whose last component may hold * and ?
// (folders are not matched), sorted by name.
std::vector<std::string> MatchFiles(const std::string& pattern);

}  // namespace crossmeld
