#pragma once
// The temporary folder and the program folder.

#include <string>

namespace crossmeld {

// TEMP when set and not empty; else TMPDIR; else /tmp. Used unchanged (no
// separator added or removed); callers append "/" + a file name.
std::string TempFolder();

// The folder of the running executable, without a trailing separator. The
// samples and the cursor file lie beside it.
std::string ProgramFolder();

// The native path separator.
inline constexpr char kPathSeparator = '/';

}  // namespace crossmeld
