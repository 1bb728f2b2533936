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
                                       const QString &outOfRange, const QString &focus)
{
    if (number.status == BoxStatus::Number && !encodeGbk(text))
        return CheckFailure{messages::enterNumber(), focus};
    switch (number.status) {
    case BoxStatus::Number:
        return std::nullopt;
    case BoxStatus::Empty:
        return CheckFailure{messages::mustNotBeEmpty(), focus};
    case BoxStatus::NotNumeric:
        return CheckFailure{messages::enterNumber(), focus};
    case BoxStatus::OutOfRange:
        break;
    }
    return CheckFailure{outOfRange, focus};
}

} // namespace

std::optional<CheckFailure> checkBook(const BookSettings &settings)
{
    if (settings.pictures.isEmpty())
        return CheckFailure{messages::emptyList(), QStringLiteral("Command1")};

    const QString *const sizeTexts[4] = {&settings.bookWidth, &settings.bookHeight,
                                         &settings.pictureWidth, &settings.pictureHeight};
    int sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const QString focus = QStringLiteral("Text3(%1)").arg(i);
        const BoxNumber number = readBoxNumber(*sizeTexts[i]);
        if (auto failure = boxFailure(*sizeTexts[i], number, messages::badBookSize(), focus))
            return failure;
        if (number.value < 10 || number.value > 2000)
            return CheckFailure{messages::badBookSize(), focus};
        sizes[i] = number.value;
    }
    const int bookWidth = sizes[0], bookHeight = sizes[1];
    const int pictureWidth = sizes[2], pictureHeight = sizes[3];

    if (pictureWidth > bookWidth)
        return CheckFailure{messages::pictureTooWide(), QStringLiteral("Text3(2)")};
    if (pictureHeight > bookHeight)
        return CheckFailure{messages::pictureTooTall(), QStringLiteral("Text3(3)")};

    // The offsets are 16-bit, the sizes at most 2000: the sums fit an int.
    const BoxNumber left = readBoxNumber(settings.pictureLeft);
    if (auto failure = boxFailure(settings.pictureLeft, left, messages::badOffset(), QStringLiteral("Text8")))
        return failure;
    if (pictureWidth + int(left.value) > bookWidth)
        return CheckFailure{messages::leftTooLarge(), QStringLiteral("Text8")};

    const BoxNumber top = readBoxNumber(settings.pictureTop);
    if (auto failure = boxFailure(settings.pictureTop, top, messages::badOffset(), QStringLiteral("Text7")))
        return failure;
    if (pictureHeight + int(top.value) > bookHeight)
        return CheckFailure{messages::topTooLarge(), QStringLiteral("Text7")};

    if (settings.pictureFolder.isEmpty())
        return CheckFailure{messages::noFolder(), QStringLiteral("Command1")};

    const QString name = trimBlanks(settings.documentName);
    if (name.isEmpty())
        return CheckFailure{messages::mustNotBeEmpty(), QStringLiteral("Text2")};
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0))
        || name == u"." || name == u"..")
        return CheckFailure{messages::badFileName(), QStringLiteral("Text2")};

    const qsizetype unwritable = firstUnwritablePictureName(settings.pictures);
    if (unwritable >= 0)
        return CheckFailure{messages::unwritablePictureName() + settings.pictures.at(unwritable),
                            QStringLiteral("List1")};
    return std::nullopt;
}

} // namespace tarnwick
