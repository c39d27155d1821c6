// Start-up, settings, application title, skin, pointer feedback and closing
// of the main window.

#include <gtest/gtest.h>

#include "app/AppRoutines.h"
#include "app/MainWindowModel.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "formats/LoadPicture.h"
#include "raster/DibSurface.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::kRequest;
using test::RecordingSettingsStore;
using test::ScriptedHost;
using Write = RecordingSettingsStore::Write;

class Startup : public test::FormTest {};

TEST_F(Startup, FirstStartWithAnEmptyStore) {
    form.Load();
    EXPECT_TRUE(form.AviOption().Value());
    EXPECT_FALSE(form.GifOption().Value());
    EXPECT_EQ(form.FrameCountField().Text(), "10");
    EXPECT_EQ(form.FpsField().Text(), "5");
    // Nothing changed, so no handler wrote anything.
    EXPECT_TRUE(store.writes.empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.Caption(), "Crossmeld");
    EXPECT_EQ(form.AppTitle(), "Crossmeld");
    EXPECT_TRUE(form.MouseIcon().empty());
    // No cursor file: the test at 106 skips 108.
    EXPECT_EQ(LinesOf(form.LastRun()), (std::vector<std::int32_t>{102, 104, 104, 106, 128, 130, 132, 134, 136, 138, 140,
                                                                  142, 144, 146, 148, 150, 152, 154, 156}));
}

TEST_F(Startup, StoredChoicesComeBackAndAreWrittenBackUnchanged) {
    store.Put("Option1", "False");
    store.Put("Option2", "True");
    store.Put("Number Of Images", "25");
    store.Put("FPS", "abc");
    form.Load();
    EXPECT_FALSE(form.AviOption().Value());
    EXPECT_TRUE(form.GifOption().Value());
    EXPECT_EQ(form.FrameCountField().Text(), "25");
    EXPECT_EQ(form.FpsField().Text(), "abc");  // not a number, still restored
    // GifOption became set and the texts changed: their handlers stored the
    // same values again.
    EXPECT_EQ(
        store.writes,
        (std::vector<Write>{{"Option1", "False"}, {"Option2", "True"}, {"Number Of Images", "25"}, {"FPS", "abc"}}));
    EXPECT_EQ(store.lastApp, "Kestrovan");
    EXPECT_EQ(store.lastSection, "Crossmeld");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Startup, BothOptionsStoredAsSetLeavesTheLastOneSet) {
    store.Put("Option1", "True");
    store.Put("Option2", "True");
    form.Load();
    EXPECT_FALSE(form.AviOption().Value());
    EXPECT_TRUE(form.GifOption().Value());
    EXPECT_EQ(store.Get("Option1"), "False");
    EXPECT_EQ(store.Get("Option2"), "True");
}

TEST_F(Startup, BothOptionsStoredAsClearLeavesNeitherSet) {
    store.Put("Option1", "False");
    store.Put("Option2", "False");
    form.Load();
    EXPECT_FALSE(form.AviOption().Value());
    EXPECT_FALSE(form.GifOption().Value());
    EXPECT_TRUE(store.writes.empty());
}

struct StoredOption {
    const char* text;
    bool set;
};

class StoredOptionValue : public Startup, public testing::WithParamInterface<StoredOption> {};

TEST_P(StoredOptionValue, ReadsAsABoolean) {
    store.Put("Option1", GetParam().text);
    store.Put("Option2", "0");
    form.Load();
    EXPECT_EQ(form.AviOption().Value(), GetParam().set);
    EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, StoredOptionValue,
                         testing::Values(StoredOption{"True", true}, StoredOption{"true", true},
                                         StoredOption{"TRUE", true}, StoredOption{"False", false},
                                         StoredOption{"fALSE", false}, StoredOption{"-1", true},
                                         StoredOption{"1", true}, StoredOption{"2.5", true}, StoredOption{"0", false},
                                         StoredOption{"0.0", false}, StoredOption{" True ", true}));

