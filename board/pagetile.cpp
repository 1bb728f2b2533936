#include "board/pagetile.h"
#include "imaging/previewdecode.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

const QColor kBoxFill(0xD8, 0xD8, 0xD8);
const QColor kBoxEdge(0x90, 0x90, 0x90);
const QColor kFailedText(0x60, 0x60, 0x60);

// A book's border is drawn about this many book pixels wide, and never
// thinner than one tile pixel.
constexpr double kBookBorderPixels = 4.0;

} // namespace

TileGeometry tileGeometry(QSize bookSize, const QRect &placement, int tileSize)
{
    TileGeometry geometry;
    if (bookSize.isEmpty())
        return geometry;
    tileSize = std::clamp(tileSize, kMinTileSize, kMaxTileSize);
    const double scale = std::min(double(tileSize) / bookSize.width(), double(tileSize) / bookSize.height());
    const QSize page(std::max(1, int(std::lround(bookSize.width() * scale))),
                     std::max(1, int(std::lround(bookSize.height() * scale))));
    // Odd leftovers go right and down, so the page never leaves the tile.
    geometry.page = QRect(QPoint((tileSize - page.width()) / 2, (tileSize - page.height()) / 2), page);
    // Each axis by the rounded page, so a picture that fills the book fills it too.
    const double sx = double(page.width()) / bookSize.width();
    const double sy = double(page.height()) / bookSize.height();
    geometry.picture = QRectF(geometry.page.left() + placement.x() * sx, geometry.page.top() + placement.y() * sy,
                              placement.width() * sx, placement.height() * sy);
    geometry.scale = scale;
    geometry.borderWidth = std::max(1, int(std::lround(kBookBorderPixels * scale)));
    return geometry;
}

void paintTilePage(QPainter &painter, const TileGeometry &geometry, const TileLook &look, TilePicture kind,
                   const QImage &thumbnail)
{
    if (geometry.page.isEmpty())
        return;
    painter.save();
    if (look.outline.isValid()) {
        painter.setPen(QPen(look.outline, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(geometry.page.adjusted(-1, -1, 0, 0));
    }
    painter.setClipRect(geometry.page);
    painter.fillRect(geometry.page, look.background);
    const QRectF picture = geometry.picture;
    if (kind == TilePicture::Thumbnail && !thumbnail.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture, thumbnail);
    } else if (!picture.isEmpty()) {
        painter.setPen(QPen(kBoxEdge, 0));
        painter.setBrush(kBoxFill);
        painter.drawRect(picture.adjusted(0, 0, -1, -1));
        if (kind == TilePicture::Failed) {
            painter.setPen(kFailedText);
            painter.drawText(geometry.page.adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap,
                             unreadablePictureText());
        }
    }
    if (look.borderOn) {
        const int w = geometry.borderWidth;
        const QRect page = geometry.page;
        painter.fillRect(QRect(page.left(), page.top(), page.width(), w), look.borderColour);
        painter.fillRect(QRect(page.left(), page.bottom() - w + 1, page.width(), w), look.borderColour);
        painter.fillRect(QRect(page.left(), page.top(), w, page.height()), look.borderColour);
        painter.fillRect(QRect(page.right() - w + 1, page.top(), w, page.height()), look.borderColour);
    }
    painter.restore();
}

} // namespace tarnwick
