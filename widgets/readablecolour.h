#pragma once

#include <QColor>
#include <QPalette>

namespace tarnwick {

// The contrast ratio of two colours as WCAG 2 defines it, from 1 (the same
// luminance) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);

// The colour for text drawn in a fixed colour on palette's window background:
// the fixed colour on a light background, as the window has always looked;
// on a dark one, where the fixed colour may all but vanish, the palette's
// colour in role preferred when it reads well (4.5:1), else its window text.
QColor readableTextColour(const QColor &fixed, const QPalette &palette, QPalette::ColorRole preferred);

} // namespace tarnwick
