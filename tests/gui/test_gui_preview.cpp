// The preview window over the real window model: the slider and its label,
// Play, a mesh change while a point is dragged, a resize, and no pictures.

#include <QCoreApplication>
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
    void OpenPreview(bool withPictures) {
        Open();
        if (withPictures) QTest::mouseClick(window->PushButton(4), Qt::LeftButton);  // the sample pair
        preview = std::make_unique<PreviewWindow>(*form);
        preview->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.get()));
        Settle();
    }
    void TearDown() override {
        preview.reset();
        WindowTest::TearDown();
    }
    // Runs the event loop until the queued render has been made.
    static void Settle() { QTest::qWait(20); }
    static bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms) QTest::qWait(20);
        return done();
    }
    QImage Shown() const { return preview->Image()->pixmap().toImage().convertToFormat(QImage::Format_RGB32); }
    // Pixels that differ from the picture loaded on a side (shown 1:1).
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
    OpenPreview(true);
    EXPECT_EQ(preview->windowTitle(), "Preview");
    EXPECT_TRUE(preview->isWindow());
    EXPECT_EQ(preview->Weight(), 0);
    EXPECT_EQ(preview->PercentLabel()->text(), "0 %");
    // The 320 x 368 samples fit the window: shown at their own size.
    const QImage first = Shown();
    ASSERT_EQ(first.size(), QSize(320, 368));
    EXPECT_EQ(Differences(first, Side::Start), 0);

    preview->Slider()->setValue(40);
    Settle();
    EXPECT_EQ(preview->PercentLabel()->text(), "40 %");
    const QImage between = Shown();
    EXPECT_GT(Differences(between, Side::Start), 1000);
    EXPECT_GT(Differences(between, Side::End), 1000);

    preview->Slider()->setValue(100);
    Settle();
    EXPECT_EQ(preview->Weight(), 100);
    EXPECT_EQ(Differences(Shown(), Side::End), 0);
}

TEST_F(GuiPreview, PlayRunsTheSliderOnToTheEndAndStops) {
    OpenPreview(true);
    preview->Slider()->setValue(60);
    QSignalSpy moves(preview->Slider(), &QSlider::valueChanged);
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_TRUE(preview->Playing());
    EXPECT_EQ(preview->PlayButton()->text(), "Pause");
    ASSERT_TRUE(WaitFor([&] { return !preview->Playing(); }));
    EXPECT_EQ(preview->Weight(), 100);
    EXPECT_EQ(preview->PlayButton()->text(), "Play");
    // Step by step, upward, from where the slider was.
    ASSERT_GE(moves.count(), 5);
    int last = 60;
    for (const QList<QVariant>& move : moves) {
        EXPECT_GT(move.at(0).toInt(), last);
        last = move.at(0).toInt();
    }
    EXPECT_EQ(Differences(Shown(), Side::End), 0);

    // At the end, Play starts again from 0; Pause stops where it is.
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_EQ(preview->Weight(), 0);
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(preview->Playing());
    EXPECT_EQ(preview->PlayButton()->text(), "Play");
    const int stopped = preview->Weight();
    QTest::qWait(200);
    EXPECT_EQ(preview->Weight(), stopped);
}

TEST_F(GuiPreview, AMeshChangeRendersOnceForABurst) {
    OpenPreview(true);
    preview->Slider()->setValue(50);
    Settle();
    const QImage before = Shown();
    const int renders = preview->RenderCount();
    // A drag: the point moves many times before the event loop runs again.
    for (int i = 0; i < 5; ++i) {
        form->EndMesh().Points(3, 3).x += 8;
        preview->MeshChanged();
    }
    Settle();
    EXPECT_EQ(preview->RenderCount(), renders + 1);
    const QImage after = Shown();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    // Untouched: the cells away from the moved point (the top-left one).
    EXPECT_EQ(after.copy(0, 0, 60, 60), before.copy(0, 0, 60, 60));
}

TEST_F(GuiPreview, ASmallerWindowShowsASmallerFrame) {
    OpenPreview(true);
    ASSERT_EQ(Shown().size(), QSize(320, 368));
    preview->resize(260, 260);
    ASSERT_TRUE(WaitFor([&] { return Shown().width() < 320; }));
    const QSize shown = Shown().size();
    EXPECT_LE(shown.height(), preview->Image()->height());
    // The aspect of 320 x 368 within a pixel of rounding.
    EXPECT_NEAR(shown.width(), shown.height() * 320.0 / 368.0, 1.0);
}

TEST_F(GuiPreview, WithoutPicturesItSaysSoAndShowsThemOnceLoaded) {
    OpenPreview(false);
    EXPECT_TRUE(preview->Image()->pixmap().isNull());
    EXPECT_FALSE(preview->Image()->text().isEmpty());
    QTest::mouseClick(preview->PlayButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !preview->Playing(); }));

    QTest::mouseClick(window->PushButton(4), Qt::LeftButton);
    preview->Slider()->setValue(0);
    preview->PicturesChanged();
    Settle();
    EXPECT_EQ(Differences(Shown(), Side::Start), 0);
}

}  // namespace
}  // namespace crossmeld::gui::test
