#include "gui/QtHost.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "base/RunStopped.h"
#include "gui/CodecDialog.h"
#include "gui/MainWindow.h"
#include "gui/OpenFileDialog.h"
#include "gui/SaveFileDialog.h"

namespace crossmeld::gui {

namespace {

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::Exclamation: return QMessageBox::Warning;
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::OK: break;
    }
    return QMessageBox::Ok;
}

// A box closed without a button (Escape, the close button) answers with
// its escape button; an OK box with OK.
MsgResult Answer(QMessageBox::StandardButton button, MsgButtons buttons) {
    switch (button) {
        case QMessageBox::Ok: return MsgResult::OK;
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        default: break;
    }
    switch (buttons) {
        case MsgButtons::OKCancel: return MsgResult::Cancel;
        case MsgButtons::YesNo: return MsgResult::No;
        case MsgButtons::OK: break;
    }
    return MsgResult::OK;
}

}  // namespace

QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString QtHost::FallbackCaption() const {
    return m_window ? m_window->windowTitle() : QCoreApplication::applicationName();
}

int QtHost::Exec(QDialog& dialog) {
    if (m_answerer) {
        // Runs inside the dialog's own event loop, once it is showing.
        QPointer<QDialog> guard(&dialog);
        QTimer::singleShot(0, &dialog, [this, guard] {
            if (!guard) return;
            m_answerer(*guard);
            if (guard && guard->isVisible()) guard->reject();
        });
    }
    ++m_dialogDepth;
    const int result = dialog.exec();
    --m_dialogDepth;
    // The window below (the main window, or the file dialog a question came
    // up over) takes the keyboard back, also where no window manager hands
    // it back (a virtual display, the offscreen platform).
    QWidget* below = dialog.parentWidget() ? dialog.parentWidget()->window() : m_window;
    if (below && below->isVisible()) below->activateWindow();
    return result;
}

MsgResult QtHost::MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& caption) {
    return Box(m_window, text, icon, buttons, caption);
}

MsgResult QtHost::Box(QWidget* parent, const std::string& text, MsgIcon icon, MsgButtons buttons,
                      const std::string& caption, bool defaultNo) {
    QMessageBox box(BoxIcon(icon), caption.empty() ? FallbackCaption() : QString::fromStdString(caption),
                    DisplayText(text), BoxButtons(buttons), parent ? parent : m_window);
    box.setTextFormat(Qt::PlainText);
    if (defaultNo) box.setDefaultButton(QMessageBox::No);
    Exec(box);
    QAbstractButton* clicked = box.clickedButton();
    return Answer(clicked ? box.standardButton(clicked) : QMessageBox::NoButton, buttons);
}

void QtHost::ShowOpen(FileDialogState& state) {
    OpenFileDialog dialog(m_window, state, m_lastFolder);
    const bool accepted = Exec(dialog) == QDialog::Accepted && !dialog.ChosenFiles().isEmpty();
    if (!accepted) {
        state.FileName.clear();
        return;
    }
    const QStringList files = dialog.ChosenFiles();
    m_lastFolder = QFileInfo(files.front()).absolutePath();
    state.FileName = JoinFileNames(files);
}

void QtHost::ShowSave(FileDialogState& state) {
    SaveFileDialog* shown = nullptr;
    // The questions come up over the dialog, with the window's caption.
    SaveFileDialog::Questions questions{
        [this, &shown](const std::string& picture) {
            Box(shown,
                "The fade cannot replace one of its own pictures:\r\n" + picture +
                    "\r\n\r\nPlease choose another name.",
                MsgIcon::Exclamation, MsgButtons::OK, {});
        },
        [this, &shown](const QString& existing) {
            const std::string name = QFile::encodeName(QFileInfo(existing).fileName()).toStdString();
            return Box(shown, name + " already exists.\r\nDo you want to replace it?", MsgIcon::Exclamation,
                       MsgButtons::YesNo, {}, true) == MsgResult::Yes;
        }};
    SaveFileDialog dialog(m_window, state, m_lastFolder, std::move(questions));
    shown = &dialog;
    if (Exec(dialog) != QDialog::Accepted || dialog.ChosenFile().isEmpty()) {
        state.FileName.clear();
        return;
    }
    m_lastFolder = QFileInfo(dialog.ChosenFile()).absolutePath();
    state.FileName = QFile::encodeName(dialog.ChosenFile()).toStdString();
}

void QtHost::Warn(const std::string& text) {
    if (m_window) m_window->ShowNote(DisplayText(text));
}

bool QtHost::ChooseCodec(avi::CodecChoice& choice) {
    CodecDialog dialog(m_window, choice.codec);
    if (Exec(dialog) != QDialog::Accepted) return false;
    choice.codec = dialog.ChosenCodec();
    choice.quality.reset();  // the codec's default
    return true;
}

void QtHost::DoEvents() {
    // What the model changed since the last look shows before the events run.
    if (m_window) m_window->SyncFromModel();
    ++m_pumpDepth;
    QCoreApplication::processEvents();
    --m_pumpDepth;
    CheckStop();
}

void QtHost::CheckStop() {
    // Raised only where the stopping command itself runs: from inside a
    // handler that runs nested in it, the exception would cross Qt's event
    // dispatch.
    if (m_stopRequested && EventDepth() == m_stopLevel) throw RunStopped();
}

void QtHost::SetMousePointer(MousePointer pointer) {
    if (m_window) m_window->ShowPointer(pointer);
}

void QtHost::SetFocus(FocusTarget target) {
    if (m_window) m_window->FocusField(target);
}

void QtHost::SetProgressMax(double maximum) {
    if (m_window) m_window->ShowProgressMax(maximum);
}

void QtHost::SetProgressValue(double value) {
    if (m_window) m_window->ShowProgressValue(value);
}

}  // namespace crossmeld::gui
