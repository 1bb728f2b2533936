#include "app/icons.h"

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

QIcon applicationIcon()
{
    // The same pictures the package installs into the hicolor theme; added
    // by name, so none is read before the window system asks for it.
    QIcon installed;
    for (const int size : {16, 32, 48})
        installed.addFile(QStringLiteral(":/icons/tarnwick-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("tarnwick"), installed);
}

} // namespace tarnwick
