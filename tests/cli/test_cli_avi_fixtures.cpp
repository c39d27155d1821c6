// crossmeld-cli's AVI files held to the stored fades in tests/data/stream:
// the 37 x 23 pair start.png / end.png, 6 frames at 7 per second, written
// as full frames (raw.avi) and as Motion JPEG (mjpeg.avi). The files must
// come out byte for byte the same; the layout tests check what the bytes
// mean.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

std::string Cli() { return (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string(); }

class CliAviFixtures : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(CliAviFixtures, TheFadeMatchesTheStoredFile) {
    const auto& [codec, stored] = GetParam();
    const fs::path data = SourceDir() / "tests" / "data" / "stream";
    TempDir dir;
    std::string out;
    ASSERT_EQ(RunCommand("cd " + Quote(dir.path()) + " && TEMP=" + Quote(dir.path()) + " " + Quote(Cli()) +
                             " --quiet --start " + Quote(data / "start.png") + " --end " + Quote(data / "end.png") +
                             " --frames 6 --fps 7 --codec " + codec + " --avi fade.avi 2>" + Quote(dir / "err.txt"),
                         &out),
              0);
    EXPECT_EQ(out, "Done.\n");
    const auto written = ReadBytes(dir / "fade.avi");
    const auto expected = ReadBytes(data / stored);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the files differ";
}

INSTANTIATE_TEST_SUITE_P(Codecs, CliAviFixtures,
                         ::testing::Values(std::pair{"raw", "raw.avi"}, std::pair{"mjpeg", "mjpeg.avi"}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
