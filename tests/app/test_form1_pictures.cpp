// Choosing the pictures: the two load commands, the sample pair, Clear, the
// pane layouts and the control-mesh overlay.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Form1.h"
#include "formats/LoadPicture.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

using test::RecordingSettingsStore;
using test::ScriptedHost;
using test::WriteBitmap;

const std::string kRequest = "Please email screenshot of this message to support@crossmeld.example";
const std::string kFilter =
    "All Supported Image (*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf)|*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf";
const std::string kSampleMessage =
    "Pictures must have the similar height and width dimensions for this software to work. Look at these examples.";

// A bitmap file of one colour.
ColorRef PixelOf(PictureBox& box, std::int32_t x, std::int32_t y) {
    return box.Image().bitmap()->GetPixel(x, y);
}

class Pictures : public testing::Test {
protected:
    Pictures() { form.Form_Load(); }

    std::string Bitmap(const std::string& name, std::int32_t w, std::int32_t h, ColorRef color) {
        const auto path = temp / name;
        WriteBitmap(path, w, h, color);
        return path.string();
    }
    std::vector<std::int32_t> Lines() const { return LinesOf(form.LastRun()); }

    test::TempDir program;
    test::TempDir temp;
    ScriptedHost host;
    RecordingSettingsStore store;
    Form1 form{host, store, host, program.path().string(), temp.path().string()};
};

TEST_F(Pictures, CancelledDialogChangesNothing) {
    form.CommonDialog1().FileName = "left over";
    form.PushButton1_Click();
    ASSERT_EQ(host.dialogsShown.size(), 1u);
    EXPECT_EQ(host.dialogsShown[0].FileName, "");
    EXPECT_EQ(host.dialogsShown[0].DialogTitle, "Select Image");
    EXPECT_EQ(host.dialogsShown[0].Filter, kFilter);
    EXPECT_TRUE(form.PicOrgStart().Picture().empty());
    EXPECT_TRUE(form.Poriginal(1).Picture().empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 104, 106, 108}));
}

TEST_F(Pictures, SeveralFilesAreRefused) {
    const std::string a = Bitmap("a.bmp", 10, 10, Rgb(1, 2, 3));
    const std::string b = Bitmap("b.bmp", 10, 10, Rgb(1, 2, 3));
    host.QueueFiles({a, b});
    form.PushButton2_Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Select one picture only.");
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_TRUE(form.PicOrgEnd().Picture().empty());
    EXPECT_TRUE(form.Poriginal(2).Picture().empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 104, 106, 108, 110, 112, 128}));
}

TEST_F(Pictures, StartingPictureAloneIsLaidOutWithoutOverlay) {
    host.QueueFile(Bitmap("wide.bmp", 600, 200, Rgb(10, 20, 30)));
    form.PushButton1_Click();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.PicOrgStart().Width(), 600);
    EXPECT_EQ(form.PicOrgStart().Height(), 200);
    EXPECT_TRUE(form.PicOrgStart().AutoSize());
    // Two separate picture objects of the same file.
    EXPECT_EQ(form.Poriginal(1).Width(), 600);
    EXPECT_NE(form.Poriginal(1).Picture().Handle(), form.PicOrgStart().Picture().Handle());
    EXPECT_NE(form.Poriginal(1).Picture().Handle(), 0u);
    // Wider than the pane: the horizontal bar shows under the picture.
    EXPECT_TRUE(form.HscrPicStart().Visible());
    EXPECT_FALSE(form.VscrPicStart().Visible());
    EXPECT_TRUE(form.Frame4().Visible());
    EXPECT_EQ(form.HscrPicStart().Top(), 200);
    EXPECT_EQ(form.HscrPicStart().Width(), 508);
    EXPECT_EQ(form.HscrPicStart().Max(), 92);
    // The end pane is untouched and nothing is drawn.
    EXPECT_FALSE(form.HscrPicEnd().Visible());
    EXPECT_EQ(form.StartMesh().Columns, 0);
    EXPECT_EQ(form.PicOrgStart().RefreshCount(), 0);
    EXPECT_EQ(Lines().back(), 124);
}

