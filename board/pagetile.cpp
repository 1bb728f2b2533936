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

QString pageProblemText(const PageProblem &problem)
{
    switch (problem.kind) {
    case PageProblem::Kind::Turned:
        switch (problem.orientation) {
        case 2:
            return QStringLiteral(u"照片带有镜像标记，电子书中会左右颠倒显示");
        case 3:
            return QStringLiteral(u"相机旋转了180°，电子书中会倒着显示");
        case 4:
            return QStringLiteral(u"照片带有镜像标记，电子书中会上下颠倒显示");
        case 6:
            return QStringLiteral(u"相机旋转了90°，电子书中会侧着显示（向左倒）");
        case 8:
            return QStringLiteral(u"相机旋转了90°，电子书中会侧着显示（向右倒）");
        default: // 5 and 7
            return QStringLiteral(u"相机旋转了90°且带有镜像标记，电子书中会侧着并镜像显示");
        }
    case PageProblem::Kind::Cmyk:
        return QStringLiteral(u"CMYK图片，电子书中无法显示");
    case PageProblem::Kind::UnshownCoding:
        return QStringLiteral(u"电子书无法显示此编码方式的JPEG");
    case PageProblem::Kind::NotFound:
        return QStringLiteral(u"图片已不在目录中，找不到");
    case PageProblem::Kind::Unreadable:
        break;
    }
    return QStringLiteral(u"无法读取图片");
}

QString notFoundBadgeText()
{
    return QStringLiteral(u"找不到");
}

void paintProblemBadge(QPainter &painter, int tileSize, PageProblem::Kind kind)
{
    // Large enough to see on the smallest tile, small enough to hide little of the page.
    const int side = std::max(14, tileSize / 8);
    const QRectF badge(tileSize - side - 2, 2, side, side);
    painter.save();
    if (kind == PageProblem::Kind::NotFound) {
        // A word, not a sign: the page is still listed, its file is gone.
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(std::max(10, side * 2 / 3));
        painter.setFont(font);
        const QString text = notFoundBadgeText();
        const qreal width = painter.fontMetrics().horizontalAdvance(text) + side / 2.0;
        const QRectF pill(tileSize - width - 2, 2, width, side);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(0xC0, 0x20, 0x20));
        painter.drawRoundedRect(pill, side / 2.0, side / 2.0);
        painter.drawText(pill, Qt::AlignCenter, text);
        painter.restore();
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(QColor(0xE0, 0x60, 0x10));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(9, side * 2 / 3));
    painter.setFont(font);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("!"));
    painter.restore();
}

} // namespace tarnwick
