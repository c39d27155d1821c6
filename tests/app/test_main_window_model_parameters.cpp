// The parameter fields: stored on every change, checked on leaving, read as
// 16-bit integers; the output choice.

#include <gtest/gtest.h>

#include "app/MainWindowModel.h"
#include "app/NumericText.h"
#include "base/Error.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::RecordingSettingsStore;
using test::ScriptedHost;
using Write = RecordingSettingsStore::Write;

class Parameters : public test::FormTest {
protected:
    Parameters() { form.Load(); }
};

TEST_F(Parameters, TypingIntoAnEmptyFieldStoresEveryText) {
    form.FrameCountField().SetText("");
    form.FrameCountField().SetText("2");
    form.FrameCountField().SetText("25");
    EXPECT_EQ(store.writes,
              (std::vector<Write>{{"Number Of Images", ""}, {"Number Of Images", "2"}, {"Number Of Images", "25"}}));
    EXPECT_EQ(store.lastApp, "Kestrovan");
    EXPECT_EQ(store.lastSection, "Crossmeld");
}

TEST_F(Parameters, TheSameTextAgainIsNoChange) {
    form.FpsField().SetText("5");
    EXPECT_TRUE(store.writes.empty());
    form.FpsField().SetText("12x");
    EXPECT_EQ(store.writes, (std::vector<Write>{{"FPS", "12x"}}));
}

TEST_F(Parameters, LeavingAnEmptyFieldAsksForANumberAndTakesTheFocusBack) {
    form.FpsField().SetText("");
    form.FpsFieldLeft();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Must be a numeric entry.");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.focus, (std::vector<FocusTarget>{FocusTarget::FpsField}));
    // The rejected text stays, in the field and in the store.
    EXPECT_EQ(form.FpsField().Text(), "");
    EXPECT_EQ(store.Get("FPS"), "");

    form.FrameCountField().SetText("ten");
    form.FrameCountFieldLeft();
    EXPECT_EQ(host.focus, (std::vector<FocusTarget>{FocusTarget::FpsField, FocusTarget::FrameCountField}));
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(Parameters, LeavingANumericFieldDoesNothing) {
    form.FrameCountField().SetText("40000");  // passes here; fails only when read
    form.FrameCountFieldLeft();
    form.FpsField().SetText(" 12.5 ");
    form.FpsFieldLeft();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.focus.empty());
}

TEST_F(Parameters, ChoosingTheGifOutputStoresBothStates) {
    form.GifOption().SetValue(true);
    EXPECT_FALSE(form.AviOption().Value());
    EXPECT_EQ(store.writes, (std::vector<Write>{{"Option1", "False"}, {"Option2", "True"}}));
    form.AviOption().SetValue(true);
    EXPECT_FALSE(form.GifOption().Value());
    EXPECT_EQ(store.writes, (std::vector<Write>{
                                {"Option1", "False"}, {"Option2", "True"}, {"Option1", "True"}, {"Option2", "False"}}));
}

struct NumericCase {
    const char* text;
    bool numeric;
};

class NumericCheck : public testing::TestWithParam<NumericCase> {};

TEST_P(NumericCheck, GeneralNumberSyntax) {
    EXPECT_EQ(IsNumericText(GetParam().text), GetParam().numeric);
}

INSTANTIATE_TEST_SUITE_P(Texts, NumericCheck,
                         testing::Values(NumericCase{"12", true}, NumericCase{" 12 ", true}, NumericCase{"-3", true},
                                         NumericCase{"+4", true}, NumericCase{"12.5", true}, NumericCase{".5", true},
                                         NumericCase{"5.", true}, NumericCase{"1e3", true}, NumericCase{"1E-2", true},
                                         NumericCase{"-2.5e+1", true}, NumericCase{"007", true}, NumericCase{"", false},
                                         NumericCase{"   ", false}, NumericCase{"abc", false},
                                         NumericCase{"1.2.3", false}, NumericCase{"e5", false},
                                         NumericCase{"1e", false}, NumericCase{"1e+", false}, NumericCase{"--1", false},
                                         NumericCase{"12a", false}, NumericCase{"1 2", false}, NumericCase{".", false},
                                         NumericCase{"+", false}, NumericCase{"- 1", false}, NumericCase{"0x10", false},
                                         NumericCase{"1,000", false}));

struct Int16Case {
    const char* text;
    std::int32_t value;   // when kind is none
    const char* failure;  // "overflow", "type" or nullptr
};

class ReadAsInt16 : public testing::TestWithParam<Int16Case> {};

TEST_P(ReadAsInt16, RoundsHalvesToEvenAndChecksTheRange) {
    const Int16Case& c = GetParam();
    if (!c.failure) {
        EXPECT_EQ(TextToInt16(c.text), c.value);
        return;
    }
    try {
        TextToInt16(c.text);
        FAIL() << "no error for " << c.text;
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), std::string(c.failure) == "overflow" ? ErrorKind::Overflow : ErrorKind::TypeMismatch);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadAsInt16,
                         testing::Values(Int16Case{"12.5", 12, nullptr}, Int16Case{"13.5", 14, nullptr},
                                         Int16Case{"2.5", 2, nullptr}, Int16Case{"3.5", 4, nullptr},
                                         Int16Case{"-2.5", -2, nullptr}, Int16Case{"2.51", 3, nullptr},
                                         Int16Case{" 10 ", 10, nullptr}, Int16Case{"+7", 7, nullptr},
                                         Int16Case{"1e2", 100, nullptr}, Int16Case{"32767", 32767, nullptr},
                                         Int16Case{"-32768", -32768, nullptr}, Int16Case{"32767.4", 32767, nullptr},
                                         Int16Case{"1e-999", 0, nullptr}, Int16Case{"32767.5", 0, "overflow"},
                                         Int16Case{"32768", 0, "overflow"}, Int16Case{"-32769", 0, "overflow"},
                                         Int16Case{"1e5", 0, "overflow"}, Int16Case{"1e999", 0, "overflow"},
                                         Int16Case{"-1e999", 0, "overflow"}, Int16Case{"abc", 0, "type"},
                                         Int16Case{"", 0, "type"}));

TEST(ReadAsBoolean, WordsNumbersAndOtherText) {
    EXPECT_TRUE(TextToBoolean("tRuE"));
    EXPECT_FALSE(TextToBoolean("False"));
    EXPECT_TRUE(TextToBoolean("-1"));
    EXPECT_FALSE(TextToBoolean("0"));
    EXPECT_THROW(TextToBoolean("maybe"), Error);
    EXPECT_THROW(TextToBoolean(""), Error);
    EXPECT_THROW(TextToBoolean("Truth"), Error);
}

}  // namespace
}  // namespace crossmeld