TEST_F(Pictures, SecondPictureDrawsTheOverlayOnBoth) {
    host.QueueFile(Bitmap("start.bmp", 100, 80, Rgb(10, 20, 30)));
    host.QueueFile(Bitmap("end.bmp", 120, 90, Rgb(40, 50, 60)));
    form.PushButton1_Click();
    form.PushButton2_Click();
    EXPECT_EQ(Lines().back(), 126);
    EXPECT_EQ(form.PicOrgStart().RefreshCount(), 1);
    EXPECT_EQ(form.PicOrgEnd().RefreshCount(), 1);
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
    EXPECT_EQ(PixelOf(form.PicOrgStart(), 20, 8), Rgb(255, 255, 255));
    EXPECT_EQ(PixelOf(form.PicOrgStart(), 10, 4), Rgb(10, 20, 30));
    EXPECT_EQ(PixelOf(form.PicOrgEnd(), 20, 8), Rgb(255, 255, 255));
    EXPECT_EQ(PixelOf(form.PicOrgEnd(), 10, 4), Rgb(40, 50, 60));
}

TEST_F(Pictures, EndingPictureFirstDrawsTheOverlayOnceAfterTheSecond) {
    host.QueueFile(Bitmap("end.bmp", 50, 40, Rgb(40, 50, 60)));
    host.QueueFile(Bitmap("start.bmp", 50, 40, Rgb(10, 20, 30)));
    form.PushButton2_Click();
    EXPECT_EQ(form.PicOrgEnd().RefreshCount(), 0);
    form.PushButton1_Click();
    EXPECT_EQ(form.PicOrgStart().RefreshCount(), 1);
    EXPECT_EQ(form.PicOrgEnd().RefreshCount(), 1);
}

TEST_F(Pictures, UnreadableFileIsReportedTwiceAndTheOldPicturesStay) {
    host.QueueFile(Bitmap("start.bmp", 30, 20, Rgb(10, 20, 30)));
    form.PushButton1_Click();
    const auto shown = form.PicOrgStart().Picture().Handle();
    const auto original = form.Poriginal(1).Picture().Handle();
    test::WriteBytes(temp / "broken.bmp", {'B', 'M', 0, 0});
    host.QueueFile((temp / "broken.bmp").string());
    form.PushButton1_Click();
    ASSERT_EQ(host.messages.size(), 2u);
    const std::string place = "\r\nin Crossmeld2021/08/31.Form1.PushButton1_Click at line ";
    EXPECT_NE(host.messages[0].text.find(place + "116\r\r" + kRequest), std::string::npos);
    EXPECT_NE(host.messages[1].text.find(place + "118\r\r" + kRequest), std::string::npos);
    EXPECT_EQ(host.messages[0].caption, "Application Error");
    EXPECT_EQ(form.PicOrgStart().Picture().Handle(), shown);
    EXPECT_EQ(form.Poriginal(1).Picture().Handle(), original);
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
    form.PushButton4_Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kSampleMessage);
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(form.Poriginal(1).Picture().bitmap()->GetPixel(0, 0), Rgb(200, 0, 0));
    EXPECT_EQ(form.Poriginal(2).Picture().bitmap()->GetPixel(0, 0), Rgb(0, 0, 200));
    EXPECT_EQ(form.PicOrgStart().Width(), 64);
    EXPECT_EQ(form.PicOrgEnd().Height(), 48);
    // The overlay is drawn once, after the ending sample.
    EXPECT_EQ(form.PicOrgStart().RefreshCount(), 1);
    EXPECT_EQ(form.PicOrgEnd().RefreshCount(), 1);
    EXPECT_EQ(Lines(),
              (std::vector<std::int32_t>{100, 102, 104, 106, 108, 110, 114, 116, 118, 120, 122, 124, 126, 128}));
    // Loading them again resets the meshes after each half.
    form.PushButton4_Click();
    EXPECT_EQ(form.PicOrgStart().RefreshCount(), 3);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(Samples, MissingSampleFilesAreReportedAndTheMessageStillShows) {
    std::filesystem::remove(program / "Samples" / "face1.jpg");
    form.PushButton4_Click();
    ASSERT_EQ(host.messages.size(), 3u);
    const std::string place = "\r\nin Crossmeld2021/08/31.Form1.PushButton4_Click at line ";
    EXPECT_EQ(host.messages[0].text,
              "File not found\r\nin Crossmeld2021/08/31.Form1.PushButton4_Click at line 116\r\r" + kRequest);
    EXPECT_NE(host.messages[1].text.find(place + "118\r\r"), std::string::npos);
    EXPECT_EQ(host.messages[2].text, kSampleMessage);
    EXPECT_TRUE(form.PicOrgEnd().Picture().empty());
}

