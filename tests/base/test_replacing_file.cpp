// The replacing file's part files: named with their maker's process id, and
// removed by the next output to the same target once that process is gone
// (killed, so that nothing of its own could remove them).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "base/ReplacingFile.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

TEST(ReplacingFile, PartsOfKilledRunsGoAndOthersStay) {
    TempDir dir;
    const fs::path target = dir / "fade.avi";
    // A process that has ended: a child that exits at once.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = ".fade.avi.part" + std::to_string(child) + "-abc123";
    const std::string alive = ".fade.avi.part" + std::to_string(::getpid()) + "-def456";
    for (const std::string& name : {dead, alive, std::string(".fade.avi.partXYZ123"), std::string(".other.avi.part1-x")})
        WriteBytes(dir / name, {'p'});

    ReplacingFile file;
    ASSERT_TRUE(file.Create(target));
    EXPECT_FALSE(fs::exists(dir / dead));
    EXPECT_TRUE(fs::exists(dir / alive)) << "a running process's part file";
    EXPECT_TRUE(fs::exists(dir / ".fade.avi.partXYZ123")) << "no process id in the name";
    EXPECT_TRUE(fs::exists(dir / ".other.avi.part1-x")) << "another target's";
    EXPECT_EQ(file.TemporaryPath().filename().string().rfind(".fade.avi.part" + std::to_string(::getpid()) + "-", 0), 0u);
    file.Discard();
}
