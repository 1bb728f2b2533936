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

std::optional<ColourValue> readColourNotation(QByteArrayView text)
{
    if (text.size() < 2 || (text.back() != 'h' && text.back() != 'H'))
        return std::nullopt;
    quint64 value = 0;
    for (const char c : text.first(text.size() - 1)) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + quint64(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return ColourValue(value);
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
