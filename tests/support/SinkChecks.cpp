#include "support/SinkChecks.h"

#include "support/FileSizeLimit.h"

namespace crossmeld::test {

void EncodeFrames(FrameSink& sink, const fs::path& out, const FrameSet& frames, int fps) {
    ASSERT_TRUE(sink.Begin(out, OutputSettings{frames.width, frames.height, int(frames.bgrx.size()), fps}));
    for (const auto& frame : frames.bgrx) sink.Write(FrameView{frames.width, frames.height, frame});
    sink.Finish();
}

bool FailsWithFileLimit(FrameSink& sink, const fs::path& out, const FrameSet& frames, int fps, rlim_t limit) {
    if (!sink.Begin(out, OutputSettings{frames.width, frames.height, int(frames.bgrx.size()), fps})) return false;
    FileSizeLimit lowered(limit);
    try {
        for (const auto& frame : frames.bgrx) sink.Write(FrameView{frames.width, frames.height, frame});
        sink.Finish();
    } catch (const OutputWriteFailed&) {
        sink.Abort();
        return true;
    }
    return false;
}

ExistingOutput::ExistingOutput(const std::string& name) : old(dir / name) { WriteBytes(old, {'o', 'l', 'd'}); }

void ExistingOutput::ExpectOnlyTheOldFile(const std::string& context) const {
    EXPECT_EQ(ReadBytes(old), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << context;
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{old.filename().string()}) << context;
}

}  // namespace crossmeld::test
