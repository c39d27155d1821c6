// The animated PNG output: its own chunks against bytes worked out by hand
// (CRCs from a separate zlib), and whole files as PIL and ffmpeg read them:
// every frame exactly the frame given, the count, delays and loop count.
#include <gtest/gtest.h>

#include "base/Error.h"
#include "export/ApngChunks.h"
#include "export/ApngSink.h"
#include "support/Animations.h"
#include "support/SinkChecks.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ApngChunks, ControlAndDataChunksMatchTheirLayoutWorkedOutByHand) {
    EXPECT_EQ(apng::Chunk("IEND", {}), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
    // 3 frames, played forever.
    EXPECT_EQ(apng::AnimationControl(3, 0),
              (Bytes{0, 0, 0, 8, 'a', 'c', 'T', 'L', 0, 0, 0, 3, 0, 0, 0, 0, 0xCE, 0xED, 0xBA, 0xC0}));
    // Sequence 1, 37 x 23 at 0, 0, 1/30 s, no disposal, source blending.
    EXPECT_EQ(apng::FrameControl(1, 37, 23, 1, 30),
              (Bytes{0, 0, 0, 26, 'f', 'c', 'T', 'L', 0, 0, 0, 1, 0, 0, 0, 37, 0, 0, 0, 23, 0,    0,    0,   0,
                     0, 0, 0, 0, 0, 1, 0, 30, 0, 0, 0x73, 0x57, 0xE1, 0xE3}));
    const Bytes idat{0x78, 0x9C};
    EXPECT_EQ(apng::FrameData(2, idat),
              (Bytes{0, 0, 0, 6, 'f', 'd', 'A', 'T', 0, 0, 0, 2, 0x78, 0x9C, 0x11, 0x8A, 0x3B, 0xC1}));
}

TEST(ApngChunks, SplittingFindsEveryChunkAndRefusesCutOrForeignFiles) {
    Bytes file(apng::kPngSignature.begin(), apng::kPngSignature.end());
    for (const Bytes& chunk : {apng::AnimationControl(3, 0), apng::Chunk("IEND", {})})
        file.insert(file.end(), chunk.begin(), chunk.end());
    const auto chunks = apng::SplitChunks(file);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].type, "acTL");
    EXPECT_EQ(Bytes(chunks[0].data.begin(), chunks[0].data.end()), (Bytes{0, 0, 0, 3, 0, 0, 0, 0}));
    EXPECT_EQ(chunks[0].whole.size(), 20u);
    EXPECT_EQ(chunks[1].type, "IEND");

    EXPECT_THROW(apng::SplitChunks(Bytes(file.begin(), file.end() - 1)), Error);
    Bytes foreign = file;
    foreign[1] = 'Q';
    EXPECT_THROW(apng::SplitChunks(foreign), Error);
    Bytes huge = file;
    huge[8] = 0x7F;  // acTL claims 2 GiB
    EXPECT_THROW(apng::SplitChunks(huge), Error);
}

void ExpectExactly(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& bgrx, const std::string& what) {
    ASSERT_EQ(rgb.size() / 3, bgrx.size() / 4) << what;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < rgb.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) differing += rgb[i * 3 + c] != bgrx[i * 4 + 2 - c];
    EXPECT_EQ(differing, 0u) << what;
}

TEST(ApngSink, PilAndFfmpegReadBackEveryFrameExactlyWithItsDelayAndTheLoopCount) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    struct Case {
        FrameSet frames;
        int fps;
        int loops;
        double duration;  // ms, as PIL gives it: 1000 x 1 / rate
    };
    const Case cases[] = {{GradientFade(37, 23, 5), 30, 0, 1000.0 / 30}, {PhotoFade(3), 1, 3, 1000.0}};
    for (const Case& c : cases) {
        ASSERT_FALSE(c.frames.bgrx.empty());
        const std::string what = std::to_string(c.frames.width) + " x " + std::to_string(c.frames.height);
        TempDir dir;
        ApngSink sink(EncoderOptions{-1, c.loops});
        EncodeFrames(sink, dir / "fade.png", c.frames, c.fps);
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"fade.png"});

        const auto animation = ReadAnimationWithPil(dir / "fade.png");
        ASSERT_TRUE(animation) << what;
        EXPECT_EQ(animation->format, "PNG");
        EXPECT_EQ(animation->loop, c.loops) << what;
        ASSERT_EQ(animation->rgb.size(), c.frames.bgrx.size()) << what;
        for (std::size_t k = 0; k < c.frames.bgrx.size(); ++k) {
            EXPECT_NEAR(animation->durations[k], c.duration, 1e-6) << what << " frame " << k;
            ExpectExactly(animation->rgb[k], c.frames.bgrx[k], what + " frame " + std::to_string(k));
        }

        const auto decoded = DecodeFramesWithFfmpeg(dir / "fade.png", "rgb24",
                                                    std::size_t(c.frames.width) * c.frames.height * 3);
        ASSERT_EQ(decoded.size(), c.frames.bgrx.size()) << what;
        for (std::size_t k = 0; k < decoded.size(); ++k)
            ExpectExactly(decoded[k], c.frames.bgrx[k], "ffmpeg, " + what + " frame " + std::to_string(k));
    }
}

struct ApngSinkFailure : ExistingOutput {
    ApngSinkFailure() : ExistingOutput("fade.png") {}
    FrameSet fade = GradientFade(64, 48, 4);
};

TEST_F(ApngSinkFailure, AbortOrAWrongFrameCountLeavesNothingAndKeepsTheOldFile) {
    {
        ApngSink sink;
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 4, 10}));
        sink.Write(FrameView{64, 48, fade.bgrx[0]});
        sink.Abort();
        sink.Abort();
    }
    ExpectOnlyTheOldFile("aborted");
    {
        // The count is in the file's header: fewer frames cannot finish,
        // a fifth cannot be written.
        ApngSink sink;
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 4, 10}));
        for (int k = 0; k < 3; ++k) sink.Write(FrameView{64, 48, fade.bgrx[k]});
        EXPECT_THROW(sink.Finish(), Error);
        sink.Write(FrameView{64, 48, fade.bgrx[3]});
        EXPECT_THROW(sink.Write(FrameView{64, 48, fade.bgrx[3]}), Error);
    }
    ExpectOnlyTheOldFile("wrong count");
}

TEST_F(ApngSinkFailure, AMissingFolderOrAFullDiskIsAFailedWrite) {
    ApngSink sink;
    EXPECT_THROW(sink.Begin(dir / "missing" / "fade.png", OutputSettings{64, 48, 4, 10}), OutputWriteFailed);
    TempDir scratch;
    EncodeFrames(sink, scratch / "whole.png", fade, 10);
    const auto size = static_cast<rlim_t>(fs::file_size(scratch / "whole.png"));
    for (rlim_t limit : {size / 2, size - 1}) {
        EXPECT_TRUE(FailsWithFileLimit(sink, old, fade, 10, limit)) << "limit " << limit << " of " << size;
        ExpectOnlyTheOldFile("limit " + std::to_string(limit));
    }
}

}  // namespace
}  // namespace crossmeld::test
