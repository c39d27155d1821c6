#pragma once
// The save form of the file dialog: one name, new or existing, with the
// model's title and filters. Before it accepts a name it refuses one that
// is the same file as a protected one (the pictures the output is made
// from), and asks before an existing file is replaced; either way a "no"
// keeps the dialog open for another name.

#include <QFileDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Host.h"

namespace crossmeld::gui {

class SaveFileDialog final : public QFileDialog {
    Q_OBJECT
public:
    // refuse shows why a protected file (given as listed) cannot be chosen;
    // confirmReplace asks whether an existing file may be replaced.
    struct Questions {
        std::function<void(const std::string& protectedFile)> refuse;
        std::function<bool(const QString& existingFile)> confirmReplace;
    };

    SaveFileDialog(QWidget* parent, const FileDialogState& state, const QString& folder, Questions questions);

    // The chosen file once the dialog was accepted.
    QString ChosenFile() const { return m_chosen; }

public slots:
    void accept() override;

private:
    std::vector<std::string> m_protected;
    Questions m_questions;
    QString m_chosen;
};

// The entry of protectedFiles that is the same file as file (same device
// and inode: other spellings, symbolic and hard links count), if any.
std::optional<std::string> SameFileAsProtected(const QString& file, const std::vector<std::string>& protectedFiles);

}  // namespace crossmeld::gui
