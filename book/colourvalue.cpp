#include "book/colourvalue.h"

namespace tarnwick {

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
