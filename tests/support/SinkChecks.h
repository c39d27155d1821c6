#pragma once
// Running a frame sink over a set of frames, and the checks every output's
// failure tests share: a failed or aborted output leaves nothing beside the
// file that was at the target before, and that file as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "export/FrameSink.h"
#include "support/Animations.h"

namespace crossmeld::test {

// Begin, every frame, Finish.
void EncodeFrames(FrameSink& sink, const fs::path& out, const FrameSet& frames, int fps);

// Encodes the frames while files may not grow past limit bytes; true when
// that ended in OutputWriteFailed (the sink is then aborted).
bool FailsWithFileLimit(FrameSink& sink, const fs::path& out, const FrameSet& frames, int fps, rlim_t limit);

// A folder with an older output, "old", in it.
class ExistingOutput : public ::testing::Test {
protected:
    explicit ExistingOutput(const std::string& name);
    // Fails the test unless the folder holds the older file alone, unchanged.
    void ExpectOnlyTheOldFile(const std::string& context) const;

    TempDir dir;
    fs::path old;
};

}  // namespace crossmeld::test
