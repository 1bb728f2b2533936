#pragma once

#include "book/booksettings.h"

#include <optional>

namespace tarnwick {

// What is wrong with an input.
enum class CheckProblem {
    NoPictures,        // the list is empty
    Empty,             // a box holds nothing but spaces
    NotANumber,
    SizeOutOfRange,    // a size outside 10 ... 2000
    OffsetOutOfRange,  // an offset outside the 16-bit range
    PictureTooWide,
    PictureTooTall,
    LeftTooLarge,      // the picture runs past the page's right edge
    TopTooLarge,       // ... past its bottom edge
    NoFolder,
    BadFileName,
    UnwritableName,    // a picture name a document cannot hold
    NameIsPicture,     // the document name is a picture's
};

// The first input fault of a generation run: the message shown to the user,
// the input it concerns and what is wrong with it.
struct CheckFailure
{
    QString message;
    BookField field = BookField::PictureList;
    CheckProblem problem = CheckProblem::NoPictures;

    bool operator==(const CheckFailure &) const = default;
};

// Runs every check of a generation run in its fixed order and returns the first
// failure, or nothing when the document may be written.
std::optional<CheckFailure> checkBook(const BookSettings &settings);

} // namespace tarnwick
