#pragma once

#include "book/booksettings.h"
#include "book/placement.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace tarnwick {

// Reads a book back from a .dml document: the one Tarnwick wrote, or the same
// document saved again by the authoring application (any blanks and line
// breaks between attributes, attributes in any order, elements and
// attributes it does not know). On success it puts into inputs what the
// document holds: the page names in document order (each page's BITMAP file,
// else its IMAGE bitmapid; repeated pages kept), the DIMENSION width and
// height, page 1's IMAGE left, top, width and height, exactly as written, the
// paper colour and the border (noborder "NO": on, in the border colour;
// anything else: off, the border colour left as it was). What the document
// does not say stays as it was. Returns nothing on success, else the reason
// the document was refused, and inputs is left untouched. placements, when
// given, receives each listed page's IMAGE left, top, width and height as
// written (empty where a page has none), in the order of inputs.pictures.
std::optional<QString> readDocument(QByteArrayView document, BookSettings &inputs,
                                   std::vector<PagePlacement> *placements = nullptr);

// Reads the document file at path the same way; a file that cannot be read
// or is larger than kLargestDocument is refused too.
std::optional<QString> readDocumentFile(const QString &path, BookSettings &inputs,
                                       std::vector<PagePlacement> *placements = nullptr);

// Page numbers are 16-bit: a book holds at most 32,767 pages.
inline constexpr qsizetype kMostPages = 32767;

// Far beyond the 15 MB of a 32,767-page book.
inline constexpr qint64 kLargestDocument = 64 * 1024 * 1024;

} // namespace tarnwick
