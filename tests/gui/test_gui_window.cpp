// The main window on widgets: its layout, the stored settings, the
// parameter fields, the pointer and closing.

#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/support/WindowTest.h"

namespace crossmeld::gui::test {
namespace {

using Kind = ShownDialog::Kind;

QRect Geometry(const QWidget* w) { return w->geometry(); }

// A mouse move without buttons, as the window system sends it to the
// window: Qt finds the widget under the pointer.
void MoveTo(QWidget* window, QPoint point) {
    QTest::mouseMove(window->windowHandle(), point);
    QCoreApplication::processEvents();
}
// A point of the design's client area, in the window's coordinates.
QPoint InClient(const MainWindow& window, QPoint point) { return window.Client()->mapTo(&window, point); }
void MoveOver(QWidget* widget) { MoveTo(widget->window(), widget->mapTo(widget->window(), widget->rect().center())); }

class GuiWindow : public WindowTest {};

TEST_F(GuiWindow, ShowsTheDesignLayout) {
    Open();
    EXPECT_EQ(window->windowTitle(), "Crossmeld");
    // The client area of the design, with the menu bar above it and the
    // status line below it.
    const QRect client(0, 0, 1064, 521);
    const int statusHeight = window->StatusLine()->height();
    const int menuHeight = window->MenuBar()->height();
    EXPECT_GT(statusHeight, 0);
    EXPECT_GT(menuHeight, 0);
    EXPECT_EQ(window->size(), QSize(1064, menuHeight + 521 + statusHeight));
    EXPECT_EQ(Geometry(window->MenuBar()), QRect(0, 0, 1064, menuHeight));
    EXPECT_EQ(Geometry(window->Client()), QRect(0, menuHeight, 1064, 521 + statusHeight));
    EXPECT_EQ(Geometry(window->StatusLine()), QRect(0, 521, 1064, statusHeight));
    EXPECT_EQ(Geometry(window->StartPane()), QRect(8, 42, 520, 385));
    EXPECT_EQ(Geometry(window->EndPane()), QRect(536, 42, 520, 385));
    const QStringList captions{"1. Load Starting Image", "2. Load Ending Image", "3. Start Creating Fade File",
                               "Load Sample/Example Images", "Clear", "Clear"};
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(window->PushButton(i)->text(), captions[i - 1]);
        EXPECT_TRUE(window->PushButton(i)->isVisible());
    }
    EXPECT_EQ(window->FrameBox(1)->title(), "Output");
    EXPECT_EQ(window->FrameBox(2)->title(), "Number Of Frames");
    EXPECT_EQ(window->FrameBox(3)->title(), "Frames Per Second:");
    EXPECT_EQ(window->AviOption()->text(), "Save As AVI");
    EXPECT_EQ(window->GifOption()->text(), "Save As Animated GIF");
    EXPECT_EQ(window->FrameCountField()->parentWidget(), window->FrameBox(2));
    EXPECT_EQ(window->FpsField()->parentWidget(), window->FrameBox(3));
    EXPECT_EQ(window->AviOption()->parentWidget(), window->FrameBox(1));

    // Every visible control lies inside the client area and none overlaps
    // another of the window's own controls.
    QList<QWidget*> controls{window->StartPane(), window->EndPane(), window->Progress()};
    for (int i = 1; i <= 6; ++i) controls << window->PushButton(i);
    for (int i = 1; i <= 3; ++i) controls << window->FrameBox(i);
    for (int i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(client.contains(controls[i]->geometry())) << i;
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry())) << i << " and " << j;
    }
    // Only the two previews are shown; the hidden picture boxes have no widget.
    EXPECT_EQ(window->findChildren<PictureView*>().size(), 2);
}

TEST_F(GuiWindow, FirstStartWithAnEmptyStore) {
    Open();
    EXPECT_TRUE(window->AviOption()->isChecked());
    EXPECT_FALSE(window->GifOption()->isChecked());
    EXPECT_EQ(window->FrameCountField()->text(), "10");
    EXPECT_EQ(window->FpsField()->text(), "5");
    EXPECT_TRUE(dialogs.shown.empty());
    // Nothing changed, so nothing was written.
    for (const char* key : {"Option1", "Option2", "Number Of Images", "FPS"}) EXPECT_FALSE(Stored(key)) << key;
}

