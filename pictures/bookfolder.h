#pragma once

#include "book/booksettings.h"
#include "pictures/listcommands.h"
#include "pictures/picturefolder.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarnwick {

// A picture folder listed for a book, as the window and tarnwick-make both
// list it.
struct FolderListing
{
    std::optional<QStringList> names; // nothing when the folder cannot be read
    QString reason;                   // why it cannot be read
    QString firstPicture;             // the first listed picture's path, "" when none
    std::optional<QSize> firstPictureSize; // nothing when none or its header is unreadable
};

// Lists folder (a folder text ending in "/") in the given order and reads the
// first picture's size, the book's preset.
FolderListing listFolder(const QString &folder, NameOrder order = NameOrder::Name);

// What reopening a book did to a listed folder.
struct ReopenedBook
{
    std::optional<QString> refusal; // why the document cannot be used; nothing else then changed
    QStringList missing;            // its pages the list lacks, each once, in its order
    ListEdit edit;                  // how the list was arranged
};

// Reads the document at path over inputs (its sizes, offsets, colours and
// border replace theirs; inputs.pictures takes the arranged list) and arranges
// names and selected by its pages: the pictures it does not hold follow,
// selected.
ReopenedBook reopenBook(const QString &path, BookSettings &inputs, QStringList &names,
                        std::vector<bool> &selected);

} // namespace tarnwick
