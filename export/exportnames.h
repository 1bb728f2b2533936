#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tarnwick {

// The file names of an exported book folder, one per distinct picture, in
// the order given. A name the document cannot carry, or that Windows (where
// the book is built) cannot hold, becomes "p" + the five-digit page number
// of its first page + its extension; a converted picture ends in ".jpg"; a
// name already taken (letter case aside, as on Windows) becomes the page
// name too, with "-2", "-3" ... added should even that be taken.
// pages[i] is the page number (from 1) of picture i's first page.
QStringList exportedNames(const QStringList &pictures, const std::vector<bool> &converted,
                          const std::vector<int> &pages);

// Whether a file name can go into a document and onto a Windows file system.
bool isCarriableName(const QString &name);

} // namespace tarnwick
