#include "app/icons.h"

#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace tarnwick {

namespace {

QPixmap drawOpenFolder()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor outline(128, 96, 0);
    // Back of the folder with its tab.
    p.setPen(outline);
    p.setBrush(QColor(224, 176, 48));
    p.drawPolygon(QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 5), QPoint(13, 5),
                            QPoint(13, 13), QPoint(1, 13)}));
    // The opened front leaning forward.
    p.setBrush(QColor(255, 224, 112));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
    return pixmap;
}

} // namespace

QIcon openFolderIcon()
{
    return QIcon(drawOpenFolder());
}

QIcon builtInApplicationIcon()
{
    // The same pictures the package installs into the hicolor theme. Read
    // by Qt's own PNG reader with no guessing: a reader that may guess asks
    // every image format plug-in whether it knows the file first, even with
    // the format named, and loads all of them (TIFF, WebP, MNG...) at start.
    QIcon installed;
    for (const int size : {16, 32, 48}) {
        QImageReader reader(QStringLiteral(":/icons/tarnwick-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        installed.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return installed;
}

QIcon applicationIcon()
{
    return QIcon::fromTheme(QStringLiteral("tarnwick"), builtInApplicationIcon());
}

} // namespace tarnwick
