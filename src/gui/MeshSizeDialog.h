#pragma once
// The mesh size dialog: columns and rows of the control meshes, each from 1
// to the largest mesh a file may hold, with OK and Cancel.

#include <QDialog>

class QSpinBox;

namespace crossmeld::gui {

class MeshSizeDialog final : public QDialog {
    Q_OBJECT
public:
    // Starts on the current size.
    MeshSizeDialog(QWidget* parent, int columns, int rows);

    QSpinBox* Columns() const noexcept { return m_columns; }
    QSpinBox* Rows() const noexcept { return m_rows; }

private:
    QSpinBox* m_columns;
    QSpinBox* m_rows;
};

}  // namespace crossmeld::gui
