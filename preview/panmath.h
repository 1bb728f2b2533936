#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>

#include <optional>

namespace tarnwick {

// The preview's plain arithmetic: where the window goes when it is created and
// how far a drag moves the picture. Everything is in whole pixels; the pan
// offset and the press point are 16-bit values, so panning stops at pictures
// of 32,767 pixels on a side.

inline constexpr int kPanLimit = 32767;

// The main window's layout is given in twips: 15 make one pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// A length in twips as whole pixels, rounded to the nearest.
constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// Nearest whole number, a half going to the even neighbour (2.5 -> 2,
// 3.5 -> 4). Far-off values saturate at twice the 16-bit range, which keeps
// every later sum of offsets and sizes inside int.
int roundHalfEven(double value);

// The top-left corner for a new preview: the centre of the main window's client
// area, measured from the main window's outer corner, 10 twips (2/3 pixel)
// lower, rounded to whole pixels.
QPoint previewPlacement(QPoint hostPosition, QSize hostClientSize);

bool pictureFits(QSize view, QSize image);
// Whether the pan offset can address every row and column of the picture.
bool panSupported(QSize image);

// The offset a movement asks for: a quarter of the pointer's distance from the
// press point, taken from the current offset and rounded half to even.
QPoint candidateOffset(QPoint pan, QPoint press, QPointF pointer);
// Keeps an offset inside 0 ... picture size - view size (0 where the picture
// is narrower, or lower, than the view).
QPoint clampOffset(QPoint offset, QSize view, QSize image);
// Where a picture smaller than the view is drawn so that it sits in the middle.
QPoint centringOffset(QSize view, QSize image);
// The part of the picture that fits into the view.
QSize visibleSize(QSize view, QSize image);

// One drawing of a pan step: the picture rectangle at source with size size,
// drawn one-to-one at target.
struct PanStep
{
    QPoint source;
    QSize size;
    QPoint target;
};

// The drawing one movement with the left button held calls for, or nothing
// when the picture fits, cannot be panned, or the offset would not change.
std::optional<PanStep> panStep(QPoint pan, QPoint press, QPointF pointer, QSize view, QSize image);

} // namespace tarnwick
