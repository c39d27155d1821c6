// crossmeld-cli's timing options as programs no one here wrote read them:
// the GIF's play count and delays (PIL and giflib), the AVI's repeated held
// frames and eased weights (ffmpeg).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

int Create(const std::string& options, std::string* output = nullptr) { return CreateFromFixtures(options, output); }

std::string Giflib(const fs::path& gif) {
    std::string text;
    EXPECT_EQ(RunCommand("/usr/bin/python3 " + Quote(fs::path(CROSSMELD_SOURCE_DIR) / "tests/data/gif/giflib_frames.py") +
                             " --timing " + Quote(gif),
                         &text),
              0);
    return text;
}

std::string Pil(const fs::path& gif) {
    std::string text;
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                         "d = []\nfor i in range(im.n_frames): im.seek(i); d.append(im.info['duration'])\n"
                         "print(im.info.get('loop', 'none'), d)\" " +
                             Quote(gif),
                         &text),
              0);
    return text;
}

// Every frame of a video as bgr24 bytes, one after the other.
std::vector<std::uint8_t> Decoded(const TempDir& dir, const fs::path& file) {
    const fs::path raw = dir / "frames.bgr";
    EXPECT_EQ(RunCommand("/usr/bin/ffmpeg -v error -y -i " + Quote(file) + " -f rawvideo -pix_fmt bgr24 " + Quote(raw)), 0);
    return ReadBytes(raw);
}

TEST(CliTiming, GifPlayCountHoldsAndBounce) {
    TempDir dir;
    const fs::path gif = dir / "t.gif";
    // Four frames there and back: 0 1 2 3 2 1; 20 hundredths each, the first
    // 1.5 s longer, the end picture's 0.25 s longer.
    ASSERT_EQ(Create("--frames 4 --fps 5 --bounce --loop 3 --hold-start 1.5 --hold-end 0.25 --gif " + Quote(gif)), 0);
    EXPECT_EQ(Giflib(gif), "screen 37 23 frames 6\nloop 2\ndelays 170 20 20 45 20 20\n");
    EXPECT_EQ(Pil(gif), "2 [1700, 200, 200, 450, 200, 200]\n");
    ASSERT_EQ(Create("--frames 2 --fps 5 --loop 1 --gif " + Quote(gif)), 0);
    EXPECT_EQ(Giflib(gif), "screen 37 23 frames 2\nloop none\ndelays 20 20\n");
    EXPECT_EQ(Pil(gif), "none [200, 200]\n");
    ASSERT_EQ(Create("--frames 2 --fps 5 --loop forever --gif " + Quote(gif)), 0);
    EXPECT_EQ(Giflib(gif), "screen 37 23 frames 2\nloop 0\ndelays 20 20\n");
}

TEST(CliTiming, AviRepeatsHeldFramesAndEasesWeights) {
    TempDir dir;
    const fs::path plain = dir / "plain.avi", held = dir / "held.avi", eased = dir / "eased.avi";
    ASSERT_EQ(Create("--frames 5 --fps 4 --avi " + Quote(plain)), 0);
    // Held 1 s and 0.5 s at 4 frames per second: 4 and 2 more frames.
    ASSERT_EQ(Create("--frames 5 --fps 4 --hold-start 1 --hold-end 0.5 --avi " + Quote(held)), 0);
    const auto p = Decoded(dir, plain), h = Decoded(dir, held);
    const std::size_t frame = 37 * 23 * 3;
    ASSERT_EQ(p.size(), 5 * frame);
    ASSERT_EQ(h.size(), 11 * frame);
    auto at = [frame](const std::vector<std::uint8_t>& v, std::size_t k) {
        return std::vector<std::uint8_t>(v.begin() + static_cast<std::ptrdiff_t>(k * frame),
                                         v.begin() + static_cast<std::ptrdiff_t>((k + 1) * frame));
    };
    const std::vector<std::size_t> shows{0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4};
    for (std::size_t k = 0; k < shows.size(); ++k) EXPECT_TRUE(at(h, k) == at(p, shows[k])) << k;

    // Eased, frame 1 of 5 has weight 5/32 (exact in binary), so each byte is
    // the nearest of S 27/32 + E 5/32, halves to even.
    ASSERT_EQ(Create("--frames 5 --fps 4 --ease smooth --avi " + Quote(eased)), 0);
    const auto e = Decoded(dir, eased);
    ASSERT_EQ(e.size(), 5 * frame);
    const auto s = at(p, 0), t = at(p, 4), one = at(e, 1);
    for (std::size_t i = 0; i < frame; ++i) {
        const int scaled = 27 * s[i] + 5 * t[i];  // 32 times the exact value
        const int floor = scaled / 32, rest = scaled % 32;
        const int expected = rest > 16 || (rest == 16 && floor % 2 == 1) ? floor + 1 : floor;
        ASSERT_EQ(one[i], expected) << i;
    }
    EXPECT_TRUE(at(e, 2) == at(p, 2)) << "both weigh the middle frame 1/2";
}

TEST(CliTiming, WrongUsage) {
    TempDir dir;
    std::string text;
    EXPECT_EQ(Create("--loop 2 --avi " + Quote(dir / "a.avi"), &text), 2) << text;
    EXPECT_EQ(Create("--hold-end 60.5 --gif " + Quote(dir / "a.gif"), &text), 2) << text;
    EXPECT_EQ(Create("--ease fast --gif " + Quote(dir / "a.gif"), &text), 2) << text;
    EXPECT_FALSE(fs::exists(dir / "a.avi") || fs::exists(dir / "a.gif"));
}

}  // namespace
