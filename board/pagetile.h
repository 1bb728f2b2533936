#pragma once

#include "facts/pageproblem.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

class QPainter;

namespace tarnwick {

// The smallest and largest edge of a board tile, in pixels.
constexpr int kMinTileSize = 96;
constexpr int kMaxTileSize = 512;

// Where a book page goes in a square tile, in tile pixels: the page fitted
// and centred with the book's proportions, the picture at its place on that
// page, and the border along the page's edge.
struct TileGeometry
{
    QRect page;       // whole pixels, so the page's edges stay sharp
    QRectF picture;   // may reach past the page; the painter clips it
    int borderWidth = 0;
    double scale = 0; // tile pixels per book pixel
};

// bookSize is the page in book pixels, placement the picture's rectangle on
// the page in book pixels, tileSize the tile's edge (clamped to 96-512). An
// empty book gives an empty page.
TileGeometry tileGeometry(QSize bookSize, const QRect &placement, int tileSize);

struct TileLook
{
    QColor background = Qt::white;
    bool borderOn = false;
    QColor borderColour = Qt::black;
    // A line just outside the page, so that a page of the view's own colour
    // still shows its edges; none when invalid.
    QColor outline;
};

enum class TilePicture {
    Thumbnail, // the thumbnail, or the plain picture box while there is none
    Box,       // the plain picture box (pictures stretched to their box)
    Failed,    // the picture cannot be read
};

// Draws a tile's page: background, picture or box, the failure text, border.
void paintTilePage(QPainter &painter, const TileGeometry &geometry, const TileLook &look, TilePicture kind,
                   const QImage &thumbnail = {});

// Why the book will not show a page as it is, in the board's words.
QString pageProblemText(const PageProblem &problem);

// Draws the small mark of such a page in the top right corner of the tile;
// a picture no longer in its folder is marked "找不到" there.
void paintProblemBadge(QPainter &painter, int tileSize, PageProblem::Kind kind = PageProblem::Kind::Unreadable);
// The text of a not-found picture's mark.
QString notFoundBadgeText();

} // namespace tarnwick
