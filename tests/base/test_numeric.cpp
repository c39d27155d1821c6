// Rounding and checked arithmetic: the boundaries every later module relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/Error.h"
#include "base/Numeric.h"

using namespace crossmeld;

namespace {

struct RoundCase {
    double in;
    double out;
};

class RoundHalfEvenTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTest, RoundsToNearestWithTiesToEven) {
    EXPECT_EQ(RoundHalfEven(GetParam().in), GetParam().out) << GetParam().in;
}

INSTANTIATE_TEST_SUITE_P(Vectors, RoundHalfEvenTest,
                         ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-0.5, 0},
                                           RoundCase{-1.5, -2}, RoundCase{-2.5, -2}, RoundCase{0.49999999999999994, 0},
                                           RoundCase{1.5000000000000002, 2}, RoundCase{12.5, 12}, RoundCase{13.5, 14},
                                           RoundCase{-3.7, -4}, RoundCase{4503599627370497.0, 4503599627370497.0},
                                           RoundCase{0.0, 0}));

void ExpectOverflow(auto fn) {
    try {
        fn();
        ADD_FAILURE() << "no overflow raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.description(), "Overflow");
    }
}

TEST(Conversions, ByteBoundaries) {
    EXPECT_EQ(ToByte(-0.5), 0);
    EXPECT_EQ(ToByte(254.5), 254);
    EXPECT_EQ(ToByte(255.49), 255);
    ExpectOverflow([] { ToByte(255.5); });
    ExpectOverflow([] { ToByte(-0.51); });
    ExpectOverflow([] { ToByte(std::nan("")); });
}

TEST(Conversions, Int16Boundaries) {
    EXPECT_EQ(ToInt16(32766.5), 32766);
    EXPECT_EQ(ToInt16(-32768.5), -32768);
    EXPECT_EQ(ToInt16(12.5), 12);
    EXPECT_EQ(ToInt16(13.5), 14);
    ExpectOverflow([] { ToInt16(32767.5); });
    ExpectOverflow([] { ToInt16(-32769.0); });
}

TEST(Conversions, Int32Boundaries) {
    EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
    EXPECT_EQ(ToInt32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    ExpectOverflow([] { ToInt32(2147483647.5); });
    ExpectOverflow([] { ToInt32(-2147483649.0); });
    ExpectOverflow([] { ToInt32(std::numeric_limits<double>::infinity()); });
}

TEST(Conversions, SingleRoundsThroughFloat) {
    // 0.1 is not a float: the single step keeps the float's value.
    EXPECT_EQ(ToSingle(0.1), 0.1f);
    EXPECT_NE(static_cast<double>(ToSingle(0.1)), 0.1);
    // 1/3 held as a float, then widened, differs from the double.
    EXPECT_EQ(static_cast<double>(ToSingle(1.0 / 3.0)), static_cast<double>(1.0f / 3.0f));
    ExpectOverflow([] { ToSingle(1e39); });
    EXPECT_TRUE(std::isinf(ToSingle(std::numeric_limits<double>::infinity())));
}

TEST(CheckedArithmetic, RaisesOnWrap) {
    EXPECT_EQ(CheckedAdd(2147483646, 1), 2147483647);
    ExpectOverflow([] { CheckedAdd(2147483647, 1); });
    ExpectOverflow([] { CheckedSub(std::numeric_limits<std::int32_t>::min(), 1); });
    EXPECT_EQ(CheckedMul(46340, 46340), 2147395600);
    ExpectOverflow([] { CheckedMul(46341, 46341); });
    EXPECT_EQ(CheckedDiv(-7, 2), -3);
    ExpectOverflow([] { CheckedDiv(std::numeric_limits<std::int32_t>::min(), -1); });
    try {
        CheckedDiv(1, 0);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 11);
    }
    EXPECT_EQ(CheckedInt16(-32768), -32768);
    ExpectOverflow([] { CheckedInt16(32768); });
}

TEST(ErrorType, NumbersAndDescriptions) {
    EXPECT_EQ(Error(ErrorKind::SubscriptOutOfRange).number(), 9);
    EXPECT_EQ(Error(ErrorKind::TypeMismatch).description(), "Type mismatch");
    EXPECT_EQ(Error(ErrorKind::FileNotFound).number(), 53);
    EXPECT_EQ(Error(ErrorKind::PermissionDenied).number(), 70);
    EXPECT_EQ(Error(ErrorKind::PathNotFound).number(), 76);
    EXPECT_EQ(Error(ErrorKind::InvalidPicture).number(), 481);
    EXPECT_EQ(Error(ErrorKind::InvalidPicture, "bad header").description(), "bad header");
}

}  // namespace
