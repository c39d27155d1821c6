// Row-wise work over both cores: every row once, and the error a single pass
// would meet first.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "base/TwoHalves.h"

namespace crossmeld {
namespace {

TEST(TwoHalves, EveryRowRunsOnceWhateverTheCount) {
    for (std::int32_t count : {0, 1, 63, 64, 65, 1081}) {
        std::vector<std::atomic<int>> seen(static_cast<std::size_t>(count));
        ForTwoHalves(count, [&](std::int32_t first, std::int32_t end) {
            for (std::int32_t y = first; y < end; ++y) ++seen[static_cast<std::size_t>(y)];
        });
        for (std::int32_t y = 0; y < count; ++y) EXPECT_EQ(seen[static_cast<std::size_t>(y)], 1) << count << " rows, row " << y;
    }
}

TEST(TwoHalves, TheUpperHalfsErrorComesFirst) {
    const auto failIn = [](bool upper, bool lower) {
        try {
            ForTwoHalves(200, [&](std::int32_t first, std::int32_t) {
                if (first == 0 && upper) throw std::runtime_error("upper");
                if (first != 0 && lower) throw std::runtime_error("lower");
            });
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("none");
    };
    EXPECT_EQ(failIn(true, true), "upper");
    EXPECT_EQ(failIn(false, true), "lower");
    EXPECT_EQ(failIn(false, false), "none");
}

}  // namespace
}  // namespace crossmeld