TEST_F(Startup, AnUnreadableStoredOptionIsReportedAndStartUpGoesOn) {
    store.Put("Option1", "maybe");
    store.Put("Option2", "");
    store.Put("Number Of Images", "7");
    form.Load();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Type mismatch\r\nin Crossmeld2021/08/31.Form1.Form_Load at line 128\r\r" + kRequest);
    EXPECT_EQ(host.messages[0].caption, "Application Error");
    EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[1].text,
              "Type mismatch\r\nin Crossmeld2021/08/31.Form1.Form_Load at line 130\r\r" + kRequest);
    // The design states stay; the steps after the failures ran.
    EXPECT_TRUE(form.AviOption().Value());
    EXPECT_FALSE(form.GifOption().Value());
    EXPECT_EQ(form.FrameCountField().Text(), "7");
    EXPECT_EQ(form.LastRun().back().line, 156);
}

TEST_F(Startup, StartsTheColourReductionWithTheCubeAndNoDither) {
    form.SetGifReduction(PaletteMode::Adaptive, DitherMethod::Diffusion);
    form.GifReducer().SetDitherMethod(DitherMethod::Diffusion);
    form.Load();
    EXPECT_EQ(form.GifReducer().GetPaletteMode(), PaletteMode::Halftone);
    EXPECT_EQ(form.GifReducer().GetDitherMethod(), DitherMethod::None);
    // Plain cube: 25, 26, 255 take the levels 0, 1, 5, entry 0 + 6 + 180.
    DibSurface source;
    ASSERT_TRUE(source.Create(1, 1, 32));
    source.Bits()[0] = 255;  // blue
    source.Bits()[1] = 26;   // green
    source.Bits()[2] = 25;   // red
    DibSurface target;
    Palette256 palette;
    form.GifReducer().ConvertTo8bpp(source, target, palette, false);
    EXPECT_EQ(palette.Entries(), 216);
    EXPECT_EQ(target.Bits()[0], 186);
}

TEST_F(Startup, CursorFileBecomesTheCustomPointerImage) {
    auto bitmap = Surface::Create(3, 2, 24);
    SavePicture(*bitmap, (program / "HAND-M.CUR").string());
    form.Load();
    EXPECT_EQ(form.MouseIcon().Width(), 3);
    EXPECT_EQ(form.MouseIcon().Height(), 2);
    const auto lines = LinesOf(form.LastRun());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 108), 1);
}

TEST_F(Startup, AnUnreadableCursorFileIsReportedAtLine108) {
    test::WriteBytes(program / "HAND-M.CUR", {1, 2, 3, 4});
    form.Load();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("\r\nin Crossmeld2021/08/31.Form1.Form_Load at line 108\r\r"),
              std::string::npos);
    EXPECT_TRUE(form.MouseIcon().empty());
    EXPECT_EQ(form.FrameCountField().Text(), "10");
}

TEST_F(Startup, SkinFileColoursTheWindowFramesAndOptionButtons) {
    std::filesystem::create_directories(program / "x");
    test::WriteBytes(program / "x" / "o.cjs", {});
    form.Load();
    EXPECT_EQ(form.BackColor(), 0x8000000Fu);
    for (Frame* f : {&form.OutputFrame(), &form.FrameCountFrame(), &form.FpsFrame(), &form.StartPaneCorner(), &form.EndPaneCorner()})
        EXPECT_EQ(f->BackColor(), 0x8000000Fu);
    EXPECT_EQ(form.AviOption().BackColor(), 0x8000000Fu);
    EXPECT_EQ(form.GifOption().BackColor(), 0x8000000Fu);
}

TEST_F(Startup, WithoutSkinFileTheWindowKeepsItsDesignColours) {
    const ColorRef before = form.BackColor();
    form.Load();
    EXPECT_NE(form.BackColor(), 0x8000000Fu);
    EXPECT_EQ(form.BackColor(), before);
    EXPECT_NE(form.AviOption().BackColor(), 0x8000000Fu);
    EXPECT_NE(form.OutputFrame().BackColor(), 0x8000000Fu);
}

