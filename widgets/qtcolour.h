#pragma once

#include "book/booksettings.h"

#include <QColor>

namespace tarnwick {

// A book colour (red in the lowest byte) as Qt's colour and back.
inline QColor toQColor(ColourValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline ColourValue fromQColor(const QColor &colour)
{
    const QRgb rgb = colour.rgb();
    return ColourValue(qRed(rgb)) | ColourValue(qGreen(rgb)) << 8 | ColourValue(qBlue(rgb)) << 16;
}

} // namespace tarnwick
