#include "raster/PictureBox.h"

#include <algorithm>

#include "base/Error.h"

namespace crossmeld {

PictureBox::PictureBox() {
    UpdatePen();
    UpdateBrush();
}

std::int32_t PictureBox::ScaleWidth() const noexcept { return std::max(0, m_width - 2 * BorderWidth()); }

std::int32_t PictureBox::ScaleHeight() const noexcept { return std::max(0, m_height - 2 * BorderWidth()); }

void PictureBox::SetPicture(const crossmeld::Picture& picture) {
    m_picture = picture;
    ApplyAutoSize();
    UpdateImageSize();
    Repaint();
}

void PictureBox::SetAutoSize(bool on) {
    m_autoSize = on;
    ApplyAutoSize();
    UpdateImageSize();
}

void PictureBox::SetBorderStyle(BoxBorder style) {
    m_borderStyle = style;
    ApplyAutoSize();
    UpdateImageSize();
}

void PictureBox::Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) throw Error(ErrorKind::InvalidProcedureCall, "Invalid property value");
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    UpdateImageSize();
}

void PictureBox::ApplyAutoSize() {
    if (!m_autoSize || m_picture.empty()) return;
    m_width = m_picture.Width() + 2 * BorderWidth();
    m_height = m_picture.Height() + 2 * BorderWidth();
}

void PictureBox::UpdateImageSize() {
    const std::int32_t w = ScaleWidth();
    const std::int32_t h = ScaleHeight();
    if (m_image && m_image->width() == w && m_image->height() == h) return;
    if (!m_image && (w < 1 || h < 1)) return;
    m_image = w >= 1 && h >= 1 ? Surface::Create(w, h, 24) : nullptr;
    m_dc.Select(m_image);
    Repaint();
}

void PictureBox::Repaint() {
    if (!m_image) return;
    m_dc.FillRect(Rect{0, 0, m_image->width(), m_image->height()}, m_backColor);
    if (!m_picture.empty()) {
        DeviceContext source(m_picture.bitmap());
        CopyBlock(m_dc, 0, 0, m_picture.Width(), m_picture.Height(), source, 0, 0, RasterOp::SrcCopy);
    }
}

void PictureBox::Cls() {
    Repaint();
    m_dc.MoveTo(0, 0);
}

void PictureBox::SetForeColor(ColorRef color) {
    m_foreColor = color;
    UpdatePen();
}

void PictureBox::SetBackColor(ColorRef color) {
    m_backColor = color;
    Cls();
}

void PictureBox::SetFillStyle(BoxFillStyle style) {
    m_fillStyle = style;
    UpdateBrush();
}

void PictureBox::SetFillColor(ColorRef color) {
    m_fillColor = color;
    UpdateBrush();
}

void PictureBox::SetDrawStyle(BoxDrawStyle style) {
    m_drawStyle = style;
    UpdatePen();
}

void PictureBox::UpdatePen() {
    m_dc.SetPen(Pen{m_drawStyle == BoxDrawStyle::Transparent ? PenStyle::Null : PenStyle::Solid, m_foreColor});
}

void PictureBox::UpdateBrush() {
    m_dc.SetBrush(Brush{m_fillStyle == BoxFillStyle::Solid ? BrushStyle::Solid : BrushStyle::Null, m_fillColor});
}

void PictureBox::Refresh() {
    ++m_refreshCount;
    // A copy, so that an observer may add or remove observers.
    const auto observers = m_observers;
    for (const auto& [id, observer] : observers) observer();
}

int PictureBox::AddRefreshObserver(std::function<void()> observer) {
    const int id = m_nextObserver++;
    m_observers.emplace(id, std::move(observer));
    return id;
}

void PictureBox::RemoveRefreshObserver(int id) { m_observers.erase(id); }

}  // namespace crossmeld
