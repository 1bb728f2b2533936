#pragma once

#include "book/booksettings.h"

#include <optional>

namespace tarnwick {

// The first input fault of a generation run: the message shown to the user and
// the input it concerns.
struct CheckFailure
{
    QString message;
    BookField field = BookField::PictureList;

    bool operator==(const CheckFailure &) const = default;
};

// Runs every check of a generation run in its fixed order and returns the first
// failure, or nothing when the document may be written.
std::optional<CheckFailure> checkBook(const BookSettings &settings);

} // namespace tarnwick
