#include "gui/OpenFileDialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "gui/FilterText.h"

namespace crossmeld::gui {

OpenFileDialog::OpenFileDialog(QWidget* parent, const FileDialogState& state, const QString& folder)
    : QFileDialog(parent) {
    // Qt's own dialog everywhere, so that the selection rules below hold.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFiles);
    setWindowTitle(QString::fromStdString(state.DialogTitle));
    const QStringList filters = NameFiltersFromFilterText(state.Filter);
    if (!filters.isEmpty()) setNameFilters(filters);
    if (!folder.isEmpty()) setDirectory(folder);
    if (!state.FileName.empty()) selectFile(QFile::decodeName(state.FileName.c_str()));
}

void OpenFileDialog::accept() {
    const QStringList files = selectedFiles();
    // One new name in an existing folder is taken as it is: the open dialog
    // of Windows names files to write too.
    if (files.size() == 1) {
        const QFileInfo info(files.front());
        if (!info.exists() && info.dir().exists() && !info.fileName().isEmpty()) {
            m_chosen = files;
            QDialog::accept();
            return;
        }
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted) m_chosen = selectedFiles();
}

std::string JoinFileNames(const QStringList& files) {
    std::string joined;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (i) joined.push_back('\0');
        joined += QFile::encodeName(files[i]).toStdString();
    }
    return joined;
}

}  // namespace crossmeld::gui
