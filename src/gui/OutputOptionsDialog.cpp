#include "gui/OutputOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "export/FrameSink.h"
#include "export/GifSink.h"

namespace crossmeld::gui {

namespace {

QDoubleSpinBox* Seconds(QWidget* parent, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, kMaxHoldSeconds);
    box->setDecimals(2);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(value);
    return box;
}

}  // namespace

OutputOptionsDialog::OutputOptionsDialog(QWidget* parent, const OutputOptions& options)
    : QDialog(parent),
      m_forever(new QCheckBox(QStringLiteral("Loop forever"), this)),
      m_plays(new QSpinBox(this)),
      m_holdStart(Seconds(this, options.timing.holdStartSeconds)),
      m_holdEnd(Seconds(this, options.timing.holdEndSeconds)),
      m_ease(new QComboBox(this)),
      m_bounce(new QCheckBox(QStringLiteral("There and back (returns smoothly to the start)"), this)),
      m_palette(new QComboBox(this)),
      m_dither(new QComboBox(this)),
      m_optimize(new QCheckBox(QStringLiteral("Store only what changes (smaller files)"), this)),
      m_quality(new QSpinBox(this)) {
    setWindowTitle(QStringLiteral("Output Options"));
    auto* layout = new QVBoxLayout(this);

    auto* timing = new QGroupBox(QStringLiteral("Timing"), this);
    auto* timingForm = new QFormLayout(timing);
    m_ease->addItems({QStringLiteral("Linear"), QStringLiteral("Smooth (slow at both ends)")});
    m_ease->setCurrentIndex(options.timing.ease == crossmeld::Ease::Smooth ? 1 : 0);
    m_bounce->setChecked(options.timing.bounce);
    timingForm->addRow(QStringLiteral("Hold first frame:"), m_holdStart);
    timingForm->addRow(QStringLiteral("Hold end frame:"), m_holdEnd);
    timingForm->addRow(QStringLiteral("Easing:"), m_ease);
    timingForm->addRow(m_bounce);
    layout->addWidget(timing);

    auto* gif = new QGroupBox(QStringLiteral("Animated GIF"), this);
    auto* gifForm = new QFormLayout(gif);
    auto* plays = new QHBoxLayout;
    m_plays->setRange(1, GifSink::kMaxPlayCount);
    m_plays->setSuffix(QStringLiteral(" plays"));
    m_plays->setValue(options.timing.playCount == 0 ? 1 : options.timing.playCount);
    m_forever->setChecked(options.timing.playCount == 0);
    m_plays->setEnabled(!m_forever->isChecked());
    connect(m_forever, &QCheckBox::toggled, m_plays, [this](bool on) { m_plays->setEnabled(!on); });
    plays->addWidget(m_forever);
    plays->addWidget(m_plays);
    gifForm->addRow(QStringLiteral("Plays:"), plays);
    m_palette->addItems({QStringLiteral("Halftone (216 colours)"), QStringLiteral("Adaptive (from the first frame)"),
                         QStringLiteral("Fade (from both pictures and their blends)")});
    m_palette->setCurrentIndex(static_cast<int>(options.palette));
    gifForm->addRow(QStringLiteral("Palette:"), m_palette);
    m_dither->addItems({QStringLiteral("None"), QStringLiteral("Ordered"), QStringLiteral("Diffusion")});
    m_dither->setCurrentIndex(static_cast<int>(options.dither));
    gifForm->addRow(QStringLiteral("Dither:"), m_dither);
    m_optimize->setChecked(options.optimize);
    gifForm->addRow(m_optimize);
    layout->addWidget(gif);

    auto* lossy = new QGroupBox(QStringLiteral("MP4, WebM and WebP"), this);
    auto* lossyForm = new QFormLayout(lossy);
    m_quality->setRange(-1, 100);
    m_quality->setSpecialValueText(QStringLiteral("Default (visually lossless)"));
    m_quality->setValue(options.quality);
    lossyForm->addRow(QStringLiteral("Quality (0–100):"), m_quality);
    layout->addWidget(lossy);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

OutputOptions OutputOptionsDialog::Options() const {
    OutputOptions o;
    o.timing.playCount = m_forever->isChecked() ? 0 : m_plays->value();
    o.timing.holdStartSeconds = m_holdStart->value();
    o.timing.holdEndSeconds = m_holdEnd->value();
    o.timing.ease = m_ease->currentIndex() == 1 ? crossmeld::Ease::Smooth : crossmeld::Ease::Linear;
    o.timing.bounce = m_bounce->isChecked();
    o.palette = static_cast<PaletteMode>(m_palette->currentIndex());
    o.dither = static_cast<DitherMethod>(m_dither->currentIndex());
    o.optimize = m_optimize->isChecked();
    o.quality = m_quality->value();
    return o;
}

}  // namespace crossmeld::gui
