#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace tarnwick {

// Asks how to export the book folder: whether pictures much larger than
// their place on the page are scaled down, and to how many times that size.
class ExportDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ExportDialog(QWidget *parent = nullptr);

    // The scale limit chosen; 0 when scaling down is off.
    int maxScale() const;

    QCheckBox *scaleCheck() const { return m_scaleCheck; }
    QSpinBox *scaleBox() const { return m_scaleBox; }

private:
    QCheckBox *m_scaleCheck = nullptr;
    QSpinBox *m_scaleBox = nullptr;
};

} // namespace tarnwick
