// Whole fade runs through the window, from the sample pair: the output
// files as outside decoders read them, and the window while the run lets
// events run (pointer, progress bar, repaints, a second press).

#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QLineEdit>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/support/WindowTest.h"

namespace crossmeld::gui::test {
namespace {

using crossmeld::test::Quote;
using crossmeld::test::RunCommand;
using Kind = ShownDialog::Kind;
namespace fs = std::filesystem;

const char* const kPython = "/usr/bin/python3";
const char* const kFfprobe = "/usr/bin/ffprobe";
const char* const kFfmpeg = "/usr/bin/ffmpeg";

// Mean absolute channel difference of two pictures of the same size.
double MeanDifference(const crossmeld::test::RgbImage& a, const crossmeld::test::RgbImage& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 1e9;
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(a.rgb.size());
}

// What the window looked like each time the run let events run.
struct Look {
    bool busy = false;
    Qt::CursorShape cursor = Qt::ArrowCursor;
    int progress = 0;
};

// Counts the repaints of a widget.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

class GuiCreate : public WindowTest {
protected:
    // Runs the create command with a zero-time timer that looks at the
    // window whenever the run lets events run (dialogs aside). The first
    // such look presses the create button again and moves the mouse over
    // another button.
    void RunCreate() {
        QTimer look;
        look.setInterval(0);
        bool pressedAgain = false;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (host.InDialog()) return;
            looks.push_back(Look{form->IsBusy(), window->cursor().shape(), window->Progress()->value()});
            if (!pressedAgain && form->IsBusy()) {
                pressedAgain = true;
                window->PushButton(3)->click();
                QTest::mouseMove(window->windowHandle(),
                                 window->PushButton(1)->mapTo(window.get(), window->PushButton(1)->rect().center()));
                looks.push_back(Look{form->IsBusy(), window->cursor().shape(), window->Progress()->value()});
            }
        });
        PaintCounter paints(window->StartPane()->Picture());
        look.start();
        QTest::mouseClick(window->PushButton(3), Qt::LeftButton);
        look.stop();
        startPanePaints = paints.count;
        EXPECT_TRUE(pressedAgain) << "the run never let events run";
    }

    void ExpectWindowDuringAndAfterTheRun() {
        std::set<int> progress;
        int busy = 0;
        for (const Look& s : looks) {
            if (!s.busy) continue;
            ++busy;
            EXPECT_EQ(s.cursor, Qt::WaitCursor);
            progress.insert(s.progress);
        }
        EXPECT_GE(busy, 10);
        // The bar moved between the points where events ran.
        EXPECT_GE(progress.size(), 4u);
        EXPECT_GT(startPanePaints, 0);
        // Afterwards: idle, normal pointer, empty bar, and the window works.
        EXPECT_FALSE(form->IsBusy());
        EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
        EXPECT_EQ(window->Progress()->value(), 0);
        // One press ran, the second did nothing: one dialog, one "Done.".
        EXPECT_EQ(dialogs.Count(Kind::File), 1);
        EXPECT_EQ(dialogs.MessageTexts().count("Done."), 1);
    }

    // Writes 1.bmp (red) and 2.bmp (blue), 24 x 16, into the folder and
    // chooses them through the window's buttons.
    void ChooseTwoPlainPictures(const crossmeld::test::TempDir& work) {
        for (auto [button, color] : {std::pair{1, Qt::red}, std::pair{2, Qt::blue}}) {
            QImage image(24, 16, QImage::Format_RGB32);
            image.fill(color);
            const std::string file = (work / (std::to_string(button) + ".bmp")).string();
            ASSERT_TRUE(image.save(QString::fromStdString(file), "BMP"));
            dialogs.QueueFile(file);
            QTest::mouseClick(window->PushButton(button), Qt::LeftButton);
        }
    }

    std::vector<Look> looks;
    int startPanePaints = 0;
};

