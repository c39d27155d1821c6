#pragma once
// Shared file routines: an existence test, deletion of a file or a wildcard
// pattern that never fails, and a forced deletion that does report.

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
