#include "gui/MainWindow.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <cmath>

#include "app/AppRoutines.h"
#include "gui/HandCursor.h"
#include "gui/OptionRadio.h"
#include "gui/PaneView.h"
#include "gui/PictureView.h"
#include "gui/QtHost.h"
#include "gui/SurfaceImage.h"

namespace crossmeld::gui {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

void Place(QWidget& widget, const ControlBounds& bounds) {
    widget.setGeometry(bounds.Left(), bounds.Top(), bounds.Width(), bounds.Height());
    widget.setVisible(bounds.Visible());
}

void SetBackground(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    // Buttons fill with their button colour unless told otherwise.
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

// Leaving a field counts when the user moves the focus inside the window,
// not when another window (a dialog, another program) takes it.
bool LeavesField(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

int Clamp(double value, int low, int high) {
    if (!(value >= low)) return low;  // NaN too
    if (value > high) return high;
    return static_cast<int>(std::lround(value));
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& form, QtHost& host, QWidget* parent)
    : QWidget(parent), m_form(form), m_host(host) {
    Build();
    m_host.SetWindow(this);
}

MainWindow::~MainWindow() { m_host.SetWindow(nullptr); }

void MainWindow::Build() {
    setWindowTitle(Text(m_form.Caption()));
    setWindowIcon(QIcon(QStringLiteral(":/crossmeld.png")));
    setMouseTracking(true);
    // The design's controls keep their places inside a client area below
    // the menu bar. Moves over its background reach the window's.
    m_client = new QWidget(this);
    m_client->setMouseTracking(true);

    const std::array<CommandButton*, 6> buttons{&m_form.StartPictureButton(), &m_form.EndPictureButton(), &m_form.CreateFadeButton(),
                                                &m_form.SamplePairButton(), &m_form.ClearStartButton(), &m_form.ClearEndButton()};
    // Plain closures rather than member pointers: GCC's sanitizer build reads
    // past the window when a member pointer is called inside a nested lambda.
    const std::array<std::function<void()>, 6> clicks{
        [this] { m_form.ChooseStartPicture(); }, [this] { m_form.ChooseEndPicture(); },
        [this] { m_form.CreateFade(); }, [this] { m_form.LoadSamplePair(); },
        [this] { m_form.ClearStartPicture(); }, [this] { m_form.ClearEndPicture(); }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(Text(buttons[i]->Caption()), m_client);
        Place(*button, *buttons[i]);
        button->setAutoDefault(false);
        button->setMouseTracking(true);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, click = clicks[i]] { Run(click); });
        m_buttons[i] = button;
    }

    const std::array<Frame*, 3> frames{&m_form.OutputFrame(), &m_form.FrameCountFrame(), &m_form.FpsFrame()};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        auto* box = new QGroupBox(Text(frames[i]->Caption()), m_client);
        Place(*box, *frames[i]);
        box->setMouseTracking(true);
        box->installEventFilter(this);
        m_frames[i] = box;
    }

    // Typing and assignments alike reach the model's change handler; the
    // model's text comes back unchanged, so no second change follows.
    auto makeField = [this](TextField& model, QGroupBox* frame) {
        auto* edit = new QLineEdit(Text(model.Text()), frame);
        Place(*edit, model);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, &model](const QString& text) {
            Run([&model, text] { model.SetText(text.toStdString()); });
        });
        return edit;
    };
    m_frameCountField = makeField(m_form.FrameCountField(), m_frames[1]);
    m_fpsField = makeField(m_form.FpsField(), m_frames[2]);

    auto makeOption = [this](OptionButton& model) {
        auto* radio = new OptionRadio(Text(model.Caption()), m_frames[0]);
        Place(*radio, model);
        connect(radio, &QRadioButton::toggled, this, [this, &model](bool on) {
            if (on) Run([&model] { model.SetValue(true); });
        });
        return radio;
    };
    m_aviOption = makeOption(m_form.AviOption());
    m_gifOption = makeOption(m_form.GifOption());

    m_startPane = new PaneView(PreviewPane{m_form.StartScrollArea(), m_form.StartPreview(), m_form.StartHorizontalScroll(),
                                           m_form.StartVerticalScroll(), m_form.StartPaneCorner()},
                               m_client);
    m_endPane = new PaneView(PreviewPane{m_form.EndScrollArea(), m_form.EndPreview(), m_form.EndHorizontalScroll(),
                                         m_form.EndVerticalScroll(), m_form.EndPaneCorner()},
                             m_client);
    for (PaneView* pane : {m_startPane, m_endPane}) {
        pane->Corner()->installEventFilter(this);
        pane->Picture()->setMouseTracking(true);
        pane->Picture()->installEventFilter(this);
    }

    m_progress = new QProgressBar(m_client);
    Place(*m_progress, m_form.Progress());
    m_progress->setTextVisible(false);

    setTabOrder(m_frameCountField, m_fpsField);
    // A mouse move belongs to the control under the pointer alone; it does
    // not reach the window's background behind it.
    for (QWidget* child : m_client->findChildren<QWidget*>()) child->setAttribute(Qt::WA_NoMousePropagation);

    // The status line lies below the client area, so that every control
    // keeps its place. Moves over it reach the window's background.
    m_status = new QStatusBar(m_client);
    m_status->setSizeGripEnabled(false);
    const int statusHeight = m_status->sizeHint().height();
    m_status->setGeometry(0, MainWindowModel::kClientHeight, MainWindowModel::kClientWidth, statusHeight);
    // While a fade is made, a Cancel button in the status line (and the
    // Escape key) stops it: the run removes what it made and an older file
    // at the output's path stays as it was.
    m_cancel = new QPushButton(QStringLiteral("Cancel"), m_status);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->hide();
    m_status->addPermanentWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { CancelRun(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { CancelRun(); });
    BuildMenus();
    BuildViewMenus();
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, MainWindowModel::kClientWidth, menuHeight);
    m_client->setGeometry(0, menuHeight, MainWindowModel::kClientWidth, MainWindowModel::kClientHeight + statusHeight);
    setFixedSize(MainWindowModel::kClientWidth, menuHeight + MainWindowModel::kClientHeight + statusHeight);
    ApplyColors();
}

