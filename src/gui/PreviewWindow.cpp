#include "gui/PreviewWindow.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

namespace crossmeld::gui {

namespace {

// Play runs the slider from 0 to 100 in about two seconds at 25 frames a
// second: 2 % every 40 ms.
constexpr int kTickMs = 40;
constexpr int kStep = 2;

// The frame's blue, green, red bytes as an opaque image.
QImage ImageFromGrid(const PixelGrid& grid) {
    const int w = grid.GridWidth(), h = grid.GridHeight();
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = grid.Bits.data() + PixelGrid::Offset(0, 0, y, w);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, in += 4) line[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

}  // namespace

PreviewWindow::PreviewWindow(MainWindowModel& model, QWidget* parent) : QWidget(parent, Qt::Window), m_model(model) {
    setWindowTitle(tr("Preview"));
    m_image = new QLabel(this);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setWordWrap(true);
    // The image follows the window's size, not the other way round.
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_image->setMinimumSize(32, 32);

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, 100);
    m_slider->setPageStep(10);
    m_percent = new QLabel(this);
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("100 %")) + 4);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_play = new QPushButton(tr("Play"), this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_slider, 1);
    controls->addWidget(m_percent);
    controls->addWidget(m_play);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_image, 1);
    layout->addLayout(controls);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &PreviewWindow::Tick);
    connect(m_play, &QPushButton::clicked, this, &PreviewWindow::PlayClicked);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        m_percent->setText(QStringLiteral("%1 %").arg(value));
        ScheduleRender();
    });
    // Taking the slider by hand stops the playing.
    connect(m_slider, &QSlider::sliderPressed, this, &PreviewWindow::StopPlaying);
    m_percent->setText(QStringLiteral("0 %"));
    resize(480, 520);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::MeshChanged() {
    ScheduleRender();
}

void PreviewWindow::PicturesChanged() {
    m_picturesStale = true;
    ScheduleRender();
}

int PreviewWindow::Weight() const {
    return m_slider->value();
}

bool PreviewWindow::Playing() const {
    return m_timer->isActive();
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ScheduleRender();
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ScheduleRender();
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    StopPlaying();
    QWidget::hideEvent(event);
}

void PreviewWindow::ScheduleRender() {
    if (m_renderPending) return;
    m_renderPending = true;
    QMetaObject::invokeMethod(this, &PreviewWindow::Render, Qt::QueuedConnection);
}

void PreviewWindow::Render() {
    m_renderPending = false;
    if (m_picturesStale) {
        m_preview.SetPictures(m_model.SourcePicture(Side::Start).Picture(), m_model.SourcePicture(Side::End).Picture());
        m_picturesStale = false;
    }
    // The layout has placed the image by now: the render is queued. The box
    // is in the window's own pixels, as the pictures are shown in the main
    // window; a high-density screen scales the frame up with everything else.
    const QSize box = m_image->contentsRect().size();
    m_preview.SetBox({box.width(), box.height()});
    const PixelGrid& frame =
        m_preview.Render(m_model.StartMesh(), m_model.EndMesh(), m_model.Sampling(), m_slider->value(), 100);
    ++m_renders;
    if (frame.GridWidth() < 1 || frame.GridHeight() < 1) {
        m_image->setPixmap(QPixmap());
        m_image->setText(tr("Load two pictures of the same size to preview the morph."));
        return;
    }
    m_image->setPixmap(QPixmap::fromImage(ImageFromGrid(frame)));
}

void PreviewWindow::PlayClicked() {
    if (Playing()) {
        StopPlaying();
        return;
    }
    // At the end already: play again from the start.
    if (m_slider->value() >= m_slider->maximum()) m_slider->setValue(m_slider->minimum());
    m_play->setText(tr("Pause"));
    m_timer->start();
}

void PreviewWindow::Tick() {
    const int value = std::min(m_slider->value() + kStep, m_slider->maximum());
    m_slider->setValue(value);
    if (value >= m_slider->maximum()) StopPlaying();
}

void PreviewWindow::StopPlaying() {
    m_timer->stop();
    m_play->setText(tr("Play"));
}

}  // namespace crossmeld::gui
