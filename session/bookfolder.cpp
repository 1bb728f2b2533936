#include "session/bookfolder.h"

#include "book/boxnumber.h"
#include "book/dmlreader.h"
#include "book/placement.h"
#include "facts/pictureheader.h"

#include <QSet>

#include <algorithm>
#include <tuple>

namespace tarnwick {

FolderListing listFolder(const QString &folder, NameOrder order)
{
    FolderListing listing;
    listing.names = listPictures(folder, &listing.reason, &listing.others);
    if (!listing.names || listing.names->isEmpty())
        return listing;
    if (order == NameOrder::Numeric) {
        std::vector<bool> unselected;
        arrangeList(ListOrder::Numeric, *listing.names, unselected);
    }
    listing.firstPicture = folder + listing.names->constFirst();
    return listing;
}

namespace {

// The way the pages of a document were placed, and its picture box, from the
// sizes of its pictures that are listed in the folder (no name in a document
// leads outside it). Only a book whose pages differ needs the sizes.
InferredPlacement documentPlacement(const BookSettings &read, const std::vector<PagePlacement> &places,
                                    const QString &folder, const QStringList &listing)
{
    std::vector<QSize> sizes;
    const bool allSame = std::all_of(places.cbegin(), places.cend(),
                                     [&](const PagePlacement &place) { return place == places.front(); });
    if (!allSame) {
        const QSet<QString> listed(listing.cbegin(), listing.cend());
        QStringList present;
        std::vector<size_t> pageOf;
        for (qsizetype i = 0; i < read.pictures.size(); ++i) {
            if (listed.contains(read.pictures.at(i))) {
                present.append(read.pictures.at(i));
                pageOf.push_back(size_t(i));
            }
        }
        sizes.resize(places.size());
        const std::vector<PictureHeader> headers = readPictureHeaders(folder, present, kHeaderThreads);
        for (size_t i = 0; i < headers.size(); ++i)
            sizes[pageOf[i]] = headers[i].size().value_or(QSize());
    }
    return inferPlacement(places, sizes, readBoxNumber(read.bookWidth).value, readBoxNumber(read.bookHeight).value);
}

} // namespace

ReopenedBook reopenBook(const QString &path, const QString &folder, BookSettings &inputs, QStringList &names,
                        std::vector<bool> &selected)
{
    ReopenedBook reopened;
    BookSettings read = inputs;
    std::vector<PagePlacement> places;
    reopened.refusal = readDocumentFile(path, read, &places);
    if (reopened.refusal)
        return reopened;
    // Pages that follow no way of placing keep page 1's placement, stretched.
    const InferredPlacement placement = documentPlacement(read, places, folder, names);
    read.fitMode = placement.mode;
    reopened.placementMismatched = placement.mismatched;
    if (!placement.mismatched && !places.empty())
        std::tie(read.pictureLeft, read.pictureTop, read.pictureWidth, read.pictureHeight) =
            std::tie(placement.box.left, placement.box.top, placement.box.width, placement.box.height);
    reopened.edit = arrangeByPages(read.pictures, names, selected, &reopened.missing);
    read.pictures = names;
    inputs = std::move(read);
    return reopened;
}

} // namespace tarnwick
