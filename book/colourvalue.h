#pragma once

#include "book/booksettings.h"

#include <QString>

#include <optional>

namespace tarnwick {

// The stored form of a colour: signed 32-bit decimal ("16777215" is white).
QString toStoredColourText(ColourValue value);
// Reads the stored form back. Blanks around the number are allowed; anything
// that is not a decimal integer within the signed 32-bit range gives nothing.
std::optional<ColourValue> fromStoredColourText(const QString &text);

} // namespace tarnwick
