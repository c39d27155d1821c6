#pragma once
// The open-file dialog: the title and filters that the model set, several
// existing files at once, or one name that does not exist yet (the create
// command asks for its output file through the same dialog).

#include <QFileDialog>
#include <QStringList>

#include "base/Host.h"

namespace crossmeld::gui {

class OpenFileDialog final : public QFileDialog {
    Q_OBJECT
public:
    OpenFileDialog(QWidget* parent, const FileDialogState& state, const QString& folder);

    // The chosen files once the dialog was accepted.
    QStringList ChosenFiles() const { return m_chosen; }

public slots:
    void accept() override;

private:
    QStringList m_chosen;
};

// The answer of the dialog as the model receives it: "" for a cancel,
// several names separated by NUL characters.
std::string JoinFileNames(const QStringList& files);

}  // namespace crossmeld::gui
