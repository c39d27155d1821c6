#pragma once
// A fixture that opens the real main window over a fresh model, with the
// settings in a temporary folder and every dialog answered by a script:
// message boxes with their default button or a queued reply (recorded),
// file dialogs with queued names, the codec dialog with a queued codec.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainWindowModel.h"
#include "gui/MainWindow.h"
#include "gui/QtHost.h"
#include "gui/QtSettingsStore.h"
#include "support/TestSupport.h"

namespace crossmeld::gui::test {

struct ShownDialog {
    enum class Kind { Message, File, Codec, MeshSize, Other } kind = Kind::Message;
    QString title;
    QString text;                                  // message boxes
    QMessageBox::Icon icon = QMessageBox::NoIcon;  // message boxes
    QMessageBox::StandardButtons buttons;          // message boxes
    QStringList filters;                           // file dialogs
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QStringList codecs;  // the codec dialog's list
    QSize meshSize;      // the mesh size dialog's columns and rows as it opened
};

class DialogScript {
public:
    // A file dialog answer: one or more names (absolute, or relative to
    // folder); none cancels. Without a queued answer the dialog is cancelled.
    // A save dialog that keeps a name back takes the next answer.
    void QueueFiles(QStringList names, QString folder = {}) { m_files.push_back({std::move(names), std::move(folder)}); }
    void QueueFile(const std::string& name) { QueueFiles({QString::fromStdString(name)}); }
    // The codec to choose by its listed name; none cancels.
    void QueueCodec(std::optional<QString> name) { m_codecs.push_back(std::move(name)); }
    // The columns and rows to answer the next mesh size dialog with; none cancels.
    void QueueMeshSize(std::optional<QSize> size) { m_meshSizes.push_back(size); }
    // The button the next message box with a choice is answered with.
    void QueueReply(QMessageBox::StandardButton button) { m_replies.push_back(button); }
    // Runs while a file dialog is open, before it is answered.
    std::function<void()> duringFileDialog;
    // Answers any other dialog (recorded as Other).
    std::function<void(QDialog&)> answerOther;

    void Answer(QDialog& dialog);

    std::vector<ShownDialog> shown;
    std::vector<ShownDialog> Messages() const;
    QStringList MessageTexts() const;
    int Count(ShownDialog::Kind kind) const;

private:
    struct FileAnswer {
        QStringList names;
        QString folder;
    };
    std::deque<FileAnswer> m_files;
    std::deque<std::optional<QString>> m_codecs;
    std::deque<std::optional<QSize>> m_meshSizes;
    std::deque<QMessageBox::StandardButton> m_replies;
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the model and the window over the given program folder (the
    // source tree holds the samples and the cursor), runs Load, shows it.
    void Open(const std::string& programFolder = crossmeld::test::SourceDir().string());
    // Closes and drops the window and the model.
    void Close();

    // The stored text of a key, or nothing when it is missing.
    std::optional<QString> Stored(const QString& key) const;
    void Store(const QString& key, const QString& value);

    // The picture a preview shows, as rendered by its widget.
    QImage Shown(PaneView* pane) const;
    static QImage Decoded(const std::string& file);

    crossmeld::test::TempDir config;
    crossmeld::test::TempDir temp;
    DialogScript dialogs;
    QtHost host;
    QtSettingsStore settings;
    std::unique_ptr<MainWindowModel> form;
    std::unique_ptr<MainWindow> window;
};

std::string Sample(const char* name);

}  // namespace crossmeld::gui::test
