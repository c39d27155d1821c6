// Choosing the pictures: the two load commands, the sample pair, Clear, the
// pane layouts and the control-mesh overlay.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/MainWindowModel.h"
#include "formats/LoadPicture.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::kRequest;
using test::RecordingSettingsStore;
using test::ScriptedHost;
using test::WriteBitmap;

const std::string kFilter =
    "All Supported Image (*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf)|*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf";
const std::string kSampleMessage =
    "Pictures must have the similar height and width dimensions for this software to work. Look at these examples.";

// A bitmap file of one colour.
ColorRef PixelOf(PictureBox& box, std::int32_t x, std::int32_t y) {
    return box.Image().bitmap()->GetPixel(x, y);
}

class Pictures : public test::FormTest {
protected:
    Pictures() { form.Load(); }

    std::string Bitmap(const std::string& name, std::int32_t w, std::int32_t h, ColorRef color) {
        const auto path = temp / name;
        WriteBitmap(path, w, h, color);
        return path.string();
    }
};

TEST_F(Pictures, CancelledDialogChangesNothing) {
    form.FileDialog().FileName = "left over";
    form.ChooseStartPicture();
    ASSERT_EQ(host.dialogsShown.size(), 1u);
    EXPECT_EQ(host.dialogsShown[0].FileName, "");
    EXPECT_EQ(host.dialogsShown[0].DialogTitle, "Select Image");
    EXPECT_EQ(host.dialogsShown[0].Filter, kFilter);
    EXPECT_TRUE(form.StartPreview().Picture().empty());
    EXPECT_TRUE(form.SourcePicture(Side::Start).Picture().empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 104, 106, 108}));
}

TEST_F(Pictures, SeveralFilesAreRefused) {
    const std::string a = Bitmap("a.bmp", 10, 10, Rgb(1, 2, 3));
    const std::string b = Bitmap("b.bmp", 10, 10, Rgb(1, 2, 3));
    host.QueueFiles({a, b});
    form.ChooseEndPicture();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Select one picture only.");
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_TRUE(form.EndPreview().Picture().empty());
    EXPECT_TRUE(form.SourcePicture(Side::End).Picture().empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 104, 106, 108, 110, 112, 128}));
}

TEST_F(Pictures, StartingPictureAloneIsLaidOutWithoutOverlay) {
    host.QueueFile(Bitmap("wide.bmp", 600, 200, Rgb(10, 20, 30)));
    form.ChooseStartPicture();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.StartPreview().Width(), 600);
    EXPECT_EQ(form.StartPreview().Height(), 200);
    EXPECT_TRUE(form.StartPreview().AutoSize());
    // Two separate picture objects of the same file.
    EXPECT_EQ(form.SourcePicture(Side::Start).Width(), 600);
    EXPECT_NE(form.SourcePicture(Side::Start).Picture().Handle(), form.StartPreview().Picture().Handle());
    EXPECT_NE(form.SourcePicture(Side::Start).Picture().Handle(), 0u);
    // Wider than the pane: the horizontal bar shows under the picture.
    EXPECT_TRUE(form.StartHorizontalScroll().Visible());
    EXPECT_FALSE(form.StartVerticalScroll().Visible());
    EXPECT_TRUE(form.StartPaneCorner().Visible());
    EXPECT_EQ(form.StartHorizontalScroll().Top(), 200);
    EXPECT_EQ(form.StartHorizontalScroll().Width(), 508);
    EXPECT_EQ(form.StartHorizontalScroll().Max(), 92);
    // The end pane is untouched and nothing is drawn.
    EXPECT_FALSE(form.EndHorizontalScroll().Visible());
    EXPECT_EQ(form.StartMesh().Columns, 0);
    EXPECT_EQ(form.StartPreview().RefreshCount(), 0);
    EXPECT_EQ(Lines().back(), 124);
}

