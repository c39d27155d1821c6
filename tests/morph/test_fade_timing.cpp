// Frame weights, eased and straight, and the order of frames there and back.
#include <gtest/gtest.h>

#include <vector>

#include "base/Error.h"
#include "morph/FadeTiming.h"

using namespace crossmeld;

TEST(FadeTiming, WeightsStraightAndEased) {
    // Five frames: t = k / 4; eased t^2 (3 - 2t) = 0, 5/32, 1/2, 27/32, 1.
    const std::vector<float> straight{0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    const std::vector<float> eased{0.0f, 0.15625f, 0.5f, 0.84375f, 1.0f};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(FrameWeight(k, 4, Ease::Linear), straight[k]) << k;
        EXPECT_EQ(FrameWeight(k, 4, Ease::Smooth), eased[k]) << k;
    }
    // k / last is held in single precision before the easing: 1/3 -> 7/27.
    EXPECT_FLOAT_EQ(FrameWeight(1, 3, Ease::Smooth), 7.0f / 27.0f);
    EXPECT_EQ(FrameWeight(1, 3, Ease::Linear), 1.0f / 3.0f);
    EXPECT_THROW(FrameWeight(0, 0, Ease::Smooth), Error);
}

TEST(FadeTiming, ThereAndBackVisitsTheEndOnceAndStopsBeforeTheStart) {
    auto order = [](int n, bool bounce) {
        std::vector<int> frames;
        for (int j = 0; j < OutputFrameCount(n, bounce); ++j) frames.push_back(EngineFrameAt(j, n, bounce));
        return frames;
    };
    EXPECT_EQ(order(4, false), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(order(4, true), (std::vector<int>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(order(2, true), (std::vector<int>{0, 1}));
    EXPECT_EQ(OutputFrameCount(32767, true), 65532);
    EXPECT_THROW(EngineFrameAt(6, 4, true), Error);
}
