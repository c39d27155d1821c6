// A fade between two EMF pictures from the command line: crossmeld-cli with
// LibreOffice's fade_a.emf and fade_b.emf (same natural size) writes the AVI
// and the GIF, checked with ffprobe, ffmpeg and PIL against rsvg-convert's
// renderings of the two drawings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using namespace crossmeld::test;

fs::path DataDir() { return SourceDir() / "tests" / "data" / "metafile"; }
std::string Cli() { return (fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli").string(); }

int RunCli(const TempDir& dir, const std::string& args, std::string* err) {
    const auto errFile = dir / "stderr.txt";
    const int status = RunCommand("cd " + Quote(dir.path()) + " && TEMP=" + Quote(dir.path()) + " " + Quote(Cli()) +
                                  " " + args + " 2>" + Quote(errFile));
    const auto bytes = ReadBytes(errFile);
    err->assign(bytes.begin(), bytes.end());
    return status;
}

// Frames of a video or GIF as RGB bytes, decoded by ffmpeg.
std::vector<std::uint8_t> Frames(const TempDir& dir, const fs::path& file) {
    const auto raw = dir / (file.filename().string() + ".rgb");
    EXPECT_EQ(RunCommand("/usr/bin/ffmpeg -v error -i " + Quote(file) + " -f rawvideo -pix_fmt rgb24 " + Quote(raw)), 0);
    return ReadBytes(raw);
}

// Mean absolute channel difference between frame k and a reference image.
double MeanDifference(const std::vector<std::uint8_t>& frames, int k, const RgbImage& ref) {
    const std::size_t size = ref.rgb.size();
    if (frames.size() < (k + 1) * size) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += std::abs(int{frames[k * size + i]} - int{ref.rgb[i]});
    return sum / static_cast<double>(size);
}

// The same over 4 x 4 blocks, comparing block averages: ordered dithering
// scatters single pixels by a palette step but keeps the averages.
double BlockMeanDifference(const std::vector<std::uint8_t>& frames, int k, const RgbImage& ref) {
    const std::size_t size = ref.rgb.size();
    if (frames.size() < (k + 1) * size) return 255;
    const std::uint8_t* frame = frames.data() + k * size;
    double sum = 0;
    int blocks = 0;
    for (int by = 0; by + 4 <= ref.height; by += 4)
        for (int bx = 0; bx + 4 <= ref.width; bx += 4)
            for (int c = 0; c < 3; ++c) {
                int a = 0, b = 0;
                for (int y = by; y < by + 4; ++y)
                    for (int x = bx; x < bx + 4; ++x) {
                        a += frame[(y * ref.width + x) * 3 + c];
                        b += ref.rgb[(y * ref.width + x) * 3 + c];
                    }
                sum += std::abs(a - b) / 16.0;
                ++blocks;
            }
    return sum / blocks;
}

class MetafileFade : public ::testing::Test {
protected:
    void SetUp() override {
        CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
        CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
        fs::copy_file(DataDir() / "fade_a.emf", dir / "a.emf");
        fs::copy_file(DataDir() / "fade_b.emf", dir / "b.emf");
        auto a = DecodeWithPil(DataDir() / "fade_a.emf.png");
        auto b = DecodeWithPil(DataDir() / "fade_b.emf.png");
        ASSERT_TRUE(a && b);
        refA = *a;
        refB = *b;
        ASSERT_EQ(refA.width, refB.width);
        ASSERT_EQ(refA.height, refB.height);
    }

    TempDir dir;
    RgbImage refA, refB;
};

TEST_F(MetafileFade, AviFromTwoEmfPictures) {
    std::string err;
    ASSERT_EQ(RunCli(dir, "--start a.emf --end b.emf --frames 5 --fps 10 --avi fade.avi", &err), 0) << err;
    std::string probe;
    ASSERT_EQ(RunCommand("/usr/bin/ffprobe -v error -count_frames -show_entries "
                         "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of compact=p=0:nk=1 " +
                             Quote(dir / "fade.avi"),
                         &probe),
              0);
    EXPECT_EQ(probe, "rawvideo|" + std::to_string(refA.width) + "|" + std::to_string(refA.height) + "|10/1|5\n");
    const auto frames = Frames(dir, dir / "fade.avi");
    // The first frame is the starting drawing, the last the ending one; the
    // references are antialiased, our pictures are not, hence a small mean.
    EXPECT_LT(MeanDifference(frames, 0, refA), 4.0);
    EXPECT_LT(MeanDifference(frames, 4, refB), 4.0);
    EXPECT_GT(MeanDifference(frames, 0, refB), 40.0);
    // The middle frame is the even mix of the two.
    RgbImage mix = refA;
    for (std::size_t i = 0; i < mix.rgb.size(); ++i) mix.rgb[i] = static_cast<std::uint8_t>((refA.rgb[i] + refB.rgb[i]) / 2);
    EXPECT_LT(MeanDifference(frames, 2, mix), 4.0);
}

TEST_F(MetafileFade, GifFromTwoEmfPictures) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    std::string err;
    ASSERT_EQ(RunCli(dir, "--start a.emf --end b.emf --frames 4 --fps 5 --gif fade.gif", &err), 0) << err;
    std::string info;
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + (dir / "fade.gif").string() +
                             "'); print(im.format, im.size[0], im.size[1], im.n_frames, im.info.get('loop'))\"",
                         &info),
              0);
    EXPECT_EQ(info, "GIF " + std::to_string(refA.width) + " " + std::to_string(refA.height) + " 4 0\n");
    // The 216-colour ordered dither moves single pixels by up to a palette
    // step; block averages stay close to the drawings.
    const auto frames = Frames(dir, dir / "fade.gif");
    EXPECT_LT(BlockMeanDifference(frames, 0, refA), 8.0);
    EXPECT_LT(BlockMeanDifference(frames, 3, refB), 8.0);
    EXPECT_GT(MeanDifference(frames, 0, refB), 40.0);
}

}  // namespace
}  // namespace crossmeld
