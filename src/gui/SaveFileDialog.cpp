#include "gui/SaveFileDialog.h"

#include <QFile>
#include <QFileInfo>

#include "base/FileRoutines.h"
#include "gui/FilterText.h"

namespace crossmeld::gui {

std::optional<std::string> SameFileAsProtected(const QString& file, const std::vector<std::string>& protectedFiles) {
    const std::string chosen = QFile::encodeName(file).toStdString();
    for (const std::string& candidate : protectedFiles)
        if (SameFile(chosen, candidate)) return candidate;
    return std::nullopt;
}

SaveFileDialog::SaveFileDialog(QWidget* parent, const FileDialogState& state, const QString& folder,
                               Questions questions)
    : QFileDialog(parent), m_protected(state.Protected), m_questions(std::move(questions)) {
    // Qt's own dialog everywhere, so that the checks below hold; the replace
    // question is ours, so that it goes where every other message goes.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowTitle(QString::fromStdString(state.DialogTitle));
    const QStringList filters = NameFiltersFromFilterText(state.Filter);
    if (!filters.isEmpty()) setNameFilters(filters);
    // A name typed without an extension gets that of a newer format chosen
    // among the types; the first type gives the state's own (or none).
    const QString firstSuffix = QString::fromStdString(state.DefaultExtension);
    setDefaultSuffix(firstSuffix);
    connect(this, &QFileDialog::filterSelected, this, [this, filters, firstSuffix](const QString& filter) {
        const qsizetype index = filters.indexOf(filter);
        const qsizetype star = filter.indexOf(QStringLiteral("*."));
        QString suffix = firstSuffix;
        if (index > 0 && star >= 0) suffix = filter.mid(star + 2).section(QLatin1Char(' '), 0, 0).remove(QLatin1Char(')'));
        setDefaultSuffix(suffix);
    });
    if (!folder.isEmpty()) setDirectory(folder);
    if (!state.FileName.empty()) selectFile(QFile::decodeName(state.FileName.c_str()));
}

void SaveFileDialog::accept() {
    const QStringList files = selectedFiles();
    // A folder name opens the folder; Qt's dialog handles that and odd input.
    if (files.size() == 1 && !QFileInfo(files.front()).isDir()) {
        const QString& file = files.front();
        if (const auto picture = SameFileAsProtected(file, m_protected)) {
            if (m_questions.refuse) m_questions.refuse(*picture);
            return;
        }
        if (QFileInfo::exists(file) && m_questions.confirmReplace && !m_questions.confirmReplace(file)) return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted && !selectedFiles().isEmpty()) m_chosen = selectedFiles().front();
}

}  // namespace crossmeld::gui
