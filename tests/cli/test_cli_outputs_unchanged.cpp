// The create command's files, byte for byte, against fades written before
// frames streamed from the engine to the encoders (tests/data/stream): the
// same inputs, counts, rates, codecs, palettes and dithers must give the
// same files.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

fs::path Fixtures() { return fs::path(CROSSMELD_SOURCE_DIR) / "tests/data/stream"; }

std::string Cli() { return (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string(); }

void ExpectSameFile(const std::string& options, const std::string& fixture) {
    TempDir dir;
    const fs::path out = dir / fixture;
    const std::string output = fixture.ends_with(".avi") ? " --avi " : " --gif ";
    std::string text;
    ASSERT_EQ(RunCommand("TEMP=" + Quote(dir.path()) + " " + Quote(Cli()) + " --quiet --start " +
                             Quote(Fixtures() / "start.png") + " --end " + Quote(Fixtures() / "end.png") + " " +
                             options + output + Quote(out) + " 2>&1",
                         &text),
              0)
        << text;
    EXPECT_EQ(ReadBytes(out), ReadBytes(Fixtures() / fixture)) << fixture << " differs";
}

TEST(OutputsUnchanged, AviFullFramesAndMotionJpeg) {
    ExpectSameFile("--frames 6 --fps 7", "raw.avi");
    ExpectSameFile("--frames 6 --fps 7 --codec mjpeg", "mjpeg.avi");
}

TEST(OutputsUnchanged, GifInEveryPaletteAndDither) {
    for (const char* palette : {"halftone", "adaptive"})
        for (const char* dither : {"none", "ordered", "diffusion"})
            ExpectSameFile(std::string("--frames 6 --fps 7 --palette ") + palette + " --dither " + dither,
                           std::string(palette) + "-" + dither + ".gif");
    ExpectSameFile("--frames 3 --fps 30 --palette adaptive", "adaptive-ordered-30fps.gif");
}

}  // namespace
