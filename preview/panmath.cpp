#include "preview/panmath.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

constexpr double kPlacementDropTwips = 10.0;

} // namespace

int roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    // Beyond the 16-bit range the exact value no longer matters, and clamping
    // first keeps the conversion to int defined.
    const double bounded = std::clamp(value, -2.0 * kPanLimit, 2.0 * kPanLimit);
    // nearbyint honours the current rounding mode, which is round-to-nearest-even
    // unless somebody changed it; std::round would send halves away from zero.
    return static_cast<int>(std::nearbyint(bounded));
}

QPoint previewPlacement(QPoint hostPosition, QSize hostClientSize)
{
    const double drop = kPlacementDropTwips / kTwipsPerPixel;
    return {roundHalfEven(hostPosition.x() + hostClientSize.width() / 2.0),
            roundHalfEven(hostPosition.y() + hostClientSize.height() / 2.0 + drop)};
}

bool pictureFits(QSize view, QSize image)
{
    return image.width() <= view.width() && image.height() <= view.height();
}

bool panSupported(QSize image)
{
    return image.width() <= kPanLimit && image.height() <= kPanLimit;
}

QPoint candidateOffset(QPoint pan, QPoint press, QPointF pointer)
{
    // The whole expression is rounded, not the quarter alone: from offset 1 a
    // two-pixel drag gives 0.5 and lands on 0, from offset 2 it gives 1.5 and stays.
    return {roundHalfEven(pan.x() - (pointer.x() - press.x()) / 4.0),
            roundHalfEven(pan.y() - (pointer.y() - press.y()) / 4.0)};
}

namespace {

int clampAxis(int offset, int view, int image)
{
    if (offset < 0)
        offset = 0;
    if (view > image)
        return 0;
    if (offset + view >= image)
        return image - view;
    return offset;
}

int centreAxis(int view, int image)
{
    const int spare = view - image;
    return spare > 0 ? spare / 2 : 0;
}

} // namespace

QPoint clampOffset(QPoint offset, QSize view, QSize image)
{
    return {clampAxis(offset.x(), view.width(), image.width()),
            clampAxis(offset.y(), view.height(), image.height())};
}

QPoint centringOffset(QSize view, QSize image)
{
    return {centreAxis(view.width(), image.width()), centreAxis(view.height(), image.height())};
}

QSize visibleSize(QSize view, QSize image)
{
    return {std::min(view.width(), image.width()), std::min(view.height(), image.height())};
}

std::optional<PanStep> panStep(QPoint pan, QPoint press, QPointF pointer, QSize view, QSize image)
{
    if (pictureFits(view, image) || !panSupported(image))
        return std::nullopt;
    const QPoint offset = clampOffset(candidateOffset(pan, press, pointer), view, image);
    if (offset == pan)
        return std::nullopt;
    return PanStep{offset, visibleSize(view, image), centringOffset(view, image)};
}

} // namespace tarnwick
