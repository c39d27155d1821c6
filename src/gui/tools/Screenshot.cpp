// crossmeld-screenshot: shows the main window, loads the sample pair the
// way a user does (its message answered with OK) and saves a picture of the
// window. With a second file it then moves a few control points of the end
// mesh, opens the preview at half way and saves a picture of both windows
// side by side: a morph in progress. Settings stay in memory, so the user's
// are neither read nor written.
// Usage: crossmeld-screenshot OUTPUT.png [MORPH.png]

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QAction>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdio>

#include "app/MainWindowModel.h"
#include "app/MeshEditor.h"
#include "base/SettingsStore.h"
#include "gui/MainWindow.h"
#include "gui/PreviewWindow.h"
#include "gui/QtHost.h"

namespace {

// Lets the window system catch up: events for a short while.
void Settle(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QPixmap Grab(QWidget& widget) {
    QPixmap shot;
    if (QScreen* screen = widget.screen()) shot = screen->grabWindow(widget.winId());
    if (shot.isNull() || shot.size() != widget.size()) shot = widget.grab();
    return shot;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: crossmeld-screenshot OUTPUT.png [MORPH.png]\n");
        return 2;
    }
    crossmeld::gui::QtHost host;
    host.SetDialogAnswerer([](QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            std::fprintf(stderr, "message: %s\n", box->text().toUtf8().constData());
            dialog.accept();
        } else {
            dialog.reject();
        }
    });
    crossmeld::MemorySettingsStore settings;
    crossmeld::MainWindowModel form(host, settings, host);
    crossmeld::gui::MainWindow window(form, host);
    window.Load();
    window.show();
    Settle(500);
    window.PushButton(4)->click();
    Settle(500);

    if (!Grab(window).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "crossmeld-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 2) return 0;

    // The end face's eyes and mouth drawn a little apart and down, as a user
    // drags them; then the frame half way.
    crossmeld::MeshEditor& editor = form.MeshEditing();
    const std::array<std::array<double, 4>, 4> moves{{{128, 147, 118, 160}, {192, 147, 202, 160},
                                                      {128, 221, 136, 236}, {192, 221, 184, 236}}};
    for (const auto& [x, y, toX, toY] : moves) {
        editor.BeginDrag(crossmeld::Side::End, x, y);
        editor.DragTo(toX, toY);
        editor.EndDrag();
    }
    form.RedrawMeshOverlays();
    window.SyncFromModel();
    window.PreviewAction()->trigger();
    crossmeld::gui::PreviewWindow& preview = *window.Preview();
    preview.resize(420, 520);
    preview.Slider()->setValue(50);
    Settle(800);
    const QPixmap main = window.grab(), side = preview.grab();  // each by itself, not what covers it
    QPixmap both(main.width() + side.width() + 16, std::max(main.height(), side.height()));
    both.fill(QColor(64, 64, 64));
    QPainter painter(&both);
    painter.drawPixmap(0, 0, main);
    painter.drawPixmap(main.width() + 16, 0, side);
    painter.end();
    if (!both.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "crossmeld-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