TEST_F(GuiCreate, AWholeGifRunFromTheSamples) {
    CROSSMELD_REQUIRE_PROGRAM(kPython);
    Open();
    QTest::mouseClick(window->PushButton(4), Qt::LeftButton);
    QTest::mouseClick(window->GifOption(), Qt::LeftButton);
    ASSERT_TRUE(form->GifOption().Value());
    const auto output = temp / "fade out";  // no extension: used as typed
    dialogs.QueueFile(output.string());
    RunCreate();

    EXPECT_EQ(dialogs.MessageTexts(),
              (QStringList{"Pictures must have the similar height and width dimensions for this software to work. "
                           "Look at these examples.",
                           "Done."}));
    const auto fileDialogs = dialogs.shown;
    ASSERT_GE(fileDialogs.size(), 2u);
    EXPECT_EQ(fileDialogs[1].kind, Kind::File);
    EXPECT_EQ(fileDialogs[1].title, "Select Image");
    EXPECT_EQ(fileDialogs[1].filters, (QStringList{"Animated GIF Files (*.gif)", "Animated WebP (*.webp)",
                                                  "Animated PNG (*.png *.apng)"}));
    EXPECT_EQ(dialogs.Count(Kind::Codec), 0);
    ExpectWindowDuringAndAfterTheRun();
    ASSERT_TRUE(fs::exists(output));
    EXPECT_FALSE(fs::exists(temp / "temp.avi"));
    EXPECT_FALSE(fs::exists(temp / "Morph_0.bmp"));

    // PIL reads the animation: ten frames of 200 ms, looping, fading from
    // face2 to face1.
    const auto script = temp / "check.py";
    std::ofstream(script) << R"(import sys
from PIL import Image, ImageChops, ImageStat
def diff(x, y):
    return sum(ImageStat.Stat(ImageChops.difference(x, y)).mean) / 3
g = Image.open(sys.argv[1])
start = Image.open(sys.argv[2]).convert('RGB')
end = Image.open(sys.argv[3]).convert('RGB')
frames, durations = [], []
for i in range(g.n_frames):
    g.seek(i)
    frames.append(g.convert('RGB'))
    durations.append(g.info.get('duration'))
print(g.format, len(frames), g.size[0], g.size[1], g.info.get('loop'), ','.join(map(str, durations)))
print('%.2f %.2f %.2f %.2f' % (diff(frames[0], start), diff(frames[-1], end), diff(frames[0], end), diff(frames[-1], start)))
)";
    std::string out;
    ASSERT_EQ(RunCommand(std::string(kPython) + " " + Quote(script) + " " + Quote(output) + " " +
                             Quote(Sample("face2.jpg")) + " " + Quote(Sample("face1.jpg")),
                         &out),
              0)
        << out;
    std::istringstream lines(out);
    std::string format, durations;
    int frames = 0, width = 0, height = 0, loop = -1;
    double firstToStart = 0, lastToEnd = 0, firstToEnd = 0, lastToStart = 0;
    lines >> format >> frames >> width >> height >> loop >> durations >> firstToStart >> lastToEnd >> firstToEnd >>
        lastToStart;
    EXPECT_EQ(format, "GIF");
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 368);
    EXPECT_EQ(loop, 0);
    EXPECT_EQ(durations, "200,200,200,200,200,200,200,200,200,200");
    // Reduced to 216 colours with dithering: close to the pictures, and far
    // closer to the right one.
    EXPECT_LT(firstToStart, 25) << out;
    EXPECT_LT(lastToEnd, 25) << out;
    EXPECT_GT(firstToEnd, 3 * firstToStart) << out;
    EXPECT_GT(lastToStart, 3 * lastToEnd) << out;

    Close();
}

