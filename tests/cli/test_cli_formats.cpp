// crossmeld-cli -o: the extension picks the format, and programs no one here
// wrote read each file with its frames, rate and timing; the animated PNG
// holds exactly the frames of the uncompressed AVI.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

fs::path Fixtures() { return StreamFixtures(); }

int Create(const std::string& options, std::string* output = nullptr) { return CreateFromFixtures(options, output); }

std::string Probe(const fs::path& file) {
    std::string text;
    RunCommand("/usr/bin/ffprobe -v error -count_frames -show_entries stream=codec_name,pix_fmt,r_frame_rate,"
               "nb_read_frames -of csv=p=0 " +
                   Quote(file),
               &text);
    return text;
}

// PIL's frame count, loop and durations (ms, rounded; a frame's duration is
// known once it is loaded), then every frame's RGB bytes as hex.
std::string Pil(const fs::path& file) {
    std::string text;
    RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); d = []; p = []\n"
               "for i in range(im.n_frames): im.seek(i); p.append(im.convert('RGB').tobytes().hex()); "
               "d.append(round(im.info['duration']))\n"
               "print(im.n_frames, im.info.get('loop'), d); print(' '.join(p))\" " +
                   Quote(file),
               &text);
    return text;
}

TEST(CliFormats, EachExtensionWritesItsFormat) {
    TempDir dir;
    ASSERT_EQ(Create("--frames 6 --fps 7 -o " + Quote(dir / "f.mp4")), 0);
    EXPECT_EQ(Probe(dir / "f.mp4"), "h264,yuv420p,7/1,6\n");
    ASSERT_EQ(Create("--frames 6 --fps 7 --hold-end 1 -o " + Quote(dir / "f.webm")), 0);
    EXPECT_EQ(Probe(dir / "f.webm"), "vp9,yuv420p,7/1,13\n") << "the last frame 7 more times";

    // WebP: frames of 143 ms (1/7 s), the first held half a second longer,
    // played twice in all.
    ASSERT_EQ(Create("--frames 3 --fps 7 --hold-start 0.5 --loop 2 -o " + Quote(dir / "f.webp")), 0);
    const std::string webp = Pil(dir / "f.webp");
    EXPECT_EQ(webp.substr(0, webp.find('\n')), "3 2 [643, 143, 143]");
}

TEST(CliFormats, AnimatedPngHoldsTheExactFrames) {
    TempDir dir;
    ASSERT_EQ(Create("--frames 6 --fps 7 -o " + Quote(dir / "f.apng")), 0);
    EXPECT_EQ(Probe(dir / "f.apng"), "apng,rgb24,7/1,6\n");
    std::string raw;
    ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(Fixtures() / "raw.avi") +
                             " -f rawvideo -pix_fmt rgb24 - | /usr/bin/python3 -c \"import sys; d = sys.stdin.buffer.read(); "
                             "n = 37 * 23 * 3; print(' '.join(d[i:i + n].hex() for i in range(0, len(d), n)))\"",
                         &raw),
              0);
    const std::string apng = Pil(dir / "f.apng");
    EXPECT_EQ(apng.substr(0, apng.find('\n')), "6 0 [143, 143, 143, 143, 143, 143]");
    EXPECT_EQ(apng.substr(apng.find('\n') + 1), raw) << "every frame exactly as the uncompressed AVI holds it";
}

TEST(CliFormats, WrongUsageNamesTheProblem) {
    TempDir dir;
    std::string text;
    EXPECT_EQ(Create("-o " + Quote(dir / "f.mov"), &text), 2);
    EXPECT_NE(text.find("avi, gif, mp4, webm, webp, png, apng"), std::string::npos) << text;
    EXPECT_EQ(Create("--palette adaptive -o " + Quote(dir / "f.mp4"), &text), 2);
    EXPECT_NE(text.find("applies to GIF output only"), std::string::npos) << text;
    EXPECT_EQ(Create("--loop 3 -o " + Quote(dir / "f.webm"), &text), 2);
    EXPECT_EQ(Create("--quality 50 -o " + Quote(dir / "f.png"), &text), 2);
    EXPECT_EQ(Create("--quality 50 --avi " + Quote(dir / "f.avi"), &text), 2);
    EXPECT_EQ(Create("--avi " + Quote(dir / "a.avi") + " -o " + Quote(dir / "f.mp4"), &text), 2);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
