// crossmeld-cli's GIF options as decoders no one here wrote read them: an
// optimised GIF (--optimize) shows exactly the frames of the plain one in
// PIL, ffmpeg and giflib, and the fade palette (--palette fade) keeps every
// frame of the sample fade close to the exact blend.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

// The sample pair: 320 x 368.
constexpr std::size_t kSampleFrameBytes = std::size_t{320} * 368 * 3;

int Create(const std::string& options, std::string* output = nullptr) {
    return RunCommand(Quote(fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli") + " --quiet " + options + " 2>&1", output);
}

std::string Giflib(const fs::path& gif, const char* mode) {
    std::string text;
    EXPECT_EQ(
        RunCommand("/usr/bin/python3 " + Quote(fs::path(CROSSMELD_SOURCE_DIR) / "tests/data/gif/giflib_frames.py") +
                       " " + mode + " " + Quote(gif),
                   &text),
        0);
    return text;
}

// Each composited frame as PIL shows it: its duration and its RGB pixels' MD5.
std::string Pil(const fs::path& gif) {
    std::string text;
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys, hashlib; from PIL import Image, ImageSequence\n"
                         "for f in ImageSequence.Iterator(Image.open(sys.argv[1])):\n"
                         "    print(f.info['duration'], hashlib.md5(f.convert('RGB').tobytes()).hexdigest())\" " +
                             Quote(gif),
                         &text),
              0);
    return text;
}

// giflib's composed screens: the MD5s alone, and whether any optimised
// frame's transparent index is also a colour on its screen.
struct Screens {
    std::vector<std::string> md5;
    std::vector<std::string> transparent;
    bool covered = false;
};

Screens ParseScreens(const std::string& text) {
    Screens s;
    std::istringstream lines(text);
    std::string word, md5, label, transparent, label2;
    int n = 0, covered = 0;
    std::getline(lines, word);  // the screen line
    while (lines >> word >> n >> md5 >> label >> transparent >> label2 >> covered) {
        s.md5.push_back(md5);
        s.transparent.push_back(transparent);
        s.covered = s.covered || covered != 0;
    }
    return s;
}

struct OptimizeCase {
    const char* name;
    const char* options;
    bool cube;          // the halftone palette
    bool transparency;  // later frames keep enough pixels to use transparency
};

void PrintTo(const OptimizeCase& c, std::ostream* os) {
    *os << c.name;
}

class CliOptimize : public ::testing::TestWithParam<OptimizeCase> {};

TEST_P(CliOptimize, DecodersShowTheFramesOfThePlainGif) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    const OptimizeCase& c = GetParam();
    TempDir dir;
    const fs::path plain = dir / "plain.gif", optimized = dir / "optimized.gif";
    const std::string options = std::string("--frames 8 --fps 10 ") + c.options;
    std::string text;
    ASSERT_EQ(Create(options + " --gif " + Quote(plain), &text), 0) << text;
    ASSERT_EQ(Create(options + " --optimize --gif " + Quote(optimized), &text), 0) << text;

    const Screens a = ParseScreens(Giflib(plain, "--compose"));
    const Screens b = ParseScreens(Giflib(optimized, "--compose"));
    ASSERT_GE(a.md5.size(), 8u);
    EXPECT_EQ(a.md5, b.md5) << "giflib's screens";
    ASSERT_EQ(b.transparent.size(), a.md5.size());
    EXPECT_EQ(b.transparent.front(), "none") << "the first frame is whole";
    if (c.cube) {
        // The cube's 216 colours leave index 216 free: the transparent index
        // of every later frame that has one, and never a colour on screen.
        int transparent = 0;
        for (std::size_t k = 1; k < b.transparent.size(); ++k) {
            if (b.transparent[k] == "none") continue;
            EXPECT_EQ(b.transparent[k], "216") << "frame " << k;
            ++transparent;
        }
        EXPECT_EQ(transparent > 0, c.transparency);
        EXPECT_FALSE(b.covered);
    }
    EXPECT_EQ(Giflib(plain, "--timing"), Giflib(optimized, "--timing")) << "delays and loops";

    EXPECT_EQ(Pil(plain), Pil(optimized));
    const auto ffA = DecodeFramesWithFfmpeg(plain, "rgb24", kSampleFrameBytes);
    const auto ffB = DecodeFramesWithFfmpeg(optimized, "rgb24", kSampleFrameBytes);
    ASSERT_EQ(ffA.size(), a.md5.size());
    EXPECT_TRUE(ffA == ffB) << "ffmpeg's frames";
}