TEST_F(Pictures, SecondPictureDrawsTheOverlayOnBoth) {
    host.QueueFile(Bitmap("start.bmp", 100, 80, Rgb(10, 20, 30)));
    host.QueueFile(Bitmap("end.bmp", 120, 90, Rgb(40, 50, 60)));
    form.ChooseStartPicture();
    form.ChooseEndPicture();
    EXPECT_EQ(Lines().back(), 126);
    EXPECT_EQ(form.StartPreview().RefreshCount(), 1);
    EXPECT_EQ(form.EndPreview().RefreshCount(), 1);
    const ControlMesh& mesh = form.StartMesh();
    EXPECT_EQ(mesh.Columns, 5);
    EXPECT_EQ(mesh.Rows, 5);
    EXPECT_EQ(mesh.PointRadius, 5);
    EXPECT_EQ(mesh.LineColor, 0xFFFFFFu);
    EXPECT_EQ(mesh.PointColor, 255u);
    EXPECT_EQ(mesh.Width, 100);
    EXPECT_EQ(mesh.Height, 80);
    // Grid lines every 20 pixels across and 16 down.
    for (std::int32_t c = 1; c <= 6; ++c) EXPECT_EQ(mesh.Points(c, 1).x, 20 * (c - 1));
    for (std::int32_t r = 1; r <= 6; ++r) EXPECT_EQ(mesh.Points(1, r).y, 16 * (r - 1));
    // The end mesh is a copy, even though the ending picture is larger.
    EXPECT_EQ(form.EndMesh(), mesh);
    // A white grid line over the picture; the picture shows between lines.
    EXPECT_EQ(PixelOf(form.StartPreview(), 20, 8), Rgb(255, 255, 255));
    EXPECT_EQ(PixelOf(form.StartPreview(), 10, 4), Rgb(10, 20, 30));
    EXPECT_EQ(PixelOf(form.EndPreview(), 20, 8), Rgb(255, 255, 255));
    EXPECT_EQ(PixelOf(form.EndPreview(), 10, 4), Rgb(40, 50, 60));
}

TEST_F(Pictures, EndingPictureFirstDrawsTheOverlayOnceAfterTheSecond) {
    host.QueueFile(Bitmap("end.bmp", 50, 40, Rgb(40, 50, 60)));
    host.QueueFile(Bitmap("start.bmp", 50, 40, Rgb(10, 20, 30)));
    form.ChooseEndPicture();
    EXPECT_EQ(form.EndPreview().RefreshCount(), 0);
    form.ChooseStartPicture();
    EXPECT_EQ(form.StartPreview().RefreshCount(), 1);
    EXPECT_EQ(form.EndPreview().RefreshCount(), 1);
}

TEST_F(Pictures, UnreadableFileIsReportedTwiceAndTheOldPicturesStay) {
    host.QueueFile(Bitmap("start.bmp", 30, 20, Rgb(10, 20, 30)));
    form.ChooseStartPicture();
    const auto shown = form.StartPreview().Picture().Handle();
    const auto original = form.SourcePicture(Side::Start).Picture().Handle();
    test::WriteBytes(temp / "broken.bmp", {'B', 'M', 0, 0});
    host.QueueFile((temp / "broken.bmp").string());
    form.ChooseStartPicture();
    ASSERT_EQ(host.messages.size(), 2u);
    const std::string place = "\r\nin Crossmeld2021/08/31.Form1.PushButton1_Click at line ";
    EXPECT_NE(host.messages[0].text.find(place + "116\r\r" + kRequest), std::string::npos);
    EXPECT_NE(host.messages[1].text.find(place + "118\r\r" + kRequest), std::string::npos);
    EXPECT_EQ(host.messages[0].caption, "Application Error");
    EXPECT_EQ(form.StartPreview().Picture().Handle(), shown);
    EXPECT_EQ(form.SourcePicture(Side::Start).Picture().Handle(), original);
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120, 122, 124}));
}

class Samples : public Pictures {
protected:
    Samples() {
        WriteBitmap(program / "Samples" / "face2.jpg", 64, 48, Rgb(200, 0, 0));
        WriteBitmap(program / "Samples" / "face1.jpg", 64, 48, Rgb(0, 0, 200));
        WriteBitmap(program / "Samples" / "none.gif", 32, 24, Rgb(255, 255, 255));
    }
};

