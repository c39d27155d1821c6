#include "gui/CodecDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "formats/avi/CodecChooser.h"

namespace crossmeld::gui {

CodecDialog::CodecDialog(QWidget* parent, avi::Codec codec) : QDialog(parent), m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Video Compression"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Compressor:"), this));
    int current = 0;
    for (std::size_t i = 0; i < avi::kAviCodecs.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromUtf8(avi::kAviCodecs[i].name), m_list);
        item->setData(Qt::UserRole, static_cast<int>(i));
        if (avi::kAviCodecs[i].codec == codec) current = static_cast<int>(i);
    }
    m_list->setCurrentRow(current);
    m_list->setMinimumHeight(m_list->sizeHintForRow(0) * static_cast<int>(avi::kAviCodecs.size()) + 8);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

avi::Codec CodecDialog::ChosenCodec() const {
    const QListWidgetItem* item = m_list->currentItem();
    const int index = item ? item->data(Qt::UserRole).toInt() : 0;
    return avi::kAviCodecs.at(static_cast<std::size_t>(index)).codec;
}

}  // namespace crossmeld::gui
