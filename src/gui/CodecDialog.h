#pragma once
// The codec dialog of the AVI output: the codecs the video library can
// write, with OK and Cancel.

#include <QDialog>

#include "formats/avi/CodecChoice.h"

class QListWidget;

namespace crossmeld::gui {

class CodecDialog final : public QDialog {
    Q_OBJECT
public:
    // Starts on the given codec.
    CodecDialog(QWidget* parent, avi::Codec codec);

    avi::Codec ChosenCodec() const;
    QListWidget* List() const noexcept { return m_list; }

private:
    QListWidget* m_list;
};

}  // namespace crossmeld::gui