void MainWindow::Load() {
    Run([this] { m_form.Load(); });
    m_form.LoadStoredOutputOptions();
    m_hand = MakeHandCursor(m_form.ProgramFolderPath() + std::string(kCursorFile), m_form.MouseIcon());
    ShowPointer(m_form.Pointer());
}

void MainWindow::Run(const std::function<void()>& handler) {
    // A command that starts while none is busy is the one a close stops.
    const bool starts = !m_form.IsBusy();
    const int outerLevel = m_host.StopLevel();
    if (starts) m_host.SetStopLevel(m_host.EventDepth());
    const std::array<Picture, 2> before{m_form.StartPreview().Picture(), m_form.EndPreview().Picture()};
    const MeshPoints meshesBefore = m_form.Meshes();
    const std::array<Picture, 2> sourcesBefore{m_form.SourcePicture(Side::Start).Picture(),
                                               m_form.SourcePicture(Side::End).Picture()};
    QStringList outerNotes;
    outerNotes.swap(m_runNotes);

    ++m_runDepth;
    handler();
    --m_runDepth;

    if (starts) m_host.SetStopLevel(outerLevel);
    // A cancelled command has stopped; a close waits for its own turn below.
    if (starts && !m_closePending) m_host.ClearStop();
    QStringList raised;
    raised.swap(m_runNotes);
    m_runNotes = std::move(outerNotes);
    SettleNotes(before, raised);
    SyncFromModel();
    NotePictureChange(sourcesBefore);
    NoteMeshChange(meshesBefore);
    if (m_closePending && !m_form.IsBusy()) {
        m_closePending = false;
        m_host.ClearStop();
        close();
    }
    if (m_form.Ended() && !m_closed) close();
}

void MainWindow::ShowNote(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Outside a command a note stands alone; inside, it waits for what the
    // command does with the pictures. A picture loads twice: one note.
    QStringList& notes = m_runDepth > 0 ? m_runNotes : m_otherNotes;
    if (m_runDepth == 0) m_otherNotes.clear();
    if (!notes.contains(line)) notes << line;
    ShowNotes();
}

void MainWindow::SettleNotes(const std::array<Picture, 2>& before, const QStringList& raised) {
    // The copies in before keep the old bitmaps alive, so a new picture
    // never has an old one's handle.
    const std::array<bool, 2> replaced{before[0].Handle() != m_form.StartPreview().Picture().Handle(),
                                       before[1].Handle() != m_form.EndPreview().Picture().Handle()};
    for (std::size_t i = 0; i < replaced.size(); ++i)
        if (replaced[i]) m_pictureNotes[i].clear();
    if (replaced[0] || replaced[1]) m_otherNotes.clear();
    if (!raised.isEmpty()) {
        if (replaced[0] != replaced[1]) m_pictureNotes[replaced[0] ? 0 : 1] = raised;
        else m_otherNotes = raised;
    }
    ShowNotes();
}

void MainWindow::ShowNotes() {
    QStringList notes = m_pictureNotes[0] + m_pictureNotes[1] + m_otherNotes;
    for (const QString& note : m_runNotes)
        if (!notes.contains(note)) notes << note;
    const QString text = notes.join(QStringLiteral("   "));
    if (text.isEmpty()) m_status->clearMessage();
    else m_status->showMessage(text);
    m_status->setToolTip(notes.join(QLatin1Char('\n')));
}

