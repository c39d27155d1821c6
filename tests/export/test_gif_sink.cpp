// The GIF output streamed frame by frame: its delays, what decoders
// written elsewhere read from it, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <ostream>

#include "base/Error.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "export/GifSink.h"
#include "raster/DibSurface.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::TempDir;

TEST(GifSink, FrameDelayIsTheStreamLengthSharedOutInHundredths) {
    // length = floor(N x 1000 / rate) ms; per frame rounded to ms, then to
    // hundredths, halves to even.
    EXPECT_EQ(GifSink::FrameDelay(10, 5), 20);   // 2000 / 10 = 200 ms
    EXPECT_EQ(GifSink::FrameDelay(10, 15), 7);   // 666 / 10 = 66.6 -> 67 ms -> 6.7
    EXPECT_EQ(GifSink::FrameDelay(6, 7), 14);    // 857 / 6 = 142.8 -> 143 ms -> 14.3
    EXPECT_EQ(GifSink::FrameDelay(3, 30), 3);    // 100 / 3 = 33.3 -> 33 ms
    EXPECT_EQ(GifSink::FrameDelay(4, 8), 12);    // 500 / 4 = 125 ms -> 12.5 -> 12
    EXPECT_EQ(GifSink::FrameDelay(2, 16), 6);    // 125 / 2 = 62.5 -> 62 ms -> 6.2
    EXPECT_EQ(GifSink::FrameDelay(2, 1), 100);
    EXPECT_THROW(GifSink::FrameDelay(0, 5), Error);
}

struct GifOutput : ::testing::Test {
    GifOutput() {
        reducer.InitDitherTables();
        reducer.SetPaletteMode(PaletteMode::Halftone);
        reducer.SetDitherMethod(DitherMethod::None);
    }
    // Frame k: every pixel (51k, 102, 255 - 51k), colours of the cube.
    std::vector<std::uint8_t> Frame(int k) const {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(w) * h * 4);
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            bytes[i] = static_cast<std::uint8_t>(255 - 51 * k);
            bytes[i + 1] = 102;
            bytes[i + 2] = static_cast<std::uint8_t>(51 * k);
        }
        return bytes;
    }
    TempDir dir;
    ColourReducer reducer;
    std::int32_t w = 5, h = 3;
};

TEST_F(GifOutput, PilReadsEveryFrameItsColourAndDurationAndTheLoop) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    GifSink sink(reducer);
    ASSERT_TRUE(sink.Begin(dir / "fade.gif", OutputSettings{w, h, 4, 8}));
    for (int k = 0; k < 4; ++k) {
        const auto bytes = Frame(k);
        sink.Write(FrameView{w, h, bytes});
    }
    sink.Finish();
    std::string out;
    ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c \"\nfrom PIL import Image, ImageSequence\nim = Image.open('" +
                                   (dir / "fade.gif").string() +
                                   "')\nprint(im.info.get('loop'), im.size)\nfor f in ImageSequence.Iterator(im):\n"
                                   "    print(f.info['duration'], f.convert('RGB').getpixel((4, 2)))\n\"",
                               &out),
              0)
        << out;
    EXPECT_EQ(out,
              "0 (5, 3)\n120 (0, 102, 255)\n120 (51, 102, 204)\n120 (102, 102, 153)\n120 (153, 102, 102)\n");
}

TEST_F(GifOutput, AFailedOrAbortedOutputLeavesAnOlderFileAsItWas) {
    GifSink sink(reducer);
    EXPECT_THROW(sink.Begin(dir / "missing" / "fade.gif", OutputSettings{w, h, 2, 5}), OutputWriteFailed);

    const auto target = dir / "old.gif";
    { std::ofstream(target) << "older"; }
    ASSERT_TRUE(sink.Begin(target, OutputSettings{w, h, 2, 5}));
    const auto bytes = Frame(1);
    sink.Write(FrameView{w, h, bytes});
    sink.Abort();
    EXPECT_EQ(test::ReadBytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd', 'e', 'r'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no part file is left";

    ASSERT_TRUE(sink.Begin(target, OutputSettings{w, h, 2, 5}));
    EXPECT_THROW(sink.Write(FrameView{w + 1, h, bytes}), Error) << "a frame of another size";
}

TEST_F(GifOutput, AFadePaletteHoldsBothPicturesAndTheirBlendsFromTheFirstFrame) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    // Red to blue: the blends at eighths are (255 - 255w, 0, 255w) rounded,
    // nine colours an octree of depth 6 keeps apart, so the palette is
    // exactly them: 255, 223, 191, 159, 128 (127.5, halves to even), 96,
    // 64, 32, 0 of red, the rest of blue.
    reducer.SetPaletteMode(PaletteMode::Fade);
    std::vector<std::uint8_t> red(static_cast<std::size_t>(w) * h * 4), blue(red.size());
    for (std::size_t i = 0; i < red.size(); i += 4) {
        red[i + 2] = 255;
        blue[i] = 255;
    }
    GifSink sink(reducer);
    ASSERT_TRUE(sink.Begin(dir / "fade.gif", OutputSettings{w, h, 2, 5}));
    sink.PreparePalette(FrameView{w, h, red}, FrameView{w, h, blue});
    sink.Write(FrameView{w, h, red});
    EXPECT_THROW(sink.PreparePalette(FrameView{w, h, red}, FrameView{w, h, blue}), Error) << "after a frame";
    sink.Write(FrameView{w, h, blue});
    sink.Finish();
    std::string out;
    ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; p = Image.open(sys.argv[1])"
                               ".getpalette()\nprint(sorted(tuple(p[i:i + 3]) for i in range(0, 27, 3)))\" " +
                                   test::Quote(dir / "fade.gif"),
                               &out),
              0)
        << out;
    EXPECT_EQ(out, "[(0, 0, 255), (32, 0, 223), (64, 0, 191), (96, 0, 159), (128, 0, 128), (159, 0, 96), "
                   "(191, 0, 64), (223, 0, 32), (255, 0, 0)]\n");

    reducer.SetPaletteMode(PaletteMode::Adaptive);
    ASSERT_TRUE(sink.Begin(dir / "adaptive.gif", OutputSettings{w, h, 2, 5}));
    EXPECT_THROW(sink.PreparePalette(FrameView{w, h, red}, FrameView{w, h, blue}), Error) << "not in fade mode";
}

