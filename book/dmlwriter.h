#pragma once

#include "book/booksettings.h"

#include <QByteArray>
#include <QIODevice>

#include <QSize>

#include <optional>
#include <vector>

namespace tarnwick {

// The pixel size of each page's picture, in page order; only Contain and
// Shrink read it, and there every page needs a valid size.
using PictureSizes = std::vector<QSize>;

// What becomes of a document that a new one replaces.
enum class OlderDocument {
    ToTrash, // into the desktop's trash where there is one, else gone
    Replace, // gone
};

// Why a document was not written. Either way the older document is as it was
// and no temporary file is left.
struct DocumentFailure
{
    enum class Kind {
        NotWritten,   // the system's reason, or why the reader would refuse the book
        TrashRefused, // a trash is there but cannot take the older document
    };
    Kind kind = Kind::NotWritten;
    QString reason;
};

// Writes a checked BookSettings as a .dml document to settings.outputPath().
// The new document is written beside the target and replaces it (a symbolic
// link there included, never its target) only when it is complete. Runs of
// any process that replace the same document take turns from the trash to
// the rename, so each older version reaches the trash once and the last run
// wins. A signal that ends the process during the write (SIGTERM, SIGINT,
// SIGHUP) removes the temporary file; those a killed run left in the folder
// are removed by the next write there. Returns nothing on success, else the
// text to show the user: "无法写入dml文件：" + path + "\n" + the reason, or
// "无法将原有的dml文件移到回收站：" + the reason.
std::optional<QString> saveDocument(const BookSettings &settings, const PictureSizes &sizes = {},
                                    OlderDocument olderDocument = OlderDocument::ToTrash);

// The same, with the kind of failure and only the reason.
std::optional<DocumentFailure> writeDocumentFile(const BookSettings &settings, const PictureSizes &sizes = {},
                                                 OlderDocument olderDocument = OlderDocument::ToTrash);

// The lock file that runs replacing the document at path hold with flock(2):
// in the user's runtime folder, named by the document's folder (device and
// inode) and name. Empty when there is no private folder for it.
QString documentLockPath(const QString &path);

// Why the reader would refuse the book: more than kMostPages pages or more
// than kLargestDocument bytes; nothing when it may be written.
std::optional<QString> documentTooLarge(const BookSettings &settings, const PictureSizes &sizes = {});

// The document's head: book header, page format and dimensions.
QByteArray headSegment(const BookSettings &settings);

// The segment of the page at list position index (counting from 0); nothing
// when its picture name cannot be written.
std::optional<QByteArray> pageSegment(const BookSettings &settings, int index, const PictureSizes &sizes = {});

// Writes the whole document to an open device, one write per segment. On a
// failure returns the device's reason; a picture name that cannot be written
// fails too.
std::optional<QString> writeDocument(QIODevice &device, const BookSettings &settings,
                                     const PictureSizes &sizes = {});

} // namespace tarnwick