QString MainWindow::StatusText() const { return m_status->currentMessage(); }

void MainWindow::ApplyColors() {
    const QColor back = ColorFromRef(m_form.BackColor(), palette());
    SetBackground(*this, back);
    SetBackground(*m_client, back);
    const std::array<Frame*, 3> frames{&m_form.OutputFrame(), &m_form.FrameCountFrame(), &m_form.FpsFrame()};
    for (std::size_t i = 0; i < frames.size(); ++i)
        SetBackground(*m_frames[i], ColorFromRef(frames[i]->BackColor(), palette()));
    SetBackground(*m_aviOption, ColorFromRef(m_form.AviOption().BackColor(), palette()));
    SetBackground(*m_gifOption, ColorFromRef(m_form.GifOption().BackColor(), palette()));
}

void MainWindow::CancelRun() {
    if (m_form.IsBusy()) m_host.RequestStop();
}

void MainWindow::SyncFromModel() {
    setWindowTitle(Text(m_form.Caption()));
    m_cancel->setVisible(m_form.IsBusy());
    ApplyColors();
    for (auto [edit, model] : {std::pair{m_frameCountField, &m_form.FrameCountField()}, std::pair{m_fpsField, &m_form.FpsField()}}) {
        const QString text = Text(model->Text());
        if (edit->text() != text) edit->setText(text);
    }
    for (auto [radio, model] : {std::pair{m_aviOption, &m_form.AviOption()}, std::pair{m_gifOption, &m_form.GifOption()}}) {
        const QSignalBlocker block(radio);
        radio->setChecked(model->Value());
    }
    m_startPane->Sync();
    m_endPane->Sync();
    ShowProgressMax(m_form.Progress().Max());
    ShowProgressValue(m_form.Progress().Value());
    ShowPointer(m_form.Pointer());
    UpdateMeshActions();
}

void MainWindow::ShowPointer(MousePointer pointer) {
    switch (pointer) {
        case MousePointer::Hourglass: setCursor(Qt::WaitCursor); break;
        case MousePointer::Custom:
            // Without the cursor file the custom pointer is the arrow.
            if (m_hand) setCursor(*m_hand);
            else setCursor(Qt::ArrowCursor);
            break;
        case MousePointer::Normal: setCursor(Qt::ArrowCursor); break;
    }
}

void MainWindow::FocusField(FocusTarget target) {
    QLineEdit* edit = target == FocusTarget::FrameCountField ? m_frameCountField : m_fpsField;
    m_programFocus = true;
    edit->setFocus(Qt::OtherFocusReason);
    m_programFocus = false;
}

void MainWindow::ShowProgressMax(double maximum) {
    const int top = Clamp(maximum, 0, 1 << 30);
    if (m_progress->maximum() != top) m_progress->setRange(0, top);
}

void MainWindow::ShowProgressValue(double value) {
    const int shown = Clamp(value, 0, m_progress->maximum());
    if (m_progress->value() != shown) m_progress->setValue(shown);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Frames report their children's creation before the panes exist.
    if (m_startPane && watched == m_startPane->Picture() && PictureEvent(Side::Start, event)) return true;
    if (m_endPane && watched == m_endPane->Picture() && PictureEvent(Side::End, event)) return true;
    if (event->type() == QEvent::MouseMove) {
        for (QPushButton* button : m_buttons)
            if (watched == button) m_form.PointerOverButton();
        for (QGroupBox* frame : m_frames)
            if (watched == frame) m_form.PointerOverFrame();
        if (watched == m_startPane->Corner() || watched == m_endPane->Corner()) m_form.PointerOverFrame();
    } else if (event->type() == QEvent::FocusOut && (watched == m_frameCountField || watched == m_fpsField)) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        if (!m_programFocus && LeavesField(focus->reason())) {
            // The check runs once the focus has moved, from the event loop,
            // not inside the focus change.
            const bool text1 = watched == m_frameCountField;
            QMetaObject::invokeMethod(
                this,
                [this, text1] {
                    Run([this, text1] { text1 ? m_form.FrameCountFieldLeft() : m_form.FpsFieldLeft(); });
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    m_form.PointerOverWindow();
    QWidget::mouseMoveEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_form.IsBusy()) {
        // A command that let events run is still on the stack: it stops at
        // its next check, removes what it made, and the window closes then.
        m_closePending = true;
        m_host.RequestStop();
        event->ignore();
        return;
    }
    m_closed = true;
    m_form.QueryClose();
    m_form.Close();
    event->accept();
}

}  // namespace crossmeld::gui
