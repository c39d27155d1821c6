#pragma once
// A preview pane: a bordered box that clips the picture it shows, with the
// scroll bars and the corner square where the model's pane layout put them.
// Moving a bar shifts the picture inside the pane.

#include <QWidget>

#include "app/controls/Panes.h"

class QScrollBar;

namespace crossmeld::gui {

class PictureView;

class PaneView final : public QWidget {
    Q_OBJECT
public:
    PaneView(const PreviewPane& pane, QWidget* parent);

    // Takes over the model's sizes, places, visibility, ranges and values.
    void Sync();

    PictureView* Picture() const noexcept { return m_picture; }
    QScrollBar* Horizontal() const noexcept { return m_horizontal; }
    QScrollBar* Vertical() const noexcept { return m_vertical; }
    QWidget* Corner() const noexcept { return m_corner; }
    // The area inside the border, which clips what the pane holds.
    QWidget* Inner() const noexcept { return m_inner; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PlacePicture();

    PreviewPane m_pane;
    QWidget* m_inner;
    PictureView* m_picture;
    QScrollBar* m_horizontal;
    QScrollBar* m_vertical;
    QWidget* m_corner;
};

}  // namespace crossmeld::gui
