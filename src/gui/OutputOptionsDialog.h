#pragma once
// The output options dialog: the fade's timing (plays, held first and end
// frames, easing, there and back) and the GIF's palette, dither and frame
// optimisation, the quality of the lossy newer formats, with OK and Cancel.

#include <QDialog>

#include "app/OutputOptions.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace crossmeld::gui {

class OutputOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    OutputOptionsDialog(QWidget* parent, const OutputOptions& options);

    // The options as the dialog's controls hold them.
    OutputOptions Options() const;

    QCheckBox* Forever() const noexcept { return m_forever; }
    QSpinBox* Plays() const noexcept { return m_plays; }
    QDoubleSpinBox* HoldStart() const noexcept { return m_holdStart; }
    QDoubleSpinBox* HoldEnd() const noexcept { return m_holdEnd; }
    QComboBox* Ease() const noexcept { return m_ease; }
    QCheckBox* Bounce() const noexcept { return m_bounce; }
    QComboBox* Palette() const noexcept { return m_palette; }
    QComboBox* Dither() const noexcept { return m_dither; }
    QCheckBox* Optimize() const noexcept { return m_optimize; }
    // -1 shows as each format's default.
    QSpinBox* Quality() const noexcept { return m_quality; }

private:
    QCheckBox* m_forever;
    QSpinBox* m_plays;
    QDoubleSpinBox* m_holdStart;
    QDoubleSpinBox* m_holdEnd;
    QComboBox* m_ease;
    QCheckBox* m_bounce;
    QComboBox* m_palette;
    QComboBox* m_dither;
    QCheckBox* m_optimize;
    QSpinBox* m_quality;
};

}  // namespace crossmeld::gui
