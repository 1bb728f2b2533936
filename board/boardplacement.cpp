#include "board/boardplacement.h"

#include <algorithm>

namespace tarnwick {

namespace {

// The start of a span of length `length` moved into [low, low + room).
int clampSpan(int start, int length, int low, int room)
{
    return std::clamp(start, low, low + std::max(0, room - length));
}

} // namespace

QRect placeBoardWindow(const QRect &screen, const QRect &owner, QSize size, std::optional<QPoint> place,
                       QSize minimum)
{
    if (screen.isEmpty())
        return QRect(place.value_or(owner.topLeft()), size);
    const QSize least = minimum.boundedTo(screen.size());
    size = size.expandedTo(least).boundedTo(screen.size());

    QPoint at;
    if (place) {
        at = *place;
    } else {
        const int roomRight = screen.right() - owner.right();
        const int roomLeft = owner.left() - screen.left();
        if (roomRight >= size.width())
            at.setX(owner.right() + 1);
        else if (roomLeft >= size.width())
            at.setX(owner.left() - size.width());
        else if (roomRight >= roomLeft)
            at.setX(screen.right() + 1 - size.width());
        else
            at.setX(screen.left());
        at.setY(owner.top());
    }
    at.setX(clampSpan(at.x(), size.width(), screen.left(), screen.width()));
    at.setY(clampSpan(at.y(), size.height(), screen.top(), screen.height()));
    return QRect(at, size);
}

} // namespace tarnwick
