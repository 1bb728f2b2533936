#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tarnwick {

// Where the page board's window goes when it opens. Every rectangle is a
// window's outer frame in the screen's device-independent pixels, so the
// same arithmetic holds at any scale factor.
//
// screen is the available area of the screen the board opens on, owner the
// main window's frame. A remembered size is kept as far as the screen holds
// it (never below minimum, unless the screen itself is smaller); a
// remembered place is moved just far enough to bring the whole frame onto
// the screen. Without a remembered place the board goes beside the main
// window, on its right where the screen has room, else on its left; where
// neither side has room it covers the main window's side that faces the
// larger free part of the screen, flush with that screen edge, so as little
// of the main window as possible is hidden. Its top is the main window's
// top, moved onto the screen.
QRect placeBoardWindow(const QRect &screen, const QRect &owner, QSize size, std::optional<QPoint> place,
                       QSize minimum);

} // namespace tarnwick
