#pragma once

#include "book/booksettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace tarnwick {

// The document's colour notation: "0", the value in upper-case hexadecimal
// without leading zeros, "h" (0 gives "00h", red gives "0FFh").
QByteArray colourNotation(ColourValue value);

// Reads the colour notation back: hexadecimal digits (either case) followed
// by "h" or "H", the value within 32 bits; nothing for anything else.
std::optional<ColourValue> readColourNotation(QByteArrayView text);

// The noborder value: "NO" when the border is on, else "YES".
QByteArray noBorderNotation(bool borderOn);

// The bordercolor value: the border colour when the border is on, else "00h".
QByteArray borderColourNotation(bool borderOn, ColourValue borderColour);

// Reads a colour given as the settings store keeps it (signed 32-bit decimal)
// or as #RRGGBB; nothing when it is neither.
std::optional<ColourValue> parseColourArgument(const QString &text);

} // namespace tarnwick
