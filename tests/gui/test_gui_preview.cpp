// The preview window over the real window model: the slider and its label,
// Play, a mesh change while a point is dragged, and a resize.

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <functional>

#include "gui/PreviewWindow.h"
#include "gui/support/WindowTest.h"

namespace crossmeld::gui::test {
namespace {

class GuiPreview : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Open();
        QTest::mouseClick(window->PushButton(4), Qt::LeftButton);  // the 320 x 368 sample pair
        preview = std::make_unique<PreviewWindow>(*form);
        preview->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.get()));
        Settle();
    }
    void TearDown() override {
        preview.reset();
        WindowTest::TearDown();
    }
    // Runs the event loop past the queued render.
    static void Settle() { QTest::qWait(20); }
    static bool WaitFor(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000) QTest::qWait(20);
        return done();
    }
    QImage Shown() const { return preview->Image()->pixmap().toImage().convertToFormat(QImage::Format_RGB32); }
    // Pixels that differ from the picture loaded on a side, shown 1:1.
    int Differences(const QImage& shown, Side side) const {
        const Surface& picture = *form->SourcePicture(side).Picture().bitmap();
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const ColorRef c = picture.GetPixel(x, y);
                count += shown.pixel(x, y) != qRgb(RedOf(c), GreenOf(c), BlueOf(c));
            }
        return count;
    }

    std::unique_ptr<PreviewWindow> preview;
};

TEST_F(GuiPreview, TheSliderShowsEitherPictureAndTheFramesBetween) {
    EXPECT_EQ(preview->windowTitle(), "Preview");
    EXPECT_EQ(preview->PercentLabel()->text(), "0 %");
    ASSERT_EQ(Shown().size(), QSize(320, 368));  // fits the window: not shrunk
    EXPECT_EQ(Differences(Shown(), Side::Start), 0);
    preview->Slider()->setValue(40);
    Settle();
    EXPECT_EQ(preview->PercentLabel()->text(), "40 %");
    EXPECT_GT(Differences(Shown(), Side::Start), 1000);
    EXPECT_GT(Differences(Shown(), Side::End), 1000);
    preview->Slider()->setValue(100);
    Settle();
    EXPECT_EQ(Differences(Shown(), Side::End), 0);

    preview->resize(260, 260);
    ASSERT_TRUE(WaitFor([&] { return Shown().width() < 320; }));
    EXPECT_LE(Shown().height(), preview->Image()->height());
    EXPECT_NEAR(Shown().width(), Shown().height() * 320.0 / 368.0, 1.0);  // the aspect kept
}

TEST_F(GuiPreview, PlayRunsTheSliderOnToTheEndAndStops) {
    preview->Slider()->setValue(60);
    QSignalSpy moves(preview->Slider(), &QSlider::valueChanged);
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_EQ(preview->PlayButton()->text(), "Pause");
    ASSERT_TRUE(WaitFor([&] { return !preview->Playing(); }));
    EXPECT_EQ(preview->Weight(), 100);
    EXPECT_EQ(preview->PlayButton()->text(), "Play");
    ASSERT_GE(moves.count(), 5);  // step by step, upward
    for (qsizetype i = 1; i < moves.count(); ++i) EXPECT_GT(moves[i][0].toInt(), moves[i - 1][0].toInt());
    EXPECT_EQ(Differences(Shown(), Side::End), 0);
    // At the end Play starts again from 0; Pause stops it.
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_EQ(preview->Weight(), 0);
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(preview->Playing());
    EXPECT_EQ(preview->PlayButton()->text(), "Play");
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    preview->close();  // closing stops it too
    EXPECT_FALSE(preview->Playing());
}

TEST_F(GuiPreview, AMeshChangeRendersOnceForABurst) {
    preview->Slider()->setValue(50);
    Settle();
    const QImage before = Shown();
    const int renders = preview->RenderCount();
    for (int i = 0; i < 5; ++i) {  // a drag: moves faster than the event loop runs
        form->EndMesh().Points(3, 3).x += 8;
        preview->MeshChanged();
    }
    Settle();
    EXPECT_EQ(preview->RenderCount(), renders + 1);
    const QImage after = Shown();
    EXPECT_NE(after, before);
    EXPECT_EQ(after.copy(0, 0, 60, 60), before.copy(0, 0, 60, 60));  // a cell away from the point
}

}  // namespace
}  // namespace crossmeld::gui::test