TEST_F(GuiWindow, StoredChoicesComeBackAtTheNextStart) {
    Store("Option1", "False");
    Store("Option2", "True");
    Store("Number Of Images", "25");
    Store("FPS", "x7");
    Open();
    EXPECT_FALSE(window->AviOption()->isChecked());
    EXPECT_TRUE(window->GifOption()->isChecked());
    EXPECT_EQ(window->FrameCountField()->text(), "25");
    EXPECT_EQ(window->FpsField()->text(), "x7");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(GuiWindow, BothOptionsStoredClearShowBothClear) {
    Store("Option1", "False");
    Store("Option2", "False");
    Open();
    EXPECT_FALSE(window->AviOption()->isChecked());
    EXPECT_FALSE(window->GifOption()->isChecked());
}

TEST_F(GuiWindow, AnUnreadableStoredOptionShowsTheFailureReportAndStartsAnyway) {
    Store("Option1", "perhaps");
    Open();
    const auto messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Application Error");
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(messages[0].text.contains("\nin Crossmeld2021/08/31.Form1.Form_Load at line 128\n\n"))
        << messages[0].text.toStdString();
    // Start-up went on with the next steps.
    EXPECT_EQ(window->FrameCountField()->text(), "10");
}

TEST_F(GuiWindow, TypingStoresTheTextAfterEveryKey) {
    Open();
    window->FrameCountField()->setFocus();
    window->FrameCountField()->selectAll();
    QTest::keyClick(window->FrameCountField(), Qt::Key_Backspace);
    EXPECT_EQ(Stored("Number Of Images"), QString(""));
    QTest::keyClick(window->FrameCountField(), Qt::Key_2);
    EXPECT_EQ(Stored("Number Of Images"), QString("2"));
    EXPECT_EQ(form->FrameCountField().Text(), "2");
    QTest::keyClick(window->FrameCountField(), Qt::Key_5);
    EXPECT_EQ(Stored("Number Of Images"), QString("25"));
    EXPECT_EQ(form->FrameCountField().Text(), "25");

    // An assignment is a change too; letters are not kept out.
    window->FpsField()->setText("12a");
    EXPECT_EQ(Stored("FPS"), QString("12a"));
}

TEST_F(GuiWindow, ClearingTheRateAndTabbingAwayIsRefusedAndTheFocusComesBack) {
    Open();
    window->FpsField()->setFocus();
    window->FpsField()->selectAll();
    QTest::keyClick(window->FpsField(), Qt::Key_Backspace);
    EXPECT_EQ(Stored("FPS"), QString(""));
    QTest::keyClick(window->FpsField(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), window->FpsField());
    QCoreApplication::processEvents();  // the check runs from the event loop

    const auto messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Must be a numeric entry.");
    EXPECT_EQ(messages[0].title, "Crossmeld");
    EXPECT_EQ(messages[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(window->focusWidget(), window->FpsField());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->FpsField());
    // The rejected text stays, in the field and in the store.
    EXPECT_EQ(window->FpsField()->text(), "");
    EXPECT_EQ(Stored("FPS"), QString(""));
}

TEST_F(GuiWindow, TwoRejectedFieldsDoNotBounceTheFocusBetweenThem) {
    Open();
    window->FrameCountField()->setText("");
    window->FpsField()->setText("");
    window->FrameCountField()->setFocus();
    ASSERT_TRUE(window->FrameCountField()->hasFocus());
    QTest::keyClick(window->FrameCountField(), Qt::Key_Tab);  // into the other empty field
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{"Must be a numeric entry."});
    EXPECT_EQ(window->focusWidget(), window->FrameCountField());
}

TEST_F(GuiWindow, ANumberPassesTheCheck) {
    Open();
    window->FrameCountField()->setFocus();
    window->FrameCountField()->setText(" 12.5 ");
    QTest::keyClick(window->FrameCountField(), Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(GuiWindow, ClickingAnOptionStoresBothStates) {
    Open();
    QTest::mouseClick(window->GifOption(), Qt::LeftButton);
    EXPECT_TRUE(window->GifOption()->isChecked());
    EXPECT_FALSE(window->AviOption()->isChecked());
    EXPECT_TRUE(form->GifOption().Value());
    EXPECT_EQ(Stored("Option1"), QString("False"));
    EXPECT_EQ(Stored("Option2"), QString("True"));
    // A set option stays set when clicked again.
    QTest::mouseClick(window->GifOption(), Qt::LeftButton);
    EXPECT_TRUE(window->GifOption()->isChecked());
    QTest::mouseClick(window->AviOption(), Qt::LeftButton);
    EXPECT_TRUE(window->AviOption()->isChecked());
    EXPECT_FALSE(window->GifOption()->isChecked());
    EXPECT_EQ(Stored("Option1"), QString("True"));
    EXPECT_EQ(Stored("Option2"), QString("False"));
}

TEST_F(GuiWindow, TheHandOverButtonsAndTheArrowOverFramesAndBackground) {
    Open();
    ASSERT_TRUE(window->HandCursor());
    MoveOver(window->PushButton(4));
    EXPECT_EQ(form->Pointer(), MousePointer::Custom);
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(window->cursor().hotSpot(), QPoint(5, 0));  // the fingertip, from the file
    EXPECT_EQ(window->cursor().pixmap().size(), QSize(32, 32));

    // The frame's own area, below its text field.
    MoveTo(window.get(), InClient(*window, window->FrameBox(2)->geometry().topLeft() + QPoint(4, 47)));
    EXPECT_EQ(form->Pointer(), MousePointer::Normal);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    MoveOver(window->PushButton(1));
    EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    // Over a text field the pointer stays as it was.
    MoveOver(window->FrameCountField());
    EXPECT_EQ(form->Pointer(), MousePointer::Custom);
    MoveOver(window->PushButton(1));
    MoveTo(window.get(), InClient(*window, QPoint(532, 20)));  // the background between the buttons
    EXPECT_EQ(form->Pointer(), MousePointer::Normal);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(GuiWindow, WithoutTheCursorFileTheButtonsShowTheArrow) {
    crossmeld::test::TempDir program;  // no HAND-M.CUR here
    Open(program.path().string());
    EXPECT_FALSE(window->HandCursor());
    MoveOver(window->PushButton(3));
    EXPECT_EQ(form->Pointer(), MousePointer::Custom);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(GuiWindow, NotesShowInTheStatusLineAndStayWithTheirPicture) {
    Open();
    host.Warn("x.jpg: one\r\nline");
    EXPECT_EQ(window->StatusText(), "x.jpg: one line");
    // Raised while the starting picture loads (it loads twice): replaces the
    // note above and stays while that picture is shown.
    const QString damaged = "face2.jpg: Premature end of JPEG file";
    dialogs.duringFileDialog = [&] { for (int i = 0; i < 2; ++i) host.Warn(damaged.toStdString()); };
    dialogs.QueueFile(Sample("face2.jpg"));
    QTest::mouseClick(window->PushButton(1), Qt::LeftButton);
    dialogs.duringFileDialog = nullptr;
    dialogs.QueueFile(Sample("face1.jpg"));
    QTest::mouseClick(window->PushButton(2), Qt::LeftButton);
    QTest::mouseClick(window->PushButton(1), Qt::LeftButton);  // cancelled
    EXPECT_EQ(window->StatusText(), damaged);
    EXPECT_EQ(dialogs.Count(Kind::Message), 0);
    QTest::mouseClick(window->PushButton(5), Qt::LeftButton);  // Clear
    EXPECT_EQ(window->StatusText(), "");
}

TEST_F(GuiWindow, ClosingRunsTheCloseHandlers) {
    Open();
    EXPECT_FALSE(form->Ended());
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(form->Ended());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace crossmeld::gui::test
