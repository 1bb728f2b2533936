#include "book/booknotation.h"

#include "book/colourvalue.h"

namespace tarnwick {

QByteArray colourNotation(ColourValue value)
{
    return '0' + QByteArray::number(value, 16).toUpper() + 'h';
}

QByteArray noBorderNotation(bool borderOn)
{
    return borderOn ? QByteArrayLiteral("NO") : QByteArrayLiteral("YES");
}

QByteArray borderColourNotation(bool borderOn, ColourValue borderColour)
{
    return borderOn ? colourNotation(borderColour) : QByteArrayLiteral("00h");
}

std::optional<ColourValue> parseColourArgument(const QString &text)
{
    if (text.startsWith(u'#')) {
        if (text.size() != 7)
            return std::nullopt;
        for (qsizetype i = 1; i < 7; ++i) {
            const QChar c = text[i];
            const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')
                || (c >= u'A' && c <= u'F');
            if (!hex)
                return std::nullopt;
        }
        const uint rgb = QStringView(text).mid(1).toUInt(nullptr, 16);
        // #RRGGBB names red first; the colour value keeps red in its lowest byte.
        return ColourValue((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ColourValue(rgb & 0xFF) << 16;
    }
    return fromStoredColourText(text);
}

} // namespace tarnwick
