// Feeds arbitrary text to the size and offset box reading and checks it
// against Qt's own number parser and the trimming rule.
#include "book/boxnumber.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const BoxNumber number = readBoxNumber(text);

    // Empty means "blank after trimming", nothing else.
    if ((number.status == BoxStatus::Empty) != trimBlanks(text).isEmpty())
        std::abort();
    // Spaces around the text never change its reading.
    if (!(readBoxNumber(QStringLiteral("  ") + text + QStringLiteral("   ")) == number))
        std::abort();
    // A tab or line break is no space: it would reach the document inside the
    // attribute's quotes, so such a text never reads as a number.
    if (readBoxNumber(text + QStringLiteral("\t")).status == BoxStatus::Number
        || readBoxNumber(QStringLiteral("\n") + text).status == BoxStatus::Number)
        std::abort();
    if (number.status != BoxStatus::Number && number.value != 0)
        std::abort();

    const QString trimmed = trimBlanks(text);
    bool ok = false;
    const double reference = trimmed.toDouble(&ok);
    // Where Qt reads the text as a number (it refuses underflow such as
    // "1e-400", which the box reads as 0), both readings agree, rounded half
    // to even.
    if (number.status == BoxStatus::Number && ok && std::nearbyint(reference) != double(number.value))
        std::abort();
    bool decimalCharacters = !trimmed.isEmpty();
    for (const QChar c : trimmed)
        decimalCharacters = decimalCharacters && (c.isDigit() || c == u'+' || c == u'-' || c == u'.' || c == u'e' || c == u'E') && c.unicode() < 128;
    if (decimalCharacters && ok && std::fabs(reference) < 32000 && number.status != BoxStatus::Number)
        std::abort();
    // Plain decimal integers well inside the range are always numbers.
    bool plainInteger = !trimmed.isEmpty() && trimmed.size() <= 5;
    for (qsizetype i = 0; i < trimmed.size() && plainInteger; ++i)
        plainInteger = trimmed[i].isDigit() && trimmed[i].unicode() < 128;
    if (plainInteger && number.status != BoxStatus::Number && trimmed.toInt() <= 32767)
        std::abort();
    return 0;
}
