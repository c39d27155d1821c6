// The window's view and options commands: the preview window, which follows
// every change of the meshes and pictures, and the output options dialog.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "gui/MainWindow.h"
#include "gui/OutputOptionsDialog.h"
#include "gui/PreviewWindow.h"
#include "gui/QtHost.h"

namespace crossmeld::gui {

void MainWindow::BuildViewMenus() {
    m_previewAction = m_viewMenu->addAction(QStringLiteral("&Preview"));
    m_previewAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(m_previewAction);
    connect(m_previewAction, &QAction::triggered, this, [this] { ShowPreview(); });

    QMenu* options = m_menuBar->addMenu(QStringLiteral("&Options"));
    m_outputOptions = options->addAction(QStringLiteral("&Output Options…"));
    connect(m_outputOptions, &QAction::triggered, this, [this] { ChooseOutputOptions(); });
}

void MainWindow::ShowPreview() {
    if (!m_preview) {
        m_preview = new PreviewWindow(m_form, this);
        m_preview->setWindowFlag(Qt::Window);
        connect(this, &MainWindow::meshChanged, m_preview, [this] { m_preview->MeshChanged(); });
        m_preview->PicturesChanged();
    }
    m_preview->show();
    m_preview->raise();
}

void MainWindow::NotePictureChange(const std::array<Picture, 2>& before) {
    if (!m_preview) return;
    if (m_form.SourcePicture(Side::Start).Picture().Handle() != before[0].Handle() ||
        m_form.SourcePicture(Side::End).Picture().Handle() != before[1].Handle())
        m_preview->PicturesChanged();
}

void MainWindow::ChooseOutputOptions() {
    if (m_form.IsBusy()) return;
    OutputOptionsDialog dialog(this, m_form.CurrentOutputOptions());
    if (m_host.RunDialog(dialog) != QDialog::Accepted) return;
    m_form.StoreOutputOptions(dialog.Options());
}

}  // namespace crossmeld::gui
