#include "widgets/readablecolour.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

constexpr double minimumContrast = 4.5;

double linear(float channel)
{
    return channel <= 0.04045f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableTextColour(const QColor &fixed, const QPalette &palette, QPalette::ColorRole preferred)
{
    const QColor background = palette.color(QPalette::Window);
    // Dark: white text would stand out more than black.
    const bool dark = contrastRatio(background, Qt::white) > contrastRatio(background, Qt::black);
    if (!dark)
        return fixed;
    const QColor candidate = palette.color(preferred);
    return contrastRatio(candidate, background) >= minimumContrast ? candidate
                                                                    : palette.color(QPalette::WindowText);
}

} // namespace tarnwick
