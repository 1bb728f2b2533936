#include "book/bookcheck.h"

#include "book/bookmessages.h"
#include "book/boxnumber.h"
#include "book/gbktext.h"

namespace tarnwick {

namespace {

// A box's text goes into the document as typed; blanks that GBK cannot hold
// (U+00A0, the typographic spaces) are trimmed for the number but could not be
// written, so such a text does not count as a number.
std::optional<CheckFailure> boxFailure(const QString &text, const BoxNumber &number,
                                       const QString &outOfRange, BookField field)
{
    if (number.status == BoxStatus::Number && !encodeGbk(text))
        return CheckFailure{messages::enterNumber(), field};
    switch (number.status) {
    case BoxStatus::Number:
        return std::nullopt;
    case BoxStatus::Empty:
        return CheckFailure{messages::mustNotBeEmpty(), field};
    case BoxStatus::NotNumeric:
        return CheckFailure{messages::enterNumber(), field};
    case BoxStatus::OutOfRange:
        break;
    }
    return CheckFailure{outOfRange, field};
}

} // namespace

std::optional<CheckFailure> checkBook(const BookSettings &settings)
{
    if (settings.pictures.isEmpty())
        return CheckFailure{messages::emptyList(), BookField::PictureList};

    const QString *const sizeTexts[4] = {&settings.bookWidth, &settings.bookHeight,
                                         &settings.pictureWidth, &settings.pictureHeight};
    const BookField sizeFields[4] = {BookField::BookWidth, BookField::BookHeight, BookField::PictureWidth,
                                     BookField::PictureHeight};
    int sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const BookField field = sizeFields[i];
        const BoxNumber number = readBoxNumber(*sizeTexts[i]);
        if (auto failure = boxFailure(*sizeTexts[i], number, messages::badBookSize(), field))
            return failure;
        if (number.value < 10 || number.value > 2000)
            return CheckFailure{messages::badBookSize(), field};
        sizes[i] = number.value;
    }
    const int bookWidth = sizes[0], bookHeight = sizes[1];
    const int pictureWidth = sizes[2], pictureHeight = sizes[3];

    if (pictureWidth > bookWidth)
        return CheckFailure{messages::pictureTooWide(), BookField::PictureWidth};
    if (pictureHeight > bookHeight)
        return CheckFailure{messages::pictureTooTall(), BookField::PictureHeight};

    // The offsets are 16-bit, the sizes at most 2000: the sums fit an int.
    const BoxNumber left = readBoxNumber(settings.pictureLeft);
    if (auto failure = boxFailure(settings.pictureLeft, left, messages::badOffset(), BookField::PictureLeft))
        return failure;
    if (pictureWidth + int(left.value) > bookWidth)
        return CheckFailure{messages::leftTooLarge(), BookField::PictureLeft};

    const BoxNumber top = readBoxNumber(settings.pictureTop);
    if (auto failure = boxFailure(settings.pictureTop, top, messages::badOffset(), BookField::PictureTop))
        return failure;
    if (pictureHeight + int(top.value) > bookHeight)
        return CheckFailure{messages::topTooLarge(), BookField::PictureTop};

    if (trimBlanks(settings.pictureFolder).isEmpty())
        return CheckFailure{messages::noFolder(), BookField::Folder};

    const QString name = trimBlanks(settings.documentName);
    if (name.isEmpty())
        return CheckFailure{messages::mustNotBeEmpty(), BookField::DocumentName};
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0))
        || name == u"." || name == u"..")
        return CheckFailure{messages::badFileName(), BookField::DocumentName};

    const qsizetype unwritable = firstUnwritablePictureName(settings.pictures);
    if (unwritable >= 0)
        return CheckFailure{messages::unwritablePictureName() + settings.pictures.at(unwritable),
                            BookField::PictureName};
    return std::nullopt;
}

} // namespace tarnwick
