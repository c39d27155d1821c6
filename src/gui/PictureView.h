#pragma once
// Shows a picture box of the model: its persistent image (background,
// picture at 1:1, drawings) from the top-left corner, cut at the widget's
// edge. Repaints whenever the model refreshes the box.

#include <QWidget>

#include "raster/PictureBox.h"

namespace crossmeld::gui {

class PictureView final : public QWidget {
    Q_OBJECT
public:
    PictureView(PictureBox& box, QWidget* parent);
    ~PictureView() override;

    PictureBox& Box() const noexcept { return m_box; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PictureBox& m_box;
    int m_observer;
};

}  // namespace crossmeld::gui
