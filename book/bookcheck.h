#pragma once

#include "book/booksettings.h"

#include <optional>

namespace tarnwick {

// The first input fault of a generation run: the message shown to the user and
// the object name of the control that gets the focus ("Command1", "Text3(0)" …
// "Text3(3)", "Text8", "Text7", "Text2", "List1").
struct CheckFailure
{
    QString message;
    QString focus;

    bool operator==(const CheckFailure &) const = default;
};

// Runs every check of a generation run in its fixed order and returns the first
// failure, or nothing when the document may be written.
std::optional<CheckFailure> checkBook(const BookSettings &settings);

} // namespace tarnwick
