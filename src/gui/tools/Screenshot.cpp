// crossmeld-screenshot: shows the main window, loads the sample pair the
// way a user does (its message answered with OK) and saves a picture of the
// window. Settings stay in memory, so the user's are neither read nor
// written. Usage: crossmeld-screenshot OUTPUT.png

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <cstdio>

#include "app/MainWindowModel.h"
#include "base/SettingsStore.h"
#include "gui/MainWindow.h"
#include "gui/QtHost.h"

namespace {

// Lets the window system catch up: events for a short while.
void Settle(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: crossmeld-screenshot OUTPUT.png\n");
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

    QPixmap shot;
    if (QScreen* screen = window.screen()) shot = screen->grabWindow(window.winId());
    if (shot.isNull() || shot.size() != window.size()) shot = window.grab();
    if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "crossmeld-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
