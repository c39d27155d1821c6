// crossmeld-cli protects the user's files: an output that names an input is
// refused, signals and failures leave nothing behind and keep an existing
// output, and "Done." shows only when the output was written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "formats/LoadPicture.h"
#include "raster/Surface.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using namespace crossmeld::test;

namespace {

struct Finished {
    int status = -1;  // the exit status, or -1 when a signal ended it
    std::string out;
    std::string err;
};

std::string Text(const fs::path& path) {
    if (!fs::exists(path)) return {};
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Starts crossmeld-cli in dir (TEMP = dir) with default signal handling;
// before it runs, limit applies to the child (e.g. a file-size limit).
pid_t Start(const TempDir& dir, std::vector<std::string> args, rlim_t fileSizeLimit = RLIM_INFINITY) {
    const std::string cli = (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string();
    const std::string out = (dir / "stdout.txt").string(), err = (dir / "stderr.txt").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.path().c_str()) != 0) ::_exit(120);
        ::setenv("TEMP", dir.path().c_str(), 1);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
        if (fileSizeLimit != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
            rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(cli.c_str())};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(cli.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

Finished Wait(const TempDir& dir, pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Finished f;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    f.out = Text(dir / "stdout.txt");
    f.err = Text(dir / "stderr.txt");
    return f;
}

Finished RunCli(const TempDir& dir, std::vector<std::string> args, rlim_t fileSizeLimit = RLIM_INFINITY) {
    return Wait(dir, Start(dir, std::move(args), fileSizeLimit));
}

void WritePicture(const fs::path& path, int width, int height, std::uint8_t level) {
    auto s = Surface::Create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s->SetPixel(x, y, Rgb(level, static_cast<std::uint8_t>(x), 0));
    SavePicture(*s, path.string());
}

// Names in dir that a run may not leave: its temporary folders, part files
// and frame files.
std::vector<std::string> Debris(const TempDir& dir) {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (name.rfind("crossmeld-", 0) == 0 || name.find(".part") != std::string::npos ||
            name.rfind("Morph_", 0) == 0 || name == "temp.avi")
            left.push_back(name);
    }
    return left;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CliProtection, AnOutputThatIsAnInputIsRefusedBeforeAnyWork) {
    TempDir dir;
    WritePicture(dir / "a.bmp", 8, 4, 10);
    WritePicture(dir / "b.bmp", 8, 4, 90);
    const auto a = ReadBytes(dir / "a.bmp"), b = ReadBytes(dir / "b.bmp");
    fs::create_symlink("a.bmp", dir / "link.gif");
    fs::create_hard_link(dir / "b.bmp", dir / "hard.avi");
    for (const std::vector<std::string>& output : {std::vector<std::string>{"--gif", "a.bmp"},
                                                   {"--gif", "./a.bmp"},
                                                   {"--gif", (dir / "a.bmp").string()},
                                                   {"--gif", "link.gif"},
                                                   {"--avi", "hard.avi"},
                                                   {"--avi", "b.bmp"}}) {
        SCOPED_TRACE(output[1]);
        std::vector<std::string> args{"--start", "a.bmp", "--end", "b.bmp", "--frames", "3"};
        args.insert(args.end(), output.begin(), output.end());
        const Finished f = RunCli(dir, args);
        EXPECT_EQ(f.status, 1);
        EXPECT_EQ(Count(f.err, "\n"), 1) << f.err;
        EXPECT_NE(f.err.find(output[1]), std::string::npos) << f.err;
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(ReadBytes(dir / "a.bmp"), a);
        EXPECT_EQ(ReadBytes(dir / "b.bmp"), b);
        EXPECT_TRUE(Debris(dir).empty());
    }
}

TEST(CliProtection, SignalsStopTheRunAndLeaveNothing) {
    TempDir dir;
    WritePicture(dir / "a.bmp", 320, 240, 10);
    WritePicture(dir / "b.bmp", 320, 240, 200);
    for (const auto& [signal, output, expected] :
         {std::tuple{SIGINT, "keep.gif", 130}, std::tuple{SIGTERM, "keep.avi", 143}, std::tuple{SIGHUP, "keep.gif", 129}}) {
        SCOPED_TRACE(signal);
        WriteBytes(dir / output, {1, 2, 3});
        const std::string flag = fs::path(output).extension() == ".gif" ? "--gif" : "--avi";
        const pid_t pid = Start(dir, {"--start", "a.bmp", "--end", "b.bmp", "--frames", "5000", flag, output});
        // Wait until frames are being written (the part file grows), then
        // interrupt.
        bool started = false;
        for (int i = 0; i < 400 && !started; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            for (const auto& e : fs::directory_iterator(dir.path()))
                if (e.path().filename().string().find(".part") != std::string::npos && fs::file_size(e.path()) > 100000)
                    started = true;
        }
        ASSERT_TRUE(started);
        ::kill(pid, signal);
        const Finished f = Wait(dir, pid);
        EXPECT_EQ(f.status, expected) << f.err;
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(Count(f.err, "in Crossmeld2021/08/31.Form1."), 0) << f.err;
        EXPECT_EQ(ReadBytes(dir / output), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_TRUE(Debris(dir).empty()) << Debris(dir).front();
    }
}

TEST(CliProtection, AnOutputThatCannotBeWrittenEndsTheRunWithItsMessage) {
    TempDir dir;
    // 30 frames of 200 x 100 pixels do not fit a 40 kB file-size limit.
    WritePicture(dir / "a.bmp", 200, 100, 10);
    WritePicture(dir / "b.bmp", 200, 100, 90);
    for (const auto& [flag, output, message] :
         {std::tuple{"--gif", "keep.gif", "Unexpected error saving GIF file."},
          std::tuple{"--avi", "keep.avi", "There was an error writing the file."}}) {
        WriteBytes(dir / output, {7});
        const Finished f =
            RunCli(dir, {"--start", "a.bmp", "--end", "b.bmp", "--frames", "30", flag, output, "--quiet"}, 40000);
        EXPECT_EQ(f.status, 1);
        EXPECT_EQ(f.err, std::string(message) + "\n");
        EXPECT_EQ(f.out, "");  // no "Done." after a failure
        EXPECT_EQ(ReadBytes(dir / output), (std::vector<std::uint8_t>{7}));
        EXPECT_TRUE(Debris(dir).empty());
    }

    // A folder that does not exist: the writer's message, no "Done.".
    const Finished missing = RunCli(dir, {"--start", "a.bmp", "--end", "a.bmp", "--frames", "2", "--avi", "no/x.avi"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

}  // namespace
