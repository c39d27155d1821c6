// The window's View and Options menus: the preview window follows the
// meshes being edited and the pictures being replaced; the output options
// dialog sets the model's options and keeps them for the next start.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "gui/OutputOptionsDialog.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/PreviewWindow.h"
#include "gui/support/WindowTest.h"
#include "support/FormTestSupport.h"

namespace crossmeld::gui::test {
namespace {

class GuiViews : public WindowTest {
protected:
    void LoadPair(ColorRef start, ColorRef end) {
        for (auto [name, colour] : {std::pair{"start.bmp", start}, std::pair{"end.bmp", end}}) {
            crossmeld::test::WriteBitmap(temp / name, 200, 120, colour);
            dialogs.QueueFile((temp / name).string());
        }
        QTest::mouseClick(window->PushButton(1), Qt::LeftButton);
        QTest::mouseClick(window->PushButton(2), Qt::LeftButton);
    }
};

TEST_F(GuiViews, ThePreviewFollowsMeshEditsAndNewPictures) {
    Open();
    LoadPair(Rgb(200, 0, 0), Rgb(0, 0, 200));
    window->PreviewAction()->trigger();
    PreviewWindow* preview = window->Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    QTest::qWait(50);
    const int rendered = preview->RenderCount();
    EXPECT_GT(rendered, 0);

    // A drag of point (1, 1) of the start mesh (at 40, 24) renders again.
    const QPoint from = window->StartPane()->Picture()->mapTo(window.get(), QPoint(40, 24));
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(window->windowHandle(), from + QPoint(10, 6));
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, from + QPoint(10, 6));
    QTest::qWait(50);
    EXPECT_GT(preview->RenderCount(), rendered);

    // New pictures of another colour show in the preview at 0 %.
    preview->Slider()->setValue(0);
    LoadPair(Rgb(0, 200, 0), Rgb(0, 0, 200));
    QTest::qWait(50);
    const QImage shown = preview->Image()->pixmap().toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(0, 200, 0));
}

TEST_F(GuiViews, OutputOptionsAreSetAndKept) {
    Open();
    dialogs.answerOther = [](QDialog& dialog) {
        auto& options = dynamic_cast<OutputOptionsDialog&>(dialog);
        EXPECT_TRUE(options.Forever()->isChecked()) << "the first start loops for ever";
        options.Forever()->setChecked(false);
        options.Plays()->setValue(3);
        options.HoldStart()->setValue(1.5);
        options.Ease()->setCurrentIndex(1);
        options.Bounce()->setChecked(true);
        options.Dither()->setCurrentIndex(0);
        EXPECT_EQ(options.Quality()->text(), "Default (visually lossless)");
        options.Quality()->setValue(80);
        options.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
    window->OutputOptionsAction()->trigger();
    OutputOptions expected;
    expected.timing = {crossmeld::Ease::Smooth, true, 1.5, 0, 3};
    expected.dither = DitherMethod::None;
    expected.quality = 80;
    EXPECT_EQ(form->CurrentOutputOptions(), expected);

    // Cancel changes nothing; the next start finds the options kept.
    dialogs.answerOther = [](QDialog& dialog) { dialog.reject(); };
    window->OutputOptionsAction()->trigger();
    EXPECT_EQ(form->CurrentOutputOptions(), expected);
    Close();
    Open();
    EXPECT_EQ(form->CurrentOutputOptions(), expected);
}

}  // namespace
}  // namespace crossmeld::gui::test