TEST_F(Startup, ElementsAsDesigned) {
    EXPECT_EQ(form.StartPictureButton().Caption(), "1. Load Starting Image");
    EXPECT_EQ(form.EndPictureButton().Caption(), "2. Load Ending Image");
    EXPECT_EQ(form.CreateFadeButton().Caption(), "3. Start Creating Fade File");
    EXPECT_EQ(form.SamplePairButton().Caption(), "Load Sample/Example Images");
    EXPECT_EQ(form.ClearStartButton().Caption(), "Clear");
    EXPECT_EQ(form.ClearEndButton().Caption(), "Clear");
    EXPECT_EQ(form.AviOption().Caption(), "Save As AVI");
    EXPECT_EQ(form.GifOption().Caption(), "Save As Animated GIF");
    EXPECT_EQ(form.OutputFrame().Caption(), "Output");
    EXPECT_EQ(form.FrameCountFrame().Caption(), "Number Of Frames");
    EXPECT_EQ(form.FpsFrame().Caption(), "Frames Per Second:");
    EXPECT_EQ(form.StartScrollArea().Left(), 8);
    EXPECT_EQ(form.StartScrollArea().Top(), 42);
    EXPECT_EQ(form.EndScrollArea().Left(), 536);
    EXPECT_EQ(form.EndScrollArea().Top(), 42);
    for (PictureBox* pane : {&form.StartScrollArea(), &form.EndScrollArea()}) {
        EXPECT_EQ(pane->Width(), 520);
        EXPECT_EQ(pane->Height(), 385);
        EXPECT_EQ(pane->BorderStyle(), BoxBorder::FixedSingle);
    }
    EXPECT_EQ(form.StartPreview().BorderStyle(), BoxBorder::None);
    for (Side side : {Side::Start, Side::End}) {
        EXPECT_FALSE(form.SourcePicture(side).Visible());
        EXPECT_TRUE(form.SourcePicture(side).AutoSize());
        EXPECT_EQ(form.SourcePicture(side).BorderStyle(), BoxBorder::None);
    }
    EXPECT_NE(&form.SourcePicture(Side::Start), &form.SourcePicture(Side::End));
    EXPECT_FALSE(form.FrameCanvas().Visible());
    EXPECT_EQ(form.FrameCanvas().BorderStyle(), BoxBorder::None);
    EXPECT_EQ(form.FrameCanvas().BackColor(), 0u);
    EXPECT_EQ(form.FrameCanvas().DrawStyle(), BoxDrawStyle::Transparent);
    EXPECT_FALSE(form.StartHorizontalScroll().Visible());
    EXPECT_FALSE(form.StartPaneCorner().Visible());
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
}

struct TitleCase {
    const char* name;
    const char* title;
};

class AppTitle : public testing::TestWithParam<TitleCase> {};

TEST_P(AppTitle, CutsBeforeTheLastSpace) {
    EXPECT_EQ(AppTitleFromDisplayName(GetParam().name), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AppTitle,
    testing::Values(
        // No space: kept whole.
        TitleCase{"Crossmeld", "Crossmeld"},
        // A short name still loses its last word.
        TitleCase{"Alpha Beta Gamma Delta", "Alpha Beta Gamma"},
        // Six words, 36 characters: five words.
        TitleCase{"Wide Image Fade Tools Maker Software", "Wide Image Fade Tools Maker"},
        // 67 characters: cut to 59, 55, 47, then 40 (not more than 40).
        TitleCase{"Crossmeld Picture Fade Animation Builder Deluxe Edition For Windows",
                  "Crossmeld Picture Fade Animation Builder"},
        // 41 characters after the first cut: one cut more.
        TitleCase{"Abcdefghij Abcdefghij Abcdefghij Abcdefgh Xy Z", "Abcdefghij Abcdefghij Abcdefghij"},
        // One word longer than 40 characters stays.
        TitleCase{"Supercalifragilisticexpialidociousnessabcdef Tail", "Supercalifragilisticexpialidociousnessabcdef"},
        TitleCase{"Crossmeld ", "Crossmeld"}));

TEST_F(Startup, PointerFollowsTheMouse) {
    form.PointerOverButton();
    EXPECT_EQ(form.Pointer(), MousePointer::Custom);
    form.PointerOverButton();  // already the hand: nothing more to tell
    form.PointerOverFrame();
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
    form.PointerOverButton();
    form.PointerOverWindow();
    EXPECT_EQ(host.pointers, (std::vector<MousePointer>{MousePointer::Custom, MousePointer::Normal,
                                                        MousePointer::Custom, MousePointer::Normal}));
}

TEST_F(Startup, ClosingLetsEventsRunTwiceAndWritesNothing) {
    form.Load();
    const auto writes = store.writes.size();
    form.QueryClose();
    EXPECT_EQ(host.doEventsCount, 2);
    EXPECT_EQ(LinesOf(form.LastRun()), (std::vector<std::int32_t>{102, 104}));
    EXPECT_FALSE(form.Ended());
    form.Close();
    EXPECT_TRUE(form.Ended());
    EXPECT_EQ(store.writes.size(), writes);
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace crossmeld
