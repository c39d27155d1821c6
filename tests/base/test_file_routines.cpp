// ReadRegularFile: whole regular files up to a limit; everything else
// refused before a byte is read, and without waiting for a pipe's writer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

#include "base/FileRoutines.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using Status = RegularFileRead::Status;

namespace {

TEST(ReadRegularFile, ReadsTheWholeFileUpToAndIncludingTheLimit) {
    test::TempDir tmp;
    std::vector<std::uint8_t> bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    test::WriteBytes(tmp / "data.bin", bytes);

    RegularFileRead read = ReadRegularFile((tmp / "data.bin").string(), 200000);
    EXPECT_EQ(read.status, Status::Read);
    EXPECT_EQ(read.bytes, bytes);

    read = ReadRegularFile((tmp / "data.bin").string(), 199999);
    EXPECT_EQ(read.status, Status::TooLarge);
    EXPECT_TRUE(read.bytes.empty());

    test::WriteBytes(tmp / "empty.bin", {});
    read = ReadRegularFile((tmp / "empty.bin").string(), 0);
    EXPECT_EQ(read.status, Status::Read);
    EXPECT_TRUE(read.bytes.empty());
}

TEST(ReadRegularFile, AMissingFileCannotBeOpened) {
    test::TempDir tmp;
    for (const auto& path : {tmp / "missing.bin", tmp / "no folder" / "missing.bin"}) {
        const RegularFileRead read = ReadRegularFile(path.string(), 100);
        EXPECT_EQ(read.status, Status::CannotOpen) << path;
        EXPECT_EQ(read.error, ENOENT) << path;
    }
}

TEST(ReadRegularFile, AnUnreadableFileCannotBeOpened) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    test::TempDir tmp;
    test::WriteBytes(tmp / "locked.bin", {1, 2, 3});
    ASSERT_EQ(::chmod((tmp / "locked.bin").c_str(), 0), 0);
    const RegularFileRead read = ReadRegularFile((tmp / "locked.bin").string(), 100);
    EXPECT_EQ(read.status, Status::CannotOpen);
    EXPECT_EQ(read.error, EACCES);
}

TEST(ReadRegularFile, FoldersAndPipesAreRefusedAtOnce) {
    test::TempDir tmp;
    RegularFileRead read = ReadRegularFile(tmp.path().string(), 1 << 20);
    EXPECT_EQ(read.status, Status::NotRegular);
    EXPECT_TRUE(S_ISDIR(read.mode));

    const auto fifo = tmp / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    alarm(10);  // an open that waits for a writer ends the test program instead of hanging
    const auto start = std::chrono::steady_clock::now();
    read = ReadRegularFile(fifo.string(), 1 << 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    alarm(0);
    EXPECT_EQ(read.status, Status::NotRegular);
    EXPECT_TRUE(S_ISFIFO(read.mode));
    EXPECT_TRUE(read.bytes.empty());
}

}  // namespace
