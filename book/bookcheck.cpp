#include "book/bookcheck.h"

#include "book/bookmessages.h"
#include "book/boxnumber.h"
#include "book/gbktext.h"

namespace tarnwick {

namespace {

CheckFailure fail(CheckProblem problem, BookField field, const QString &picture = QString())
{
    QString message;
    switch (problem) {
    case CheckProblem::NoPictures:
        message = messages::emptyList();
        break;
    case CheckProblem::Empty:
        message = messages::mustNotBeEmpty();
        break;
    case CheckProblem::NotANumber:
        message = messages::enterNumber();
        break;
    case CheckProblem::SizeOutOfRange:
        message = messages::badBookSize();
        break;
    case CheckProblem::OffsetOutOfRange:
        message = messages::badOffset();
        break;
    case CheckProblem::PictureTooWide:
        message = messages::pictureTooWide();
        break;
    case CheckProblem::PictureTooTall:
        message = messages::pictureTooTall();
        break;
    case CheckProblem::LeftTooLarge:
        message = messages::leftTooLarge();
        break;
    case CheckProblem::TopTooLarge:
        message = messages::topTooLarge();
        break;
    case CheckProblem::NoFolder:
        message = messages::noFolder();
        break;
    case CheckProblem::BadFileName:
        message = messages::badFileName();
        break;
    case CheckProblem::UnwritableName:
        message = messages::unwritablePictureName() + picture;
        break;
    case CheckProblem::NameIsPicture:
        message = messages::nameIsPicture();
        break;
    }
    return {message, field, problem};
}

// A box's text goes into the document as typed; blanks that GBK cannot hold
// (U+00A0, the typographic spaces) are trimmed for the number but could not be
// written, so such a text does not count as a number.
std::optional<CheckFailure> boxFailure(const QString &text, const BoxNumber &number, CheckProblem outOfRange,
                                       BookField field)
{
    if (number.status == BoxStatus::Number && !encodeGbk(text))
        return fail(CheckProblem::NotANumber, field);
    switch (number.status) {
    case BoxStatus::Number:
        return std::nullopt;
    case BoxStatus::Empty:
        return fail(CheckProblem::Empty, field);
    case BoxStatus::NotNumeric:
        return fail(CheckProblem::NotANumber, field);
    case BoxStatus::OutOfRange:
        break;
    }
    return fail(outOfRange, field);
}

// Writing the book under a picture's name would replace that picture.
bool isPictureName(const QString &name, const QStringList &pictures)
{
    for (const QLatin1String suffix : {QLatin1String(".gif"), QLatin1String(".jpg"),
                                           QLatin1String(".jpeg")}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    return pictures.contains(name);
}

} // namespace

std::optional<CheckFailure> checkBook(const BookSettings &settings)
{
    if (settings.pictures.isEmpty())
        return fail(CheckProblem::NoPictures, BookField::PictureList);

    const QString *const sizeTexts[4] = {&settings.bookWidth, &settings.bookHeight,
                                         &settings.pictureWidth, &settings.pictureHeight};
    const BookField sizeFields[4] = {BookField::BookWidth, BookField::BookHeight, BookField::PictureWidth,
                                     BookField::PictureHeight};
    int sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const BookField field = sizeFields[i];
        const BoxNumber number = readBoxNumber(*sizeTexts[i]);
        if (auto failure = boxFailure(*sizeTexts[i], number, CheckProblem::SizeOutOfRange, field))
            return failure;
        if (number.value < 10 || number.value > 2000)
            return fail(CheckProblem::SizeOutOfRange, field);
        sizes[i] = number.value;
    }
    const int bookWidth = sizes[0], bookHeight = sizes[1];
    const int pictureWidth = sizes[2], pictureHeight = sizes[3];

    if (pictureWidth > bookWidth)
        return fail(CheckProblem::PictureTooWide, BookField::PictureWidth);
    if (pictureHeight > bookHeight)
        return fail(CheckProblem::PictureTooTall, BookField::PictureHeight);

    // The offsets are 16-bit, the sizes at most 2000: the sums fit an int.
    const BoxNumber left = readBoxNumber(settings.pictureLeft);
    if (auto failure = boxFailure(settings.pictureLeft, left, CheckProblem::OffsetOutOfRange, BookField::PictureLeft))
        return failure;
    if (pictureWidth + int(left.value) > bookWidth)
        return fail(CheckProblem::LeftTooLarge, BookField::PictureLeft);

    const BoxNumber top = readBoxNumber(settings.pictureTop);
    if (auto failure = boxFailure(settings.pictureTop, top, CheckProblem::OffsetOutOfRange, BookField::PictureTop))
        return failure;
    if (pictureHeight + int(top.value) > bookHeight)
        return fail(CheckProblem::TopTooLarge, BookField::PictureTop);

    if (trimBlanks(settings.pictureFolder).isEmpty())
        return fail(CheckProblem::NoFolder, BookField::Folder);

    const QString name = trimBlanks(settings.documentName);
    if (name.isEmpty())
        return fail(CheckProblem::Empty, BookField::DocumentName);
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0))
        || name == u"." || name == u"..")
        return fail(CheckProblem::BadFileName, BookField::DocumentName);
    if (isPictureName(name, settings.pictures))
        return fail(CheckProblem::NameIsPicture, BookField::DocumentName);

    const qsizetype unwritable = firstUnwritablePictureName(settings.pictures);
    if (unwritable >= 0)
        return fail(CheckProblem::UnwritableName, BookField::PictureName, settings.pictures.at(unwritable));
    return std::nullopt;
}

} // namespace tarnwick
