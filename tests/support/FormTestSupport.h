#pragma once
// Helpers shared by the main window's tests: one-colour picture files and
// the failed steps of a handler run.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/StepRunner.h"
#include "formats/LoadPicture.h"
#include "raster/Surface.h"

namespace crossmeld::test {

// The request that ends every failure report.
inline const std::string kRequest = "Please email screenshot of this message to support@crossmeld.example";

// A 24-bit bitmap file of one colour (folders are made as needed).
inline void WriteBitmap(const std::filesystem::path& path, std::int32_t w, std::int32_t h, ColorRef color) {
    auto surface = Surface::Create(w, h, 24);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) surface->SetPixel(x, y, color);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    SavePicture(*surface, path.string());
}

// The line numbers of the steps that failed.
inline std::vector<std::int32_t> FailedLines(const std::vector<StepRecord>& run) {
    std::vector<std::int32_t> lines;
    for (const StepRecord& r : run)
        if (r.failed) lines.push_back(r.line);
    return lines;
}

}  // namespace crossmeld::test
