#pragma once
// The codec dialog of the AVI output: the codecs the video library can
// write, with OK and Cancel.

#include <QDialog>
#include <cstdint>

class QListWidget;

namespace crossmeld::gui {

class CodecDialog final : public QDialog {
    Q_OBJECT
public:
    // Starts on the codec with the given handler, or on the first one.
    CodecDialog(QWidget* parent, std::uint32_t handler);

    std::uint32_t ChosenHandler() const;
    QListWidget* List() const noexcept { return m_list; }

private:
    QListWidget* m_list;
};

}  // namespace crossmeld::gui
