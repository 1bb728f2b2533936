#pragma once

#include "facts/pictureheader.h"

#include <optional>

namespace tarnwick {

// Why the book's reader will not show a picture as the user sees it in a
// viewer: its engine ignores the EXIF orientation, cannot draw CMYK or YCCK
// JPEGs nor the less common JPEG codings, and a file without a readable size
// is no picture to it at all; nor is a listed picture that is no longer in
// its folder.
struct PageProblem
{
    enum class Kind { Turned, Cmyk, UnshownCoding, Unreadable, NotFound };
    Kind kind = Kind::Unreadable;
    // The EXIF orientation, 2 to 8, for Turned.
    int orientation = 1;

    friend bool operator==(const PageProblem &, const PageProblem &) = default;
};

// What stands between the header's picture and the book, the worst first:
// unreadable, then colours, then coding, then turning (the export mends the
// first kinds by converting, which also turns). None when the book shows it.
std::optional<PageProblem> pageProblem(const PictureHeader &header);

} // namespace tarnwick
