#include "gui/support/WindowTest.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include "gui/CodecDialog.h"
#include "gui/MeshSizeDialog.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"

namespace crossmeld::gui::test {

void DialogScript::Answer(QDialog& dialog) {
    ShownDialog record;
    record.title = dialog.windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        record.kind = ShownDialog::Kind::Message;
        record.text = box->text();
        record.icon = box->icon();
        record.buttons = box->standardButtons();
        shown.push_back(record);
        QAbstractButton* button = box->defaultButton();
        if (box->buttons().size() > 1 && !m_replies.empty()) {
            button = box->button(m_replies.front());
            m_replies.pop_front();
        }
        if (!button && !box->buttons().isEmpty()) button = box->buttons().front();
        if (button) button->click();
        return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
        record.kind = ShownDialog::Kind::File;
        record.filters = files->nameFilters();
        record.fileMode = files->fileMode();
        record.acceptMode = files->acceptMode();
        shown.push_back(record);
        if (duringFileDialog) duringFileDialog();
        // A save dialog that refuses a name stays open for the next one.
        do {
            if (m_files.empty() || m_files.front().names.isEmpty()) {
                if (!m_files.empty()) m_files.pop_front();
                files->reject();
                return;
            }
            const FileAnswer answer = m_files.front();
            m_files.pop_front();
            if (!answer.folder.isEmpty()) files->setDirectory(answer.folder);
            if (answer.names.size() == 1) {
                files->selectFile(answer.names.front());
            } else {
                // Typed as the dialog shows a multiple selection: quoted names.
                QStringList quoted;
                for (const QString& name : answer.names) quoted << QLatin1Char('"') + name + QLatin1Char('"');
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(quoted.join(QLatin1Char(' ')));
            }
            static_cast<QDialog*>(files)->accept();  // through the dialog's own accept()
        } while (files->isVisible() && files->acceptMode() == QFileDialog::AcceptSave);
        return;
    }
    if (auto* codecs = qobject_cast<CodecDialog*>(&dialog)) {
        record.kind = ShownDialog::Kind::Codec;
        for (int i = 0; i < codecs->List()->count(); ++i) record.codecs << codecs->List()->item(i)->text();
        shown.push_back(record);
        auto* buttons = codecs->findChild<QDialogButtonBox*>();
        std::optional<QString> choice;
        if (!m_codecs.empty()) {
            choice = m_codecs.front();
            m_codecs.pop_front();
        }
        if (!choice) {
            buttons->button(QDialogButtonBox::Cancel)->click();
            return;
        }
        const auto found = codecs->List()->findItems(*choice, Qt::MatchExactly);
        if (!found.isEmpty()) codecs->List()->setCurrentItem(found.front());
        buttons->button(QDialogButtonBox::Ok)->click();
        return;
    }
    if (auto* size = qobject_cast<MeshSizeDialog*>(&dialog)) {
        record.kind = ShownDialog::Kind::MeshSize;
        record.meshSize = QSize(size->Columns()->value(), size->Rows()->value());
        shown.push_back(record);
        std::optional<QSize> answer;
        if (!m_meshSizes.empty()) {
            answer = m_meshSizes.front();
            m_meshSizes.pop_front();
        }
        if (!answer) {
            size->reject();
            return;
        }
        size->Columns()->setValue(answer->width());
        size->Rows()->setValue(answer->height());
        size->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        return;
    }
    if (answerOther) {
        record.kind = ShownDialog::Kind::Other;
        shown.push_back(record);
        answerOther(dialog);
        return;
    }
    ADD_FAILURE() << "unexpected dialog " << dialog.metaObject()->className();
}

std::vector<ShownDialog> DialogScript::Messages() const {
    std::vector<ShownDialog> messages;
    for (const ShownDialog& d : shown)
        if (d.kind == ShownDialog::Kind::Message) messages.push_back(d);
    return messages;
}

QStringList DialogScript::MessageTexts() const {
    QStringList texts;
    for (const ShownDialog& d : Messages()) texts << d.text;
    return texts;
}

int DialogScript::Count(ShownDialog::Kind kind) const {
    int n = 0;
    for (const ShownDialog& d : shown) n += d.kind == kind;
    return n;
}

void WindowTest::SetUp() {
    // Settings of this test only.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(config.path().string()));
    host.SetDialogAnswerer([this](QDialog& dialog) { dialogs.Answer(dialog); });
}

void WindowTest::TearDown() { Close(); }

void WindowTest::Open(const std::string& programFolder) {
    form = std::make_unique<MainWindowModel>(host, settings, host, programFolder);
    window = std::make_unique<MainWindow>(*form, host);
    window->Load();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void WindowTest::Close() {
    if (window) window->close();
    window.reset();
    form.reset();
}

std::optional<QString> WindowTest::Stored(const QString& key) const {
    const QSettings stored(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrovan"));
    const QString name = QStringLiteral("Crossmeld/") + key;
    if (!stored.contains(name)) return std::nullopt;
    return stored.value(name).toString();
}

void WindowTest::Store(const QString& key, const QString& value) {
    QSettings stored(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrovan"));
    stored.setValue(QStringLiteral("Crossmeld/") + key, value);
}

QImage WindowTest::Shown(PaneView* pane) const {
    return pane->Picture()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage WindowTest::Decoded(const std::string& file) {
    const auto rgb = crossmeld::test::DecodeWithPil(file);
    if (!rgb) return {};
    QImage image(rgb->width, rgb->height, QImage::Format_RGB32);
    for (int y = 0; y < rgb->height; ++y)
        for (int x = 0; x < rgb->width; ++x) {
            const std::uint8_t* p = &rgb->rgb[(static_cast<std::size_t>(y) * rgb->width + x) * 3];
            image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
    return image;
}

std::string Sample(const char* name) { return (crossmeld::test::SourceDir() / "Samples" / name).string(); }

}  // namespace crossmeld::gui::test
