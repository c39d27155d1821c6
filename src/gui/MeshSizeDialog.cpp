#include "gui/MeshSizeDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

#include "morph/MeshFile.h"

namespace crossmeld::gui {

namespace {

QSpinBox* CellBox(QWidget* parent, int value, const char* name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, kMaxMeshCells);
    box->setValue(value);
    return box;
}

}  // namespace

MeshSizeDialog::MeshSizeDialog(QWidget* parent, int columns, int rows)
    : QDialog(parent), m_columns(CellBox(this, columns, "columns")), m_rows(CellBox(this, rows, "rows")) {
    setWindowTitle(QStringLiteral("Mesh Size"));
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Columns:"), m_columns);
    layout->addRow(QStringLiteral("Rows:"), m_rows);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
}

}  // namespace crossmeld::gui
