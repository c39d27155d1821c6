#include "base/Folders.h"

#include <cstdlib>
#include <filesystem>

namespace crossmeld {

std::string TempFolder() {
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* v = std::getenv(name);
        if (v && *v) return v;
    }
    return "/tmp";
}

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

}  // namespace crossmeld
