#pragma once
// Helpers shared by the main window's tests: one-colour picture files, the
// failed steps of a handler run, and the fixture of a main window model.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MainWindowModel.h"
#include "app/StepRunner.h"
#include "base/FileRoutines.h"
#include "formats/LoadPicture.h"
#include "raster/Surface.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

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

// A main window model over a scripted host and a recording settings store,
// with program and temporary folders of its own. The model is not loaded.
class FormTest : public testing::Test {
protected:
    // The line numbers of the last handler run, and of its failed steps.
    std::vector<std::int32_t> Lines() const { return LinesOf(form.LastRun()); }
    std::vector<std::int32_t> FailedLines() const { return test::FailedLines(form.LastRun()); }
    // Writes start.bmp and end.bmp (endWidth wide when given) of one colour
    // each into the folder and chooses them as the two pictures.
    void LoadPair(const std::filesystem::path& folder, std::int32_t w, std::int32_t h, ColorRef start, ColorRef end,
                  std::int32_t endWidth = 0) {
        WriteBitmap(folder / "start.bmp", w, h, start);
        WriteBitmap(folder / "end.bmp", endWidth ? endWidth : w, h, end);
        host.QueueFile((folder / "start.bmp").string());
        host.QueueFile((folder / "end.bmp").string());
        form.ChooseStartPicture();
        form.ChooseEndPicture();
        ASSERT_TRUE(host.messages.empty());
    }

    TempDir program;
    TempDir temp;
    ScriptedHost host;
    RecordingSettingsStore store;
    MainWindowModel form{host, store, host, program.path().string()};
};

}  // namespace crossmeld::test
