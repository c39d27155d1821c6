// crossmeld: the desktop window.

#include <QApplication>
#include <QIcon>

#include "app/MainWindowModel.h"
#include "gui/MainWindow.h"
#include "gui/QtHost.h"
#include "gui/QtSettingsStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Crossmeld"));
    QApplication::setOrganizationName(QStringLiteral("Kestrovan"));
    QApplication::setDesktopFileName(QStringLiteral("crossmeld"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/crossmeld.png")));

    crossmeld::gui::QtHost host;
    crossmeld::gui::QtSettingsStore settings;
    crossmeld::MainWindowModel form(host, settings, host);
    crossmeld::gui::MainWindow window(form, host);
    window.Load();
    window.show();
    return app.exec();
}
