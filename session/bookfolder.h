#pragma once

#include "book/booksettings.h"
#include "list/listcommands.h"
#include "facts/picturefolder.h"

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
    QStringList others;               // pictures in formats a conversion takes, in name order
};

// Lists folder (a folder text ending in "/") in the given order.
FolderListing listFolder(const QString &folder, NameOrder order = NameOrder::Name);

// What reopening a book did to a listed folder.
struct ReopenedBook
{
    std::optional<QString> refusal; // why the document cannot be used; nothing else then changed
    QStringList missing;            // its pages the list lacks, each once, in its order
    ListEdit edit;                  // how the list was arranged
    // The pages follow no way of placing (edited by hand): they are taken
    // as stretched with page 1's placement.
    bool placementMismatched = false;
};

// Reads the document at path over inputs (its sizes, offsets, colours,
// border and way of placing replace theirs; inputs.pictures takes the
// arranged list) and arranges names, the pictures listed in folder, and
// selected by its pages: the pictures it does not hold follow, selected. When
// the document's pages are placed differently, the sizes of its pictures in
// folder are read to find the way of placing and the picture box that place
// them so again.
ReopenedBook reopenBook(const QString &path, const QString &folder, BookSettings &inputs, QStringList &names,
                        std::vector<bool> &selected);

} // namespace tarnwick
