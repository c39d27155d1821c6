// Choosing the pictures through the window: the file dialog, the previews
// as they are drawn (pictures at 1:1 with the mesh overlay), the panes'
// scroll bars, and the messages about the choice.

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "formats/LoadPicture.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/support/WindowTest.h"
#include "raster/Surface.h"

namespace crossmeld::gui::test {
namespace {

using Kind = ShownDialog::Kind;

// Pixels of the shown preview that differ from the decoded file by more
// than a small tolerance (the two JPEG decoders may round differently).
int Differences(const QImage& shown, const QImage& picture, int tolerance = 3) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = picture.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                std::abs(qBlue(a) - qBlue(b)) > tolerance)
                ++count;
        }
    return count;
}

int CountColor(const QImage& image, QRect area, QRgb color) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += image.pixel(x, y) == color;
    return count;
}

// The overlay on a 320 x 368 picture: 5 x 5 cells of 64 x 73.6 pixels, with
// white edges and red circles of radius 5 around the control points.
void ExpectOverlay(const QImage& shown, const char* which) {
    SCOPED_TRACE(which);
    // The vertical edges x = 64 and 128 between the first two rows of points.
    EXPECT_EQ(CountColor(shown, QRect(64, 10, 1, 50), qRgb(255, 255, 255)), 50);
    EXPECT_EQ(CountColor(shown, QRect(128, 10, 1, 50), qRgb(255, 255, 255)), 50);
    // The circle around the point (64, 147), red on its left and right.
    EXPECT_GE(CountColor(shown, QRect(58, 142, 3, 11), qRgb(255, 0, 0)), 3);
    EXPECT_GE(CountColor(shown, QRect(68, 142, 3, 11), qRgb(255, 0, 0)), 3);
}

class GuiPictures : public WindowTest {
protected:
    void Click(int button) { QTest::mouseClick(window->PushButton(button), Qt::LeftButton); }
};

TEST_F(GuiPictures, TheStartingPictureAloneHasNoOverlayTheEndingOneDrawsItOnBoth) {
    Open();
    dialogs.QueueFile(Sample("face2.jpg"));
    Click(1);
    ASSERT_EQ(dialogs.Count(Kind::File), 1);
    const ShownDialog& dialog = dialogs.shown.front();
    EXPECT_EQ(dialog.title, "Select Image");
    EXPECT_EQ(dialog.filters, QStringList{"All Supported Image (*.bmp *.dib *.jpg *.jpeg *.gif *.wmf *.emf)"});
    EXPECT_EQ(dialog.fileMode, QFileDialog::ExistingFiles);
    EXPECT_TRUE(dialogs.Messages().empty());

    const QImage face2 = Decoded(Sample("face2.jpg"));
    const QImage face1 = Decoded(Sample("face1.jpg"));
    ASSERT_EQ(face2.size(), QSize(320, 368));
    // The preview takes the picture's size and shows it at 1:1, untouched.
    EXPECT_EQ(window->StartPane()->Picture()->geometry(), QRect(0, 0, 320, 368));
    QImage start = Shown(window->StartPane());
    ASSERT_EQ(start.size(), QSize(320, 368));
    EXPECT_EQ(Differences(start, face2), 0);
    EXPECT_FALSE(window->StartPane()->Horizontal()->isVisible());
    EXPECT_FALSE(window->StartPane()->Corner()->isVisible());

    dialogs.QueueFile(Sample("face1.jpg"));
    Click(2);
    start = Shown(window->StartPane());
    const QImage end = Shown(window->EndPane());
    ExpectOverlay(start, "start");
    ExpectOverlay(end, "end");
    // Away from the overlay the pictures are unchanged.
    EXPECT_EQ(Differences(start.copy(95, 78, 25, 20), face2.copy(95, 78, 25, 20)), 0);
    EXPECT_EQ(Differences(end.copy(95, 78, 25, 20), face1.copy(95, 78, 25, 20)), 0);
}

TEST_F(GuiPictures, TheSamplesLoadWithTheirMessage) {
    Open();
    Click(4);
    const auto messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "Pictures must have the similar height and width dimensions for this software to work. "
              "Look at these examples.");
    EXPECT_EQ(messages[0].title, "Crossmeld");
    EXPECT_EQ(messages[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(dialogs.Count(Kind::File), 0);
    ExpectOverlay(Shown(window->StartPane()), "start");
    ExpectOverlay(Shown(window->EndPane()), "end");
    // face2 is the starting picture.
    const QImage start = Shown(window->StartPane());
    EXPECT_EQ(Differences(start.copy(95, 78, 25, 20), Decoded(Sample("face2.jpg")).copy(95, 78, 25, 20)), 0);
}

TEST_F(GuiPictures, ClearShowsTheBlankPicture) {
    Open();
    Click(4);
    Click(5);
    const QImage blank = Decoded(Sample("none.gif"));
    EXPECT_EQ(Differences(Shown(window->StartPane()), blank, 0), 0);
    // The other preview keeps its picture and overlay.
    ExpectOverlay(Shown(window->EndPane()), "end");
}

TEST_F(GuiPictures, SeveralFilesAtOnceAreRefused) {
    Open();
    dialogs.QueueFiles({"face1.jpg", "face2.jpg"}, QString::fromStdString(Sample("")));
    Click(1);
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{"Select one picture only."});
    EXPECT_TRUE(form->StartPreview().Picture().empty());
    EXPECT_TRUE(form->SourcePicture(Side::Start).Picture().empty());
}

