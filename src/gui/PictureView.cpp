#include "gui/PictureView.h"

#include <QPainter>

#include "gui/SurfaceImage.h"

namespace crossmeld::gui {

PictureView::PictureView(PictureBox& box, QWidget* parent)
    : QWidget(parent), m_box(box), m_observer(box.AddRefreshObserver([this] { update(); })) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureView::~PictureView() { m_box.RemoveRefreshObserver(m_observer); }

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(m_box.BackColor(), palette()));
    const Picture image = m_box.Image();
    if (!image.empty()) painter.drawImage(0, 0, ImageFromSurface(*image.bitmap()));
}

}  // namespace crossmeld::gui
