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

// Writes a checked BookSettings as a .dml document to settings.outputPath().
// The new document is written beside the target and replaces it (a symbolic
// link there included, never its target) only when it is complete. Returns
// nothing on success, else the text to show the user:
// "无法写入dml文件：" + path + "\n" + the reason.
std::optional<QString> saveDocument(const BookSettings &settings, const PictureSizes &sizes = {},
                                    OlderDocument olderDocument = OlderDocument::ToTrash);

// The same; on a failure only the reason: the system's, or why the book
// would be one the reader refuses.
std::optional<QString> writeDocumentFile(const BookSettings &settings, const PictureSizes &sizes = {},
                                         OlderDocument olderDocument = OlderDocument::ToTrash);

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
