#include "app/exportdialog.h"

#include "export/bookexport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tarnwick {

namespace {
// Twice the page size keeps a picture sharp on a screen of twice the density.
constexpr int kDefaultScale = 2;
} // namespace

ExportDialog::ExportDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral(u"导出电子书文件夹"));
    m_scaleCheck = new QCheckBox(QStringLiteral(u"缩小过大的图片(&S)"), this);
    m_scaleCheck->setObjectName(QStringLiteral("scaleCheck"));
    m_scaleCheck->setAccessibleName(QStringLiteral(u"缩小过大的图片"));
    auto *label = new QLabel(QStringLiteral(u"最大为页面上尺寸的(&K)"), this);
    m_scaleBox = new QSpinBox(this);
    m_scaleBox->setObjectName(QStringLiteral("scaleBox"));
    m_scaleBox->setRange(BookExport::kLeastScale, BookExport::kMostScale);
    m_scaleBox->setValue(kDefaultScale);
    m_scaleBox->setSuffix(QStringLiteral(u" 倍"));
    m_scaleBox->setAccessibleName(QStringLiteral(u"最大为页面上尺寸的倍数"));
    m_scaleBox->setEnabled(false);
    label->setBuddy(m_scaleBox);
    connect(m_scaleCheck, &QCheckBox::toggled, m_scaleBox, &QWidget::setEnabled);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral(u"导出"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral(u"取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_scaleBox);
    row->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_scaleCheck);
    layout->addLayout(row);
    layout->addWidget(buttons);
    m_scaleCheck->setFocus();
}

int ExportDialog::maxScale() const
{
    return m_scaleCheck->isChecked() ? m_scaleBox->value() : BookExport::kNoScale;
}

} // namespace tarnwick
