#pragma once

#include <QHash>
#include <QLocale>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarnwick {

// The GIF and JPEG files of a folder as bare names in name order: ordinary
// files (or links to them) whose names end in .gif or .jpg in any case, no
// folders, no dot files. Nothing when the folder cannot be read (missing, no
// permission, an I/O error); reason, when given, then receives the system's
// reason. An empty folder text lists nothing. others, when given, receives
// from the same listing the pictures in other formats that Tarnwick can turn
// into JPEG copies (isConvertibleName), in name order.
std::optional<QStringList> listPictures(const QString &folder, QString *reason = nullptr,
                                        QStringList *others = nullptr);

// Whether name ends, in any case, in .jpeg, .jpe, .png, .webp, .bmp, .tif,
// .tiff, .heic or .heif: a picture the listing leaves out that can be turned
// into a JPEG the listing takes.
bool isConvertibleName(QStringView name);
// The name of the JPEG copy of such a picture: its name with ".jpg" for the
// suffix (IMG_2.jpeg gives IMG_2.jpg).
QString convertedName(const QString &name);

// The names that are no longer ordinary files (or links to them) in the
// folder, found by listing it again (a stat for a name the listing lacks)
// and nothing read; all of them when the folder is gone.
QStringList vanishedPictures(const QString &folder, const QStringList &names);

// What tells a picture file's content changed without reading it: its byte
// size, modification time (nanoseconds since the epoch) and the folder
// entry's file number (a file saved by rename is a new one).
struct PictureStamp
{
    qint64 size = -1;
    qint64 modifiedNs = -1;
    quint64 inode = 0;

    friend bool operator==(const PictureStamp &, const PictureStamp &) = default;
};
using PictureStamps = QHash<QString, PictureStamp>;

// The pictures listPictures() lists, unsorted, each with its stamp: a stat
// per picture. Given the stamps of an earlier reading, only the pictures new
// since, replaced (another file number) or written from statFromNs on (which
// may still have been written to) are looked at; the others keep their
// earlier stamps, so a picture rewritten in place is found only by a reading
// without. Nothing when the folder cannot be read.
std::optional<PictureStamps> stampPictures(const QString &folder, QString *reason = nullptr,
                                           const PictureStamps *earlier = nullptr, qint64 statFromNs = 0);

// How names are ordered: as a scan lists them, or with each run of digits
// compared as the number it spells (page2 before page10).
enum class NameOrder { Name, Numeric };

// The positions of names in the tool's name order: case-insensitive
// collation of the given locale (zh_CN for the C or POSIX locale), names
// that compare equal by code point, so the result never depends on the
// order given. order[i] is the position in names of the i-th name.
std::vector<qsizetype> pictureNameOrder(const QStringList &names, NameOrder kind = NameOrder::Name,
                                        const QLocale &locale = QLocale());

// Sorts names in the tool's name order.
void sortPictureNames(QStringList &names, const QLocale &locale = QLocale());

// A picture's pixel size, read from its header only (PictureHeader); nothing
// when unreadable.
std::optional<QSize> readPictureSize(const QString &path);

// The folder text for a chosen folder path: the path ending in "/" ("/" stays
// "/"); empty when nothing was chosen.
QString folderText(const QString &chosenPath);

} // namespace tarnwick