struct ReductionCase {
    const char* name;
    PaletteMode palette;
    DitherMethod dither;
};

void PrintTo(const ReductionCase& c, std::ostream* os) { *os << c.name; }

class GifOfTestPattern : public ::testing::TestWithParam<ReductionCase> {};

// ffmpeg's test pattern through the sink; ffmpeg decodes the GIF, and every
// pixel must be the palette colour that a reducer of its own, converting
// the same frames, picks for it. PIL reads the frame count and delays.
TEST_P(GifOfTestPattern, FfmpegDecodesTheColoursAnIndependentReductionGives) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const ReductionCase& c = GetParam();
    constexpr int w = 64, h = 48, n = 6;
    constexpr std::size_t frameBytes = std::size_t{w} * h * 4;
    std::string pattern;
    ASSERT_EQ(test::RunCommand("/usr/bin/ffmpeg -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=5 -frames:v 6 "
                               "-f rawvideo -pix_fmt bgra -",
                               &pattern),
              0);
    ASSERT_EQ(pattern.size(), n * frameBytes);
    const auto* frames = reinterpret_cast<const std::uint8_t*>(pattern.data());

    TempDir dir;
    const auto out = dir / "pattern.gif";
    ColourReducer reducer;
    reducer.InitDitherTables();
    reducer.SetPaletteMode(c.palette);
    reducer.SetDitherMethod(c.dither);
    GifSink sink(reducer);
    ASSERT_TRUE(sink.Begin(out, OutputSettings{w, h, n, 5}));
    for (int k = 0; k < n; ++k) sink.Write(FrameView{w, h, {frames + k * frameBytes, frameBytes}});
    sink.Finish();

    const auto decoded = test::DecodeFramesWithFfmpeg(out, "rgb24", std::size_t{w} * h * 3);
    ASSERT_EQ(decoded.size(), std::size_t{n});
    ColourReducer own;
    own.InitDitherTables();
    own.SetPaletteMode(c.palette);
    own.SetDitherMethod(c.dither);
    Palette256 palette;
    for (int k = 0; k < n; ++k) {
        DibSurface source, indices;
        ASSERT_TRUE(source.Create(w, h, 32));
        for (int y = 0; y < h; ++y)
            std::memcpy(source.Bits() + static_cast<std::size_t>(y) * source.BytesPerScanline(),
                        frames + k * frameBytes + static_cast<std::size_t>(y) * w * 4, std::size_t{w} * 4);
        own.ConvertTo8bpp(source, indices, palette, k > 0);
        const auto entries = palette.Bytes();
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t entry = indices.Bits()[static_cast<std::size_t>(y) * indices.BytesPerScanline() + x];
                const std::uint8_t* got = &decoded[k][(static_cast<std::size_t>(y) * w + x) * 3];
                if (got[0] != entries[entry * 4 + 2] || got[1] != entries[entry * 4 + 1] ||
                    got[2] != entries[entry * 4])
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "pixels of frame " << k;
    }

    std::string pil;
    ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c \"\nfrom PIL import Image, ImageSequence\nim = Image.open('" +
                                   out.string() +
                                   "')\nprint(im.n_frames, [f.info['duration'] for f in ImageSequence.Iterator(im)])\n\"",
                               &pil),
              0);
    EXPECT_EQ(pil, "6 [200, 200, 200, 200, 200, 200]\n");  // 6 frames at 5 a second: 1200 ms shared out
}

INSTANTIATE_TEST_SUITE_P(Reductions, GifOfTestPattern,
                         ::testing::Values(ReductionCase{"HalftoneOrdered", PaletteMode::Halftone, DitherMethod::Ordered},
                                           ReductionCase{"AdaptiveDiffusion", PaletteMode::Adaptive,
                                                         DitherMethod::Diffusion},
                                           ReductionCase{"HalftoneNone", PaletteMode::Halftone, DitherMethod::None}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace crossmeld
