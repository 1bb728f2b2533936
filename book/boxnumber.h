#pragma once

#include <QString>
#include <QtGlobal>

namespace tarnwick {

// How a size or offset box reads as a number.
enum class BoxStatus { Number, Empty, NotNumeric, OutOfRange };

struct BoxNumber
{
    BoxStatus status = BoxStatus::Empty;
    qint16 value = 0;

    bool operator==(const BoxNumber &) const = default;
};

// Trims blanks, reads an optional sign, digits, an optional fraction and an
// optional exponent, and rounds to the nearest integer with halves going to
// the even neighbour. Results outside -32768..32767 are OutOfRange.
// Removes the spaces at both ends of a typed text; tabs, line breaks and other
// blanks stay, so they can never slip into the document unseen.
QString trimBlanks(const QString &text);

BoxNumber readBoxNumber(const QString &text);

} // namespace tarnwick
