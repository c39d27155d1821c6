#include "gui/PaneView.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "gui/PictureView.h"
#include "gui/SurfaceImage.h"

namespace crossmeld::gui {

namespace {

// The model's bordered boxes have two pixels of border on every side.
int BorderOf(const PictureBox& box) { return box.BorderStyle() == BoxBorder::FixedSingle ? 2 : 0; }

void SyncBar(QScrollBar& bar, ScrollBar& model) {
    bar.setGeometry(model.Left(), model.Top(), model.Width(), model.Height());
    bar.setVisible(model.Visible());
    // A picture smaller than the bar leaves an empty range.
    bar.setRange(model.Min(), std::max(model.Min(), model.Max()));
    bar.setPageStep(std::max<int>(1, model.LargeChange()));
    bar.setSingleStep(std::max<int>(1, model.SmallChange()));
    bar.setValue(model.Value());
}

}  // namespace

PaneView::PaneView(const PreviewPane& pane, QWidget* parent)
    : QWidget(parent),
      m_pane(pane),
      m_inner(new QWidget(this)),
      m_picture(new PictureView(pane.picture, m_inner)),
      m_horizontal(new QScrollBar(Qt::Horizontal, m_inner)),
      m_vertical(new QScrollBar(Qt::Vertical, m_inner)),
      m_corner(new QWidget(m_inner)) {
    m_inner->setAutoFillBackground(true);
    m_corner->setAutoFillBackground(true);
    m_corner->setMouseTracking(true);
    auto moved = [this](ScrollBar& model) {
        return [this, &model](int value) {
            model.SetValue(static_cast<std::int16_t>(value));
            PlacePicture();
        };
    };
    connect(m_horizontal, &QScrollBar::valueChanged, this, moved(m_pane.horizontal));
    connect(m_vertical, &QScrollBar::valueChanged, this, moved(m_pane.vertical));
    Sync();
}

void PaneView::Sync() {
    const PictureBox& box = m_pane.pane;
    const int border = BorderOf(box);
    setGeometry(box.Left(), box.Top(), box.Width(), box.Height());
    setVisible(box.Visible());
    m_inner->setGeometry(border, border, box.ScaleWidth(), box.ScaleHeight());
    QPalette inner = m_inner->palette();
    inner.setColor(QPalette::Window, ColorFromRef(box.BackColor(), palette()));
    m_inner->setPalette(inner);

    SyncBar(*m_horizontal, m_pane.horizontal);
    SyncBar(*m_vertical, m_pane.vertical);
    const Frame& corner = m_pane.corner;
    m_corner->setGeometry(corner.Left(), corner.Top(), corner.Width(), corner.Height());
    m_corner->setVisible(corner.Visible());
    QPalette square = m_corner->palette();
    square.setColor(QPalette::Window, ColorFromRef(corner.BackColor(), palette()));
    m_corner->setPalette(square);

    m_picture->setVisible(m_pane.picture.Visible());
    PlacePicture();
    m_horizontal->raise();
    m_vertical->raise();
    m_corner->raise();
    m_picture->update();
}

void PaneView::PlacePicture() {
    // The model keeps the picture at its place; the view shifts it by the
    // bars' positions.
    const PictureBox& shown = m_pane.picture;
    const int dx = m_pane.horizontal.Visible() ? m_pane.horizontal.Value() : 0;
    const int dy = m_pane.vertical.Visible() ? m_pane.vertical.Value() : 0;
    m_picture->setGeometry(shown.Left() - dx, shown.Top() - dy, shown.Width(), shown.Height());
}

void PaneView::paintEvent(QPaintEvent*) {
    if (BorderOf(m_pane.pane) == 0) return;
    // A sunken two-pixel border.
    QPainter painter(this);
    const int w = width();
    const int h = height();
    auto frame = [&](int inset, QColor topLeft, QColor bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(inset, inset, w - 1 - inset, inset);
        painter.drawLine(inset, inset, inset, h - 1 - inset);
        painter.setPen(bottomRight);
        painter.drawLine(inset, h - 1 - inset, w - 1 - inset, h - 1 - inset);
        painter.drawLine(w - 1 - inset, inset, w - 1 - inset, h - 1 - inset);
    };
    frame(0, QColor(160, 160, 160), QColor(255, 255, 255));
    frame(1, QColor(105, 105, 105), QColor(227, 227, 227));
}

}  // namespace crossmeld::gui
