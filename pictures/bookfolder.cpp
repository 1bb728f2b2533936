#include "pictures/bookfolder.h"

#include "book/dmlreader.h"

namespace tarnwick {

FolderListing listFolder(const QString &folder, NameOrder order)
{
    FolderListing listing;
    listing.names = listPictures(folder, &listing.reason);
    if (!listing.names || listing.names->isEmpty())
        return listing;
    if (order == NameOrder::Numeric) {
        std::vector<bool> unselected;
        arrangeList(ListOrder::Numeric, *listing.names, unselected);
    }
    listing.firstPicture = folder + listing.names->constFirst();
    listing.firstPictureSize = readPictureSize(listing.firstPicture);
    return listing;
}

ReopenedBook reopenBook(const QString &path, BookSettings &inputs, QStringList &names, std::vector<bool> &selected)
{
    ReopenedBook reopened;
    BookSettings read = inputs;
    reopened.refusal = readDocumentFile(path, read);
    if (reopened.refusal)
        return reopened;
    reopened.edit = arrangeByPages(read.pictures, names, selected, &reopened.missing);
    read.pictures = names;
    inputs = std::move(read);
    return reopened;
}

} // namespace tarnwick