TEST_F(GuiCreate, AWholeAviRunFromTheSamples) {
    CROSSMELD_REQUIRE_PROGRAM(kFfprobe);
    CROSSMELD_REQUIRE_PROGRAM(kFfmpeg);
    Open();
    QTest::mouseClick(window->PushButton(4), Qt::LeftButton);
    ASSERT_TRUE(window->AviOption()->isChecked());
    const auto output = temp / "fade.avi";
    dialogs.QueueFile(output.string());
    dialogs.QueueCodec(QStringLiteral("Motion JPEG"));
    RunCreate();

    ASSERT_EQ(dialogs.Count(Kind::Codec), 1);
    for (const ShownDialog& d : dialogs.shown) {
        if (d.kind == Kind::Codec) {
            EXPECT_EQ(d.codecs, (QStringList{"Full Frames (Uncompressed)", "Motion JPEG"}));
        }
        if (d.kind == Kind::File) {
            EXPECT_EQ(d.filters.front(), "AVI Files (*.avi)");
        }
    }
    EXPECT_EQ(dialogs.MessageTexts().back(), "Done.");
    ExpectWindowDuringAndAfterTheRun();
    ASSERT_TRUE(fs::exists(output));

    std::string probe;
    ASSERT_EQ(RunCommand(std::string(kFfprobe) +
                             " -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=noprint_wrappers=1 " +
                             Quote(output),
                         &probe),
              0)
        << probe;
    EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=320"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=368"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=5/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=10"), std::string::npos) << probe;

    // The first frame is the starting picture, the last the ending one.
    for (auto [index, sample] : {std::pair{0, "face2.jpg"}, std::pair{9, "face1.jpg"}}) {
        const auto frame = temp / ("frame" + std::to_string(index) + ".png");
        ASSERT_EQ(RunCommand(std::string(kFfmpeg) + " -v error -y -i " + Quote(output) + " -vf " +
                             Quote("select=eq(n\\," + std::to_string(index) + ")") + " -frames:v 1 " + Quote(frame)),
                  0);
        const auto decoded = crossmeld::test::DecodeWithPil(frame);
        const auto expected = crossmeld::test::DecodeWithPil(Sample(sample));
        ASSERT_TRUE(decoded && expected);
        EXPECT_LT(MeanDifference(*decoded, *expected), 4.0) << index;
    }
}

TEST_F(GuiCreate, ACancelledOutputDialogEndsTheRunQuietly) {
    Open();
    QTest::mouseClick(window->PushButton(4), Qt::LeftButton);
    QTest::mouseClick(window->PushButton(3), Qt::LeftButton);  // nothing queued: cancelled
    EXPECT_EQ(dialogs.MessageTexts().size(), 1);               // only the samples' message
    EXPECT_FALSE(form->IsBusy());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    // The command works again at once.
    dialogs.QueueFile((temp / "again.avi").string());
    dialogs.QueueCodec(std::nullopt);  // the codec dialog is cancelled
    QTest::mouseClick(window->PushButton(3), Qt::LeftButton);
    EXPECT_EQ(dialogs.Count(Kind::Codec), 1);
    EXPECT_EQ(dialogs.MessageTexts().back(), "Done.");
    EXPECT_FALSE(form->IsBusy());
}

TEST_F(GuiCreate, TheSaveDialogAsksBeforeReplacingAndRefusesThePicturesUnderAnyName) {
    Open();
    crossmeld::test::TempDir work;
    const auto path = [&](const char* name) { return (work / name).string(); };
    std::ofstream(path("fade.gif")) << "old";
    std::ofstream(path("face.gif")) << "picture";
    ASSERT_EQ(::link(path("face.gif").c_str(), path("hard.gif").c_str()), 0);
    fs::create_symlink(path("face.gif"), path("soft.gif"));
    FileDialogState state{"", "Select Image", "Animated GIF Files (*.gif)|*.gif", {path("face.gif")}, ""};
    dialogs.QueueFile(path("hard.gif"));
    dialogs.QueueFile(path("soft.gif"));
    dialogs.QueueFiles({"./face.gif"}, QString::fromStdString(work.path().string()));
    dialogs.QueueFile(path("fade.gif"));  // the question's default: No
    dialogs.QueueFile(path("new.gif"));
    host.ShowSave(state);
    EXPECT_EQ(state.FileName, path("new.gif"));
    dialogs.QueueFile(path("fade.gif"));
    dialogs.QueueReply(QMessageBox::Yes);
    host.ShowSave(state);
    EXPECT_EQ(state.FileName, path("fade.gif"));

    const QString refused = QString::fromStdString("The fade cannot replace one of its own pictures:\n" +
                                                   path("face.gif") + "\n\nPlease choose another name.");
    const QString replace = "fade.gif already exists.\nDo you want to replace it?";
    EXPECT_EQ(dialogs.MessageTexts(), (QStringList{refused, refused, refused, replace, replace}));
    EXPECT_EQ(dialogs.Messages()[0].title, "Crossmeld");
    EXPECT_EQ(dialogs.shown[0].acceptMode, QFileDialog::AcceptSave);
}

