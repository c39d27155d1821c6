#pragma once
// Helpers shared by the tests: data folders, files, temporary folders and the
// third-party programs used as oracles (ImageMagick, PIL, ffmpeg).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crossmeld {
class Surface;
}

namespace crossmeld::test {

namespace fs = std::filesystem;

fs::path SourceDir();
// ../shared/testdata beside the project; tests skip when it is absent.
fs::path TestDataDir();
bool HaveTestData();

std::vector<std::uint8_t> ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);

// A fresh folder removed when the object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const noexcept { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

// Runs a shell command; returns its exit status and, if asked, its standard output.
int Run(const std::string& command, std::string* output = nullptr);
// The same, under a name that gtest's Test::Run does not hide inside TEST bodies.
inline int RunCommand(const std::string& command, std::string* output = nullptr) { return Run(command, output); }
bool HaveProgram(const std::string& path);
std::string Quote(const fs::path& path);

// The two small pictures the command-line tests fade (tests/data/stream,
// start.png and end.png, 37 x 23) and the files made from them before.
fs::path StreamFixtures();
// Runs crossmeld-cli --quiet on those two pictures with the options;
// standard error joins the output.
int CreateFromFixtures(const std::string& options, std::string* output = nullptr);

// An image as 8-bit RGB triples, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Decodes a file with Python PIL (/usr/bin/python3), flattened to RGB
// (alpha composited over black).
std::optional<RgbImage> DecodeWithPil(const fs::path& file);
// Decodes a file with PIL and flattens every kind of transparency (alpha
// channel, transparent palette entries, a transparent colour key) over the
// given background. 16-bit grey samples keep their high byte, as PIL does
// for 16-bit colour samples (instead of its clamping of wide grey values).
struct Background {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};
std::optional<RgbImage> DecodeWithPil(const fs::path& file, Background background);
// Decodes a file with ImageMagick (/usr/bin/convert) to RGB.
std::optional<RgbImage> DecodeWithImageMagick(const fs::path& file);

// Every frame of a video or animation decoded by ffmpeg (/usr/bin/ffmpeg)
// to raw pixels of the given ffmpeg pixel format, top row first, one entry
// per frame stored (none dropped or repeated). Empty when ffmpeg fails or
// its output does not split into frames of frameBytes.
std::vector<std::vector<std::uint8_t>> DecodeFramesWithFfmpeg(const fs::path& file, const std::string& pixelFormat,
                                                             std::size_t frameBytes);

// The pixels of a surface (any depth, either row order) as RGB triples.
RgbImage RgbFromSurface(const Surface& surface);

// Largest absolute channel difference, and the count of channels differing
// by more than the tolerance. Sizes must match.
struct Difference {
    int maxDelta = 0;
    std::size_t over = 0;
};
Difference Compare(const RgbImage& a, const RgbImage& b, int tolerance = 0);

}  // namespace crossmeld::test

// Skips the current test with a message when ../shared/testdata is absent.
#define CROSSMELD_REQUIRE_TESTDATA()                                                   \
    do {                                                                              \
        if (!::crossmeld::test::HaveTestData()) GTEST_SKIP() << "../shared/testdata is absent"; \
    } while (0)
#define CROSSMELD_REQUIRE_PROGRAM(p)                                   \
    do {                                                              \
        if (!::crossmeld::test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed"; \
    } while (0)
