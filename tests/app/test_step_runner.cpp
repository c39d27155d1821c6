// The guarded-step runner and the failure report.

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "app/ErrorReport.h"
#include "app/StepRunner.h"
#include "base/Error.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"

namespace crossmeld {
namespace {

using test::kRequest;
using test::ScriptedHost;

TEST(ErrorReport, TextIsDescriptionPlaceAndRequest) {
    EXPECT_EQ(ErrorReport("Division by zero", "PushButton3_Click", 162),
              "Division by zero\r\nin Crossmeld2021/08/31.Form1.PushButton3_Click at line 162\r\r" + kRequest);
    EXPECT_EQ(ErrorReport("Type mismatch", "Form_Load", 128),
              "Type mismatch\r\nin Crossmeld2021/08/31.Form1.Form_Load at line 128\r\r" + kRequest);
}

TEST(StepRunner, FailingActionIsReportedAndTheNextStepRuns) {
    ScriptedHost host;
    std::vector<int> ran;
    // clang-format off
    const std::vector<Step> steps{
        Do(10, [&] { ran.push_back(10); }),
        Do(20, [&] { throw Error(ErrorKind::FileNotFound); }),
        Do(30, [&] { ran.push_back(30); }),
    };
    // clang-format on
    const auto trace = RunSteps(host, "PushButton1_Click", steps);
    EXPECT_EQ(ran, (std::vector<int>{10, 30}));
    EXPECT_EQ(trace, (std::vector<StepRecord>{{10, false}, {20, true}, {30, false}}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "File not found\r\nin Crossmeld2021/08/31.Form1.PushButton1_Click at line 20\r\r" + kRequest);
    EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, "Application Error");
}

TEST(StepRunner, TestsBranchAndAFailingTestTakesTheTrueBranch) {
    ScriptedHost host;
    bool throwInTest = false;
    bool condition = false;
    // clang-format off
    const std::vector<Step> steps{
        If(10,
            [&] {
                if (throwInTest) throw Error(ErrorKind::Overflow);
                return condition;
            },
            Flow::GoTo(40), Flow::Next()),
        Do(20, [] {}),
        Do(30, [] {}, Flow::Return()),
        Do(40, [] {}),
    };
    // clang-format on
    EXPECT_EQ(LinesOf(RunSteps(host, "H", steps)), (std::vector<std::int32_t>{10, 20, 30}));
    condition = true;
    EXPECT_EQ(LinesOf(RunSteps(host, "H", steps)), (std::vector<std::int32_t>{10, 40}));
    condition = false;
    throwInTest = true;
    EXPECT_EQ(LinesOf(RunSteps(host, "H", steps)), (std::vector<std::int32_t>{10, 40}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.substr(0, 10), "Overflow\r\n");
}

TEST(StepRunner, AnActionThatEndsInAGoToFollowsItAlsoAfterFailing) {
    ScriptedHost host;
    // clang-format off
    const std::vector<Step> steps{
        Do(248, [] { throw Error(ErrorKind::Overflow); }, Flow::GoTo(252)),
        Do(250, [] {}),
        Do(252, [] {}, Flow::Return()),
    };
    // clang-format on
    EXPECT_EQ(LinesOf(RunSteps(host, "H", steps)), (std::vector<std::int32_t>{248, 252}));
}

TEST(StepRunner, LoopsThroughGoToBackwards) {
    ScriptedHost host;
    int i = 0;
    int body = 0;
    // clang-format off
    const std::vector<Step> steps{
        If(152,
            [&] {
                i = 0;
                return i <= 2;
            },
            Flow::Next(), Flow::GoTo(186)),
        Do(154, [&] { ++body; }),
        If(184, [&] { return ++i <= 2; }, Flow::GoTo(154), Flow::Next()),
        Do(186, [] {}),
    };
    // clang-format on
    EXPECT_EQ(LinesOf(RunSteps(host, "H", steps)), (std::vector<std::int32_t>{152, 154, 184, 154, 184, 154, 184, 186}));
    EXPECT_EQ(body, 3);
}

TEST(StepRunner, GoToTakesTheFirstStepOfALine) {
    ScriptedHost host;
    std::vector<char> ran;
    // clang-format off
    const std::vector<Step> steps{
        Do(100, [] {}, Flow::GoTo(104)),
        Do(102, [&] { ran.push_back('x'); }),
        Do(104, [&] { ran.push_back('a'); }),
        Do(104, [&] { ran.push_back('b'); }),
    };
    // clang-format on
    RunSteps(host, "H", steps);
    EXPECT_EQ(ran, (std::vector<char>{'a', 'b'}));
}

TEST(StepRunner, OtherFailuresGetAGenericDescription) {
    ScriptedHost host;
    // clang-format off
    const std::vector<Step> steps{
        Do(1, [] { throw std::bad_alloc(); }),
        Do(2, [] { throw std::runtime_error("disk on fire"); }),
        Do(3, [] { throw 42; }),
    };
    // clang-format on
    RunSteps(host, "H", steps);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0].text.substr(0, 15), "Out of memory\r\n");
    EXPECT_EQ(host.messages[1].text.substr(0, 15), "disk on fire\r\ni");
    EXPECT_NE(host.messages[2].text.find("at line 3\r\r"), std::string::npos);
}

TEST(StepRunner, AGoToToAMissingLineIsAProgramFault) {
    ScriptedHost host;
    const std::vector<Step> steps{Do(
        1, [] {}, Flow::GoTo(99))};
    EXPECT_THROW(RunSteps(host, "H", steps), std::logic_error);
}

TEST(StepRunner, ARunCanStartAnotherRunFromInsideAStep) {
    // Handlers run again while an earlier run lets events run.
    ScriptedHost host;
    std::vector<int> ran;
    const std::vector<Step> inner{Do(7, [&] { ran.push_back(7); })};
    // clang-format off
    const std::vector<Step> outer{
        Do(1,
           [&] {
               ran.push_back(1);
               RunSteps(host, "Inner", inner);
           }),
        Do(2, [&] { ran.push_back(2); }),
    };
    // clang-format on
    RunSteps(host, "Outer", outer);
    EXPECT_EQ(ran, (std::vector<int>{1, 7, 2}));
}

}  // namespace
}  // namespace crossmeld