TEST_F(Samples, LoadsFace2AsStartAndFace1AsEndAndExplains) {
    form.LoadSamplePair();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kSampleMessage);
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(form.SourcePicture(Side::Start).Picture().bitmap()->GetPixel(0, 0), Rgb(200, 0, 0));
    EXPECT_EQ(form.SourcePicture(Side::End).Picture().bitmap()->GetPixel(0, 0), Rgb(0, 0, 200));
    EXPECT_EQ(form.StartPreview().Width(), 64);
    EXPECT_EQ(form.EndPreview().Height(), 48);
    // The overlay is drawn once, after the ending sample.
    EXPECT_EQ(form.StartPreview().RefreshCount(), 1);
    EXPECT_EQ(form.EndPreview().RefreshCount(), 1);
    EXPECT_EQ(Lines(),
              (std::vector<std::int32_t>{100, 102, 104, 106, 108, 110, 114, 116, 118, 120, 122, 124, 126, 128}));
    // Loading them again resets the meshes after each half.
    form.LoadSamplePair();
    EXPECT_EQ(form.StartPreview().RefreshCount(), 3);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(Samples, MissingSampleFilesAreReportedAndTheMessageStillShows) {
    std::filesystem::remove(program / "Samples" / "face1.jpg");
    form.LoadSamplePair();
    ASSERT_EQ(host.messages.size(), 3u);
    const std::string place = "\r\nin Crossmeld2021/08/31.Form1.PushButton4_Click at line ";
    EXPECT_EQ(host.messages[0].text,
              "File not found\r\nin Crossmeld2021/08/31.Form1.PushButton4_Click at line 116\r\r" + kRequest);
    EXPECT_NE(host.messages[1].text.find(place + "118\r\r"), std::string::npos);
    EXPECT_EQ(host.messages[2].text, kSampleMessage);
    EXPECT_TRUE(form.EndPreview().Picture().empty());
}

TEST_F(Samples, ClearShowsTheBlankAndKeepsTheFullSizeCopy) {
    form.LoadSamplePair();
    const auto original = form.SourcePicture(Side::Start).Picture().Handle();
    const ControlMesh meshBefore = form.StartMesh();
    const bool barBefore = form.StartHorizontalScroll().Visible();
    host.messages.clear();
    form.ClearStartPicture();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102}));
    EXPECT_EQ(form.StartPreview().Width(), 32);  // AutoSize follows the blank
    EXPECT_EQ(PixelOf(form.StartPreview(), 0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(form.SourcePicture(Side::Start).Picture().Handle(), original);
    EXPECT_EQ(form.StartMesh(), meshBefore);
    EXPECT_EQ(form.StartHorizontalScroll().Visible(), barBefore);
    form.ClearEndPicture();
    EXPECT_EQ(form.EndPreview().Width(), 32);
    EXPECT_NE(form.SourcePicture(Side::End).Picture().Handle(), 0u);
}

TEST(RealSamples, ThePairShippedWithTheProgramHasOneSize) {
    const auto folder = test::SourceDir();
    if (!std::filesystem::exists(folder / "Samples" / "face2.jpg")) GTEST_SKIP() << "no samples";
    ScriptedHost host;
    RecordingSettingsStore store;
    test::TempDir temp;
    MainWindowModel form(host, store, host, folder.string());
    form.LoadSamplePair();
    ASSERT_EQ(host.MessageTexts(), (std::vector<std::string>{kSampleMessage}));
    EXPECT_EQ(form.StartPreview().ScaleWidth(), form.EndPreview().ScaleWidth());
    EXPECT_EQ(form.StartPreview().ScaleHeight(), form.EndPreview().ScaleHeight());
    EXPECT_EQ(form.StartMesh().Width, form.StartPreview().ScaleWidth());
    EXPECT_EQ(form.SourcePath(Side::Start), folder.string() + "/Samples/face2.jpg");
    EXPECT_EQ(form.SourcePath(Side::End), folder.string() + "/Samples/face1.jpg");
}

TEST_F(Pictures, EachSideKeepsTheFileOfItsPicture) {
    const std::string a = Bitmap("a.bmp", 10, 10, Rgb(1, 2, 3));
    host.QueueFile(a);
    form.ChooseStartPicture();
    host.QueueFile((temp / "missing.bmp").string());  // fails: the side keeps its picture
    form.ChooseStartPicture();
    EXPECT_EQ(form.SourcePath(Side::Start), a);
    EXPECT_EQ(form.SourcePath(Side::End), "");
    form.ClearStartPicture();
    EXPECT_EQ(form.SourcePath(Side::Start), "");
}

TEST(RealSamples, ClearShowsTheShippedBlankGif) {
    const auto folder = test::SourceDir();
    if (!std::filesystem::exists(folder / "Samples" / "none.gif")) GTEST_SKIP() << "no samples";
    ScriptedHost host;
    RecordingSettingsStore store;
    test::TempDir temp;
    MainWindowModel form(host, store, host, folder.string());
    form.LoadSamplePair();
    host.messages.clear();
    form.ClearStartPicture();
    form.ClearEndPicture();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.StartPreview().Width(), 320);
    EXPECT_EQ(form.EndPreview().Height(), 368);
    EXPECT_EQ(form.StartPreview().Image().bitmap()->GetPixel(5, 5), Rgb(255, 255, 255));
}

}  // namespace
}  // namespace crossmeld