TEST_F(GuiPictures, ACancelledDialogChangesNothing) {
    Open();
    Click(2);  // nothing queued: cancelled
    EXPECT_EQ(dialogs.Count(Kind::File), 1);
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_TRUE(form->EndPreview().Picture().empty());
}

TEST_F(GuiPictures, AnUnreadableFileShowsTheFailureReports) {
    Open();
    const auto bad = temp / "bad.jpg";
    crossmeld::test::WriteBytes(bad, {0xFF, 0xD8, 0x00, 0x01});
    dialogs.QueueFile(bad.string());
    Click(1);
    const auto messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].text.contains("Form1.PushButton1_Click at line 116")) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[1].text.contains("Form1.PushButton1_Click at line 118")) << messages[1].text.toStdString();
    EXPECT_EQ(messages[0].title, "Application Error");
}

TEST_F(GuiPictures, DifferentSizesAreRefusedByTheCreateCommand) {
    Open();
    const auto small = temp / "small.bmp";
    auto surface = Surface::Create(100, 80, 24);
    SavePicture(*surface, small.string());
    dialogs.QueueFile(Sample("face2.jpg"));
    Click(1);
    dialogs.QueueFile(small.string());
    Click(2);
    Click(3);
    const QStringList texts = dialogs.MessageTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith("The two pictures are not of the same size.\n\nPictures must be the same size to "
                                    "morph. Please contact "))
        << texts[0].toStdString();
    EXPECT_TRUE(texts[0].endsWith(" if you have any questions."));
    EXPECT_EQ(dialogs.Count(Kind::File), 2);  // no dialog for the output
    EXPECT_FALSE(form->IsBusy());
}

TEST_F(GuiPictures, WithoutPicturesTheCreateCommandAsksForThem) {
    Open();
    Click(3);
    const QStringList texts = dialogs.MessageTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith("Please select two pictures to morph. Please contact "));
    EXPECT_EQ(dialogs.Count(Kind::File), 0);
}

TEST_F(GuiPictures, ALargePictureGetsScrollBarsThatShiftIt) {
    Open();
    // A 700 x 500 picture with a distinct colour in every 10 x 10 block.
    auto surface = Surface::Create(700, 500, 24);
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 700; ++x) surface->SetPixel(x, y, Rgb(static_cast<std::uint8_t>(x / 10 * 3), static_cast<std::uint8_t>(y / 10 * 5), 77));
    const auto big = temp / "big.bmp";
    SavePicture(*surface, big.string());
    dialogs.QueueFile(big.string());
    Click(1);

    PaneView* pane = window->StartPane();
    QScrollBar* h = pane->Horizontal();
    QScrollBar* v = pane->Vertical();
    ASSERT_TRUE(h->isVisible());
    ASSERT_TRUE(v->isVisible());
    EXPECT_TRUE(pane->Corner()->isVisible());
    // Placed by the model's layout inside the pane's inner area.
    EXPECT_EQ(h->geometry(), QRect(0, 373, 508, 12));
    EXPECT_EQ(v->geometry(), QRect(508, 0, 12, 373));
    EXPECT_EQ(pane->Corner()->geometry(), QRect(508, 373, 12, 12));
    EXPECT_EQ(h->maximum(), 700 - 508);
    EXPECT_EQ(v->maximum(), 500 - 373);
    EXPECT_EQ(h->value(), 0);

    h->setValue(100);
    v->setValue(40);
    EXPECT_EQ(form->StartHorizontalScroll().Value(), 100);
    EXPECT_EQ(form->StartVerticalScroll().Value(), 40);
    EXPECT_EQ(pane->Picture()->pos(), QPoint(-100, -40));
    // What the pane shows at its top-left corner is the picture's (100, 40).
    const QImage inner = pane->Inner()->grab().toImage();
    EXPECT_EQ(inner.pixel(5, 5), qRgb(30, 20, 77));
    EXPECT_EQ(inner.pixel(205, 105), qRgb(90, 70, 77));

    // Over the corner square the pointer is normal, as over any frame.
    Click(4);  // loading the samples lays the pane out again: bars at 0
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(pane->Picture()->pos(), QPoint(0, 0));
}

}  // namespace
}  // namespace crossmeld::gui::test
