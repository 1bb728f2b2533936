#include "book/colourvalue.h"

namespace tarnwick {

QColor toQColor(ColourValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

ColourValue fromQColor(const QColor &colour)
{
    const QRgb rgb = colour.rgb();
    return ColourValue(qRed(rgb)) | ColourValue(qGreen(rgb)) << 8 | ColourValue(qBlue(rgb)) << 16;
}

QString toStoredColourText(ColourValue value)
{
    return QString::number(qint32(value));
}

std::optional<ColourValue> fromStoredColourText(const QString &text)
{
    bool ok = false;
    // toInt accepts only an optional sign and decimal digits, and refuses what
    // does not fit into 32 bits.
    const qint32 number = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return ColourValue(number);
}

} // namespace tarnwick
