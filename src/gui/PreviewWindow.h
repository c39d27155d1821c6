#pragma once
// The preview window: the morph's frame at the weight of a slider (0 to
// 100 %), computed at the window's size from the window model's pictures
// and meshes, and a Play button that runs the slider on to 100 %.
//
// Renders are coalesced: any number of changes (slider, meshes, pictures,
// size) within one pass of the event loop make one render, at the start of
// the next pass, so a dragged point never queues up frames.

#include <QWidget>

#include "app/MainWindowModel.h"
#include "app/MorphPreview.h"

class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace crossmeld::gui {

class PreviewWindow final : public QWidget {
    Q_OBJECT
public:
    // A top-level window (the parent only owns it); the model must outlive it.
    explicit PreviewWindow(MainWindowModel& model, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // The meshes changed: the frame is made again at the current weight.
    void MeshChanged();
    // The pictures changed: they are shrunk again, then the frame is made.
    void PicturesChanged();
    // The slider's value, 0 .. 100.
    int Weight() const;

    QLabel* Image() const noexcept { return m_image; }
    QSlider* Slider() const noexcept { return m_slider; }
    QLabel* PercentLabel() const noexcept { return m_percent; }
    QPushButton* PlayButton() const noexcept { return m_play; }
    bool Playing() const;
    // Frames made so far (for tests: coalescing).
    int RenderCount() const noexcept { return m_renders; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A closed or hidden window stops playing.
    void hideEvent(QHideEvent* event) override;

private:
    void ScheduleRender();
    void Render();
    void PlayClicked();
    void Tick();
    void StopPlaying();

    MainWindowModel& m_model;
    MorphPreview m_preview;
    bool m_picturesStale = true;
    bool m_renderPending = false;
    int m_renders = 0;

    QLabel* m_image = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_percent = nullptr;
    QPushButton* m_play = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace crossmeld::gui