// The sample pair (no --start/--end): its cube colours with every dither,
// held and bounced frames, and octree palettes of 256 colours, whose
// transparent index is one each frame's changes leave unused.
INSTANTIATE_TEST_SUITE_P(
    Reductions, CliOptimize,
    ::testing::Values(OptimizeCase{"OrderedHeldAndBounced",
                                   "--dither ordered --hold-start 0.5 --hold-end 0.3 --bounce --loop 2", true, true},
                      OptimizeCase{"NoDither", "--dither none", true, true},
                      // Diffusion changes most pixels: plain rectangles are smaller.
                      OptimizeCase{"Diffusion", "--dither diffusion", true, false},
                      OptimizeCase{"AdaptiveDiffusion", "--palette adaptive --dither diffusion", false, true},
                      OptimizeCase{"FadeOrdered", "--palette fade --dither ordered", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliOptimize, AnUnchangedFrameIsOneTransparentPixelAndTheOptionNeedsAGif) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    TempDir dir;
    const fs::path same = fs::path(CROSSMELD_SOURCE_DIR) / "tests/data/stream/start.png";  // 37 x 23
    const fs::path gif = dir / "still.gif";
    std::string text;
    ASSERT_EQ(Create("--start " + Quote(same) + " --end " + Quote(same) + " --frames 3 --fps 5 --optimize --gif " +
                         Quote(gif),
                     &text),
              0)
        << text;
    // The cube's 216 colours leave index 216 (d8) for transparency; frames
    // 2 and 3 are its one pixel at the top left, 20 hundredths each.
    const std::string frames = Giflib(gif, "");
    EXPECT_NE(frames.find("frame 2 0 0 1 1 0\npixels d8\nframe 3 0 0 1 1 0\npixels d8\n"), std::string::npos) << frames;
    EXPECT_EQ(Giflib(gif, "--timing"), "screen 37 23 frames 3\nloop 0\ndelays 20 20 20\n");

    EXPECT_EQ(Create("--frames 3 --optimize --avi " + Quote(dir / "x.avi"), &text), 2) << text;
    EXPECT_EQ(Create("--frames 3 --palette fade --avi " + Quote(dir / "x.avi"), &text), 2) << text;
}

// Every frame's PSNR against the exact fade (the uncompressed AVI of the
// same run), from ffmpeg's decoding of both.
std::vector<double> FramePsnr(const fs::path& gif, const fs::path& avi) {
    const auto got = DecodeFramesWithFfmpeg(gif, "rgb24", kSampleFrameBytes);
    const auto exact = DecodeFramesWithFfmpeg(avi, "rgb24", kSampleFrameBytes);
    EXPECT_EQ(got.size(), exact.size());
    std::vector<double> psnr;
    for (std::size_t k = 0; k < std::min(got.size(), exact.size()); ++k) {
        double sum = 0;
        for (std::size_t i = 0; i < kSampleFrameBytes; ++i) {
            const double d = static_cast<double>(got[k][i]) - exact[k][i];
            sum += d * d;
        }
        psnr.push_back(10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(kSampleFrameBytes))));
    }
    return psnr;
}

TEST(CliFadePalette, EveryFrameOfTheSampleFadeKeepsCloseToTheExactBlend) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    TempDir dir;
    const std::string fade = "--frames 30 --fps 10 ";
    std::string text;
    ASSERT_EQ(Create(fade + "--avi " + Quote(dir / "exact.avi"), &text), 0) << text;
    double worst[3] = {};
    const char* runs[3] = {"--palette adaptive", "--palette fade", "--palette fade --optimize"};
    for (int r = 0; r < 3; ++r) {
        const fs::path gif = dir / ("run" + std::to_string(r) + ".gif");
        ASSERT_EQ(Create(fade + runs[r] + " --dither ordered --gif " + Quote(gif), &text), 0) << text;
        const auto psnr = FramePsnr(gif, dir / "exact.avi");
        ASSERT_EQ(psnr.size(), 30u);
        worst[r] = *std::min_element(psnr.begin(), psnr.end());
    }
    // The first frame's palette loses the end picture's colours; the
    // fade's keeps every frame above 29.5 dB; optimised frames show the same.
    EXPECT_GE(worst[1], 29.5);
    EXPECT_EQ(worst[2], worst[1]);
    EXPECT_GT(worst[1], worst[0]);
    RecordProperty("worst_psnr_adaptive", std::to_string(worst[0]));
    RecordProperty("worst_psnr_fade", std::to_string(worst[1]));
}

}  // namespace
