#pragma once

#include <QSize>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace tarnwick {

// How each page's picture sits in the picture box.
enum class FitMode {
    Stretch = 0, // 拉伸: every page at the box's typed size and offset
    Contain = 1, // 适应: as large as fits in the box, proportions kept, centred
    Shrink = 2,  // 仅缩小: like Contain, but a picture that fits keeps its pixels
};

// A rectangle on the page, in pixels. 64-bit so that no product of a picture
// side and a box side can overflow.
struct PageRect
{
    qint64 left = 0;
    qint64 top = 0;
    qint64 width = 0;
    qint64 height = 0;

    bool operator==(const PageRect &) const = default;
};

// Where a picture of pixels goes in box. Stretch, and a picture without a
// size, fill the box. Otherwise the picture keeps its proportions: the scaled
// side is the nearest whole pixel (a half rounds up), at least 1, and the
// picture is centred with the offsets rounded down.
PageRect placePicture(FitMode mode, const PageRect &box, QSize pixels);

// One page's IMAGE left, top, width and height, as the document holds them.
struct PagePlacement
{
    QString left;
    QString top;
    QString width;
    QString height;

    bool operator==(const PagePlacement &) const = default;
};

// What a book's pages say about how it was placed.
struct InferredPlacement
{
    FitMode mode = FitMode::Stretch;
    PagePlacement box;       // the picture box to type in
    bool mismatched = false; // the pages follow no way of placing: page 1's placement was taken
};

// Finds the way of placing and a picture box from which the same pages are
// placed again, byte for byte. pixels[i] is the size of page i's picture
// (invalid when unknown; such pages are passed over); bookWidth and
// bookHeight bound the box as the checks do. Pages that all carry the same
// placement are stretched; pages that follow no way of placing give Stretch
// with page 1's placement and mismatched set. No pages give Stretch with an
// empty box.
InferredPlacement inferPlacement(const std::vector<PagePlacement> &pages, const std::vector<QSize> &pixels,
                                 int bookWidth, int bookHeight);

// The stored text of a mode ("0", "1", "2") and back: anything else reads as Stretch.
QString fitModeText(FitMode mode);
FitMode fitModeFromText(const QString &text);

} // namespace tarnwick
