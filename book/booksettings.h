#pragma once

#include "book/placement.h"

#include <QList>
#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <utility>

namespace tarnwick {

// A colour as the swatches hold it: red in the lowest byte, then green, then
// blue; the top byte is 0 for an ordinary colour.
using ColourValue = quint32;

// The border switch as a classic check box holds it: 0 clear, 1 ticked,
// 2 greyed. Only a ticked switch draws a border.
enum class BorderSwitch { Off = 0, On = 1, Greyed = 2 };

// The inputs of a book, named by what they mean. A failed check names one of
// these; which control shows it is the window's business.
enum class BookField {
    PictureList,   // the list is empty: a folder must be chosen first
    BookWidth,
    BookHeight,
    PictureWidth,
    PictureHeight,
    PictureLeft,
    PictureTop,
    Folder,
    DocumentName,
    PictureName,   // a listed picture whose name cannot go into a document
};

// One stored setting: its key and its text.
using StoredValue = std::pair<QString, QString>;
// The stored texts by key, as read back from the settings file.
using StoredTexts = QHash<QString, QString>;

// The inputs of a book, exactly as the user entered them. The main window,
// tarnwick-make and the reader of a document all fill this one type; the
// writer and the checks read it. A default-constructed value holds what a new
// window shows. The six size and offset fields keep the text as typed: the
// document carries it verbatim, the checks read its number (readBoxNumber).
// The book size preset for a first picture of that size: the picture's own
// size within 2000 x 2000, else the largest size within it with the same
// proportions, no side under 10, so that the preset passes the book's check.
QSize presetBookSize(QSize pixels);

struct BookSettings
{
    QString pictureFolder;                                      // ends in "/" after a browse
    QString documentName = QStringLiteral("MyEBook.dml");
    QString bookWidth = QStringLiteral("1024");
    QString bookHeight = QStringLiteral("768");
    QString pictureWidth = QStringLiteral("1024");
    QString pictureHeight = QStringLiteral("768");
    QString pictureLeft = QStringLiteral("0");
    QString pictureTop = QStringLiteral("0");
    ColourValue backgroundColour = 0xFFFFFF;
    BorderSwitch border = BorderSwitch::Off;
    ColourValue borderColour = 0;
    QStringList pictures;                                       // bare file names in page order
    FitMode fitMode = FitMode::Stretch;                         // how each page's picture fills the box

    bool borderOn() const { return border == BorderSwitch::On; }

    // Where the document goes: the folder text followed directly by the
    // document name, each without the spaces around it.
    QString outputPath() const;

    // The book size, with the picture filling the page.
    void setBookSize(const QString &width, const QString &height);
    // The preset after a folder is listed: the book as large as its first
    // picture, or as presetBookSize() fits a larger one within the limits.
    void presetFromFirstPicture(QSize pixels);

    // The eleven settings Tarnwick remembers, in the order they are written:
    // texts without their surrounding spaces, colours as signed decimal
    // numbers, the border switch as "0", "1" or "2", the way of placing as
    // "0" stretch, "1" contain, "2" shrink. The border colour is kept even
    // with the border off, so it comes back when turned on.
    QList<StoredValue> storedValues() const;
    // Puts remembered settings over these inputs: a text that is missing or
    // blank gives the field's default; a colour that is not a signed 32-bit
    // decimal number leaves the colour as it is; only "1" ticks the border;
    // a way of placing other than "1" or "2" is stretch.
    void restoreStored(const StoredTexts &stored);

    bool operator==(const BookSettings &) const = default;
};

} // namespace tarnwick