// Closing the window while the GIF is written stops the run: the part file
// goes, the old output stays.
TEST_F(GuiCreate, ClosingTheWindowDuringARunStopsItAndLeavesNothingBehind) {
    Open();
    crossmeld::test::TempDir work;
    ChooseTwoPlainPictures(work);
    QTest::mouseClick(window->GifOption(), Qt::LeftButton);
    const auto output = work / "fade.gif";
    std::ofstream(output) << "the old fade";
    dialogs.QueueFile(output.string());
    dialogs.QueueReply(QMessageBox::Yes);
    const auto files = [](const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    };
    bool closeAsked = false;
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (closeAsked || host.InDialog() || files(work.path()).size() < 4) return;  // a part file
        closeAsked = true;
        EXPECT_FALSE(window->close());  // not yet: the run stops first
    });
    look.start();
    QTest::mouseClick(window->PushButton(3), Qt::LeftButton);
    ASSERT_TRUE(closeAsked);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(form->Ended());
    EXPECT_TRUE(files(temp.path()).empty());
    EXPECT_EQ(files(work.path()), (std::set<std::string>{"1.bmp", "2.bmp", "fade.gif"}));
    std::ifstream in(output);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the old fade");
    EXPECT_EQ(dialogs.MessageTexts().size(), 1);  // the replace question
}

// Cancel (the button in the status line, or Escape) stops a run: the part
// file goes, the old output stays, and the window goes on working.
TEST_F(GuiCreate, CancelOrEscapeStopsARunAndKeepsTheOldOutput) {
    Open();
    crossmeld::test::TempDir work;
    ChooseTwoPlainPictures(work);
    QTest::mouseClick(window->GifOption(), Qt::LeftButton);
    window->FrameCountField()->setText(QStringLiteral("2000"));
    const auto output = work / "fade.gif";
    EXPECT_FALSE(window->CancelButton()->isVisible());
    for (bool escape : {false, true}) {
        std::ofstream(output) << "the old fade";
        dialogs.QueueFile(output.string());
        dialogs.QueueReply(QMessageBox::Yes);
        bool cancelled = false;
        QTimer look;
        look.setInterval(0);
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (cancelled || host.InDialog() || !form->IsBusy() || window->Progress()->value() < 2) return;
            cancelled = true;
            EXPECT_TRUE(window->CancelButton()->isVisible());
            if (escape) QTest::keyClick(window.get(), Qt::Key_Escape);
            else window->CancelButton()->click();
        });
        look.start();
        QTest::mouseClick(window->PushButton(3), Qt::LeftButton);
        look.stop();
        ASSERT_TRUE(cancelled);
        EXPECT_TRUE(form->LastRunStopped());
        EXPECT_FALSE(form->IsBusy());
        EXPECT_FALSE(window->CancelButton()->isVisible());
        EXPECT_TRUE(window->isVisible());
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(work.path())) names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"1.bmp", "2.bmp", "fade.gif"}));
        std::ifstream in(output);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the old fade");
        EXPECT_EQ(dialogs.MessageTexts().count("Done."), 0);
    }
}

}  // namespace
}  // namespace crossmeld::gui::test
