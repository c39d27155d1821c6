// The animated WebP output as PIL reads it: frame count, each frame's
// duration and the loop count; lossy frames above 35 dB at the default
// quality, lossless frames exact at 100; and what a failure leaves behind.
#include <gtest/gtest.h>

#include <iostream>

#include "base/Error.h"
#include "export/WebpSink.h"
#include "support/Animations.h"
#include "support/FileSizeLimit.h"
#include "support/SinkChecks.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

// At 30 frames a second the frames start at 0, 33, 67, 100, 133, 167 ...
// ms (k x 1000 / 30 rounded): lengths 33, 34, 33 over and over.
TEST(WebpSink, TheDefaultQualityFadeHasItsFramesDurationsAndLoopAndStaysAbove35Db) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const FrameSet fade = PhotoFade(16);
    ASSERT_FALSE(fade.bgrx.empty());
    TempDir dir;
    WebpSink sink;
    EncodeFrames(sink, dir / "fade.webp", fade, 30);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"fade.webp"});

    const auto animation = ReadAnimationWithPil(dir / "fade.webp");
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->format, "WEBP");
    EXPECT_EQ(animation->width, 320);
    EXPECT_EQ(animation->height, 368);
    EXPECT_EQ(animation->loop, 0);
    EXPECT_EQ(animation->durations,
              (std::vector<double>{33, 34, 33, 33, 34, 33, 33, 34, 33, 33, 34, 33, 33, 34, 33, 33}));
    ASSERT_EQ(animation->rgb.size(), 16u);
    double worst = 99, sum = 0;
    for (std::size_t k = 0; k < 16; ++k) {
        const double psnr = Psnr(animation->rgb[k], fade.bgrx[k]);
        EXPECT_GE(psnr, 35.0) << "frame " << k;
        worst = std::min(worst, psnr);
        sum += psnr;
    }
    std::cout << "webp: " << fs::file_size(dir / "fade.webp") << " bytes, PSNR mean " << sum / 16 << " dB, worst "
              << worst << " dB\n";
}

// At 7 frames a second: starts 0, 143, 286, 429, 571, 714, 857, 1000 ms.
TEST(WebpSink, QualityHundredIsLosslessAndTheLoopCountIsKept) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const FrameSet fade = GradientFade(37, 23, 7);
    TempDir dir;
    WebpSink sink(EncoderOptions{100, 3});
    EncodeFrames(sink, dir / "fade.webp", fade, 7);
    const auto animation = ReadAnimationWithPil(dir / "fade.webp");
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->loop, 3);
    EXPECT_EQ(animation->durations, (std::vector<double>{143, 143, 143, 142, 143, 143, 143}));
    ASSERT_EQ(animation->rgb.size(), 7u);
    for (std::size_t k = 0; k < 7; ++k) EXPECT_EQ(Psnr(animation->rgb[k], fade.bgrx[k]), 99.0) << "frame " << k;
}

struct WebpSinkFailure : ExistingOutput {
    WebpSinkFailure() : ExistingOutput("fade.webp") {}
    FrameSet fade = GradientFade(64, 48, 4);
};

TEST_F(WebpSinkFailure, AbortRefusedSettingsAMissingFolderOrAFullDiskKeepTheOldFile) {
    {
        WebpSink sink;
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 4, 10}));
        sink.Write(FrameView{64, 48, fade.bgrx[0]});
        sink.Abort();
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 4, 10}));
        sink.Write(FrameView{64, 48, fade.bgrx[0]});
    }
    ExpectOnlyTheOldFile("aborted");

    WebpSink tooWide;
    EXPECT_THROW(tooWide.Begin(old, OutputSettings{16384, 2, 4, 10}), Error);
    WebpSink tooManyLoops(EncoderOptions{-1, 65536});
    EXPECT_THROW(tooManyLoops.Begin(old, OutputSettings{64, 48, 4, 10}), Error);
    WebpSink sink;
    EXPECT_THROW(sink.Begin(dir / "missing" / "fade.webp", OutputSettings{64, 48, 4, 10}), OutputWriteFailed);
    ExpectOnlyTheOldFile("refused");

    // The file is written whole at the end: a full disk shows at Finish.
    ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 4, 10}));
    for (const auto& frame : fade.bgrx) sink.Write(FrameView{64, 48, frame});
    {
        FileSizeLimit lowered(100);
        EXPECT_THROW(sink.Finish(), OutputWriteFailed);
    }
    sink.Abort();
    ExpectOnlyTheOldFile("full disk");
}

}  // namespace
}  // namespace crossmeld::test
