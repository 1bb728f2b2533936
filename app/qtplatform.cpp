#include "app/qtplatform.h"

#include "book/colourvalue.h"
#include "widgets/qtcolour.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace tarnwick {

QString QtPlatform::chooseFolder(QWidget *parent, const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder, QFileDialog::ShowDirsOnly);
}

std::optional<ColourValue> QtPlatform::chooseColour(QWidget *parent)
{
    // QColorDialog keeps its custom colours for the whole process; every opening
    // starts with sixteen black slots again.
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(Qt::black));
    QColorDialog dialog(parent);
    // A desktop's own chooser would keep its custom colours of its own.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return fromQColor(dialog.selectedColor());
}

void QtPlatform::showWarning(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral(u"错误信息"), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtPlatform::showInformation(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral(u"提示信息"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtPlatform::askYesNo(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral(u"提示信息"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtPlatform::openDocument(const QString &path)
{
    // The result only says whether a launcher started; like the desktop's own
    // "open", nothing is reported when no application takes the document.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtPlatform::openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tarnwick
