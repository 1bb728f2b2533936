#include "book/boxnumber.h"

#include <cmath>
#include <cstdlib>

namespace tarnwick {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// True when the text is a plain decimal number: [+-] digits [. digits] [e [+-] digits],
// with at least one digit before the exponent.
bool isDecimalNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    if (first == 0 && last == text.size())
        return text;
    return text.mid(first, last - first);
}

BoxNumber readBoxNumber(const QString &text)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed.isEmpty())
        return {BoxStatus::Empty, 0};
    if (!isDecimalNumber(trimmed))
        return {BoxStatus::NotNumeric, 0};
    // The grammar above admits ASCII only, so Latin-1 is exact; strtod with the
    // "C" reading of '.' (Qt programs keep LC_NUMERIC at "C").
    const QByteArray latin = trimmed.toLatin1();
    const double value = std::strtod(latin.constData(), nullptr);
    // nearbyint uses the current rounding mode, which is round-half-even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return {BoxStatus::OutOfRange, 0};
    return {BoxStatus::Number, qint16(rounded)};
}

} // namespace tarnwick
