#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarnwick {

namespace {

QPixmap drawOpenBook(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Cover behind the pages.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(1, 9, 30, 19));

    // Two pages bowing towards the spine.
    const auto page = [](qreal outer, qreal spine) {
        QPainterPath path;
        path.moveTo(outer, 7);
        path.quadTo((outer + spine) / 2, 4, spine, 8);
        path.lineTo(spine, 27);
        path.quadTo((outer + spine) / 2, 23, outer, 25);
        path.closeSubpath();
        return path;
    };
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::white);
    p.drawPath(page(3, 16));
    p.drawPath(page(29, 16));

    // Lines of text on both pages.
    p.setPen(QPen(QColor(128, 128, 128), 1));
    for (int row = 0; row < 4; ++row) {
        const qreal y = 11 + row * 3.5;
        p.drawLine(QPointF(6, y), QPointF(13, y));
        p.drawLine(QPointF(19, y), QPointF(26, y));
    }
    return pixmap;
}

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

QIcon openBookIcon()
{
    QIcon icon;
    icon.addPixmap(drawOpenBook(16));
    icon.addPixmap(drawOpenBook(32));
    return icon;
}

} // namespace tarnwick