TEST_F(Samples, ClearShowsTheBlankAndKeepsTheFullSizeCopy) {
    form.PushButton4_Click();
    const auto original = form.Poriginal(1).Picture().Handle();
    const ControlMesh meshBefore = form.StartMesh();
    const bool barBefore = form.HscrPicStart().Visible();
    host.messages.clear();
    form.PushButton5_Click();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102}));
    EXPECT_EQ(form.PicOrgStart().Width(), 32);  // AutoSize follows the blank
    EXPECT_EQ(PixelOf(form.PicOrgStart(), 0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(form.Poriginal(1).Picture().Handle(), original);
    EXPECT_EQ(form.StartMesh(), meshBefore);
    EXPECT_EQ(form.HscrPicStart().Visible(), barBefore);
    form.PushButton6_Click();
    EXPECT_EQ(form.PicOrgEnd().Width(), 32);
    EXPECT_NE(form.Poriginal(2).Picture().Handle(), 0u);
}

TEST(RealSamples, ThePairShippedWithTheProgramHasOneSize) {
    const auto folder = test::SourceDir();
    if (!std::filesystem::exists(folder / "Samples" / "face2.jpg")) GTEST_SKIP() << "no samples";
    ScriptedHost host;
    RecordingSettingsStore store;
    test::TempDir temp;
    Form1 form(host, store, host, folder.string(), temp.path().string());
    form.PushButton4_Click();
    ASSERT_EQ(host.MessageTexts(), (std::vector<std::string>{kSampleMessage}));
    EXPECT_EQ(form.PicOrgStart().ScaleWidth(), form.PicOrgEnd().ScaleWidth());
    EXPECT_EQ(form.PicOrgStart().ScaleHeight(), form.PicOrgEnd().ScaleHeight());
    EXPECT_EQ(form.StartMesh().Width, form.PicOrgStart().ScaleWidth());
    EXPECT_EQ(form.SourcePath(0), folder.string() + "/Samples/face2.jpg");
    EXPECT_EQ(form.SourcePath(1), folder.string() + "/Samples/face1.jpg");
}

TEST_F(Pictures, EachSideKeepsTheFileOfItsPicture) {
    const std::string a = Bitmap("a.bmp", 10, 10, Rgb(1, 2, 3));
    host.QueueFile(a);
    form.PushButton1_Click();
    host.QueueFile((temp / "missing.bmp").string());  // fails: the side keeps its picture
    form.PushButton1_Click();
    EXPECT_EQ(form.SourcePath(0), a);
    EXPECT_EQ(form.SourcePath(1), "");
    form.PushButton5_Click();
    EXPECT_EQ(form.SourcePath(0), "");
}

TEST(RealSamples, ClearShowsTheShippedBlankGif) {
    const auto folder = test::SourceDir();
    if (!std::filesystem::exists(folder / "Samples" / "none.gif")) GTEST_SKIP() << "no samples";
    ScriptedHost host;
    RecordingSettingsStore store;
    test::TempDir temp;
    Form1 form(host, store, host, folder.string(), temp.path().string());
    form.PushButton4_Click();
    host.messages.clear();
    form.PushButton5_Click();
    form.PushButton6_Click();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.PicOrgStart().Width(), 320);
    EXPECT_EQ(form.PicOrgEnd().Height(), 368);
    EXPECT_EQ(form.PicOrgStart().Image().bitmap()->GetPixel(5, 5), Rgb(255, 255, 255));
}

}  // namespace
}  // namespace crossmeld
