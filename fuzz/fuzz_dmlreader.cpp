// Reads arbitrary bytes as a .dml document. A refusal must leave the inputs
// as they were; a document read must hold no more pages than its bytes can
// spell, and when everything it gave can be written again, writing it and
// reading that back must give the same book.
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "book/gbktext.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace tarnwick;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Inputs unlike any default, so a field the reader left alone shows.
BookSettings startingInputs()
{
    BookSettings inputs;
    inputs.pictureFolder = QStringLiteral("/tmp/book/");
    inputs.bookWidth = QStringLiteral("901");
    inputs.bookHeight = QStringLiteral("602");
    inputs.pictureWidth = QStringLiteral("803");
    inputs.pictureHeight = QStringLiteral("504");
    inputs.pictureLeft = QStringLiteral("5");
    inputs.pictureTop = QStringLiteral("6");
    inputs.backgroundColour = 0x123456;
    inputs.border = BorderSwitch::Greyed;
    inputs.borderColour = 0x654321;
    inputs.pictures = QStringList{QStringLiteral("before.gif")};
    return inputs;
}

// A box text the writer puts between double quotes without breaking them.
bool boxWritable(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'"' || c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            return false;
    }
    return encodeGbk(text).has_value();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView document(data, qsizetype(size));
    const BookSettings before = startingInputs();
    BookSettings read = before;
    if (const std::optional<QString> refusal = readDocument(document, read)) {
        require(!refusal->isEmpty());
        require(read == before);
        return 0;
    }

    // The shortest page that names a picture is "<PAGE>" and
    // "<BITMAP file=''>": 22 bytes.
    require(read.pictures.size() <= qsizetype(size / 22));
    require(read.pictureFolder == before.pictureFolder && read.documentName == before.documentName);
    require(read.border == BorderSwitch::On || read.border == BorderSwitch::Off);

    if (firstUnwritablePictureName(read.pictures) >= 0)
        return 0;
    for (const QString *box : {&read.bookWidth, &read.bookHeight, &read.pictureWidth, &read.pictureHeight,
                               &read.pictureLeft, &read.pictureTop}) {
        if (!boxWritable(*box))
            return 0;
    }
    QByteArray written;
    QBuffer buffer(&written);
    buffer.open(QIODevice::WriteOnly);
    require(!writeDocument(buffer, read).has_value());
    BookSettings again = before;
    require(!readDocument(written, again).has_value());
    // The picture's place and size ride on the pages: a book without pages
    // cannot carry them.
    BookSettings expected = read;
    if (read.pictures.isEmpty()) {
        expected.pictureLeft = before.pictureLeft;
        expected.pictureTop = before.pictureTop;
        expected.pictureWidth = before.pictureWidth;
        expected.pictureHeight = before.pictureHeight;
    }
    require(again == expected);
    return 0;
}
