#include "book/dmlwriter.h"

#include "book/bookmessages.h"
#include "book/booknotation.h"
#include "book/boxnumber.h"
#include "book/gbktext.h"

#include <QSaveFile>

#include <charconv>
#include <cstring>

namespace tarnwick {

namespace {

constexpr char crlf[] = "\r\n";

// Every page segment differs only in its number and its picture name; the
// fixed pieces between them are built once per run.
class PageBuilder
{
public:
    explicit PageBuilder(const BookSettings &settings)
    {
        const QByteArray left = encodeGbk(settings.pictureLeft).value_or(QByteArray());
        const QByteArray top = encodeGbk(settings.pictureTop).value_or(QByteArray());
        const QByteArray width = encodeGbk(settings.pictureWidth).value_or(QByteArray());
        const QByteArray height = encodeGbk(settings.pictureHeight).value_or(QByteArray());
        m_afterNumber = QByteArrayLiteral(
            "\" withtransrgn=\"NO\" rgntranscolor=\"0FF00h\" withtransclr=\"NO\" transcolor=\"0FF00h\""
            " backpgtype=\"PRENEXTPAGE\" backpgn=\"0\" pgnturntype=\"NO\" backlpgn=\"0\" backrpgn=\"0\""
            " booksepa=\"NO\" hiderulerlines=\"NO\"/>\r\n\r\n\r\n<IMAGE bitmapid=\"");
        m_typedPlace = "\" left=\"" + left + "\" top=\"" + top + "\" width=\"" + width + "\" height=\"" + height;
        m_afterPlace = QByteArrayLiteral(
            "\" zorder=\"1\" transparent=\"NO\" transparentcolor=\"00h\"/>\r\n<BITMAP id=\"");
        m_afterId = QByteArrayLiteral("\" file=\"");
        m_afterFile = QByteArrayLiteral(
            "\" width=\"10\" height=\"10\" quality=\"100\"/>\r\n\r\n</PAGE>\r\n");
    }

    // The IMAGE place of a picture placed by the box, not as typed.
    static QByteArray placeOf(const PageRect &rect)
    {
        return "\" left=\"" + QByteArray::number(rect.left) + "\" top=\"" + QByteArray::number(rect.top)
            + "\" width=\"" + QByteArray::number(rect.width) + "\" height=\"" + QByteArray::number(rect.height);
    }

    const QByteArray &typedPlace() const { return m_typedPlace; }

    // A page segment's length for a name of nameLength bytes, at most.
    qsizetype maxSize(qsizetype nameLength) const
    {
        return 16 + 5 + m_afterNumber.size() + std::max<qsizetype>(m_typedPlace.size(), kLongestPlace)
            + m_afterPlace.size() + m_afterId.size() + m_afterFile.size() + 3 * nameLength;
    }

    // Replaces out's content by page index's segment. out keeps its storage,
    // so a reused buffer allocates nothing per page.
    void build(QByteArray &out, int index, QByteArrayView name, QByteArrayView place) const
    {
        out.resize(maxSize(name.size()));
        char *p = out.data();
        p = put(p, "<PAGE number=\"");
        p = std::to_chars(p, p + 12, index + 1).ptr;
        p = put(p, m_afterNumber);
        p = put(p, name);
        p = put(p, place);
        p = put(p, m_afterPlace);
        p = put(p, name);
        p = put(p, m_afterId);
        p = put(p, name);
        p = put(p, m_afterFile);
        out.truncate(p - out.constData());
    }

private:
    static char *put(char *p, QByteArrayView bytes)
    {
        std::memcpy(p, bytes.data(), size_t(bytes.size()));
        return p + bytes.size();
    }

    // Four 20-digit numbers and their attribute names.
    static constexpr qsizetype kLongestPlace = 4 * 20 + 40;

    QByteArray m_afterNumber;
    QByteArray m_typedPlace;
    QByteArray m_afterPlace;
    QByteArray m_afterId;
    QByteArray m_afterFile;
};

bool writeAll(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}

QString unwritableNameReason(const QString &name)
{
    return messages::unwritablePictureName() + name;
}

// The picture box as the checks read it.
PageRect typedBox(const BookSettings &settings)
{
    return {readBoxNumber(settings.pictureLeft).value, readBoxNumber(settings.pictureTop).value,
            readBoxNumber(settings.pictureWidth).value, readBoxNumber(settings.pictureHeight).value};
}

// Page index's IMAGE place: the typed texts when stretching, else where its
// picture goes in the box; nothing when its size is unknown.
std::optional<QByteArray> pagePlace(const PageBuilder &builder, const BookSettings &settings, const PageRect &box,
                                    const PictureSizes &sizes, int index)
{
    if (settings.fitMode == FitMode::Stretch)
        return builder.typedPlace();
    const QSize pixels = size_t(index) < sizes.size() ? sizes[size_t(index)] : QSize();
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return std::nullopt;
    return PageBuilder::placeOf(placePicture(settings.fitMode, box, pixels));
}

} // namespace

QByteArray headSegment(const BookSettings &settings)
{
    QByteArray head;
    head.reserve(1024);
    head += crlf;
    head += "<BOOKHEAD version=\"2.0.2\" editor=\"DeskTopAuthor\" editorversion=\"4.5.7\"/>\r\n\r\n";
    head += "<PAGEFORMAT pagenumber=\"" + QByteArray::number(settings.pictures.size())
        + "\" papercolor=\"" + colourNotation(settings.backgroundColour)
        + "\" maskcolor=\"0FF00h\" turnmode=\"FLY3\" withcart=\"NO\" lineheight=\"2\" maxlines=\"5\""
          " flyspeed=\"FASTEST\" exheight=\"40\" showstate=\"WITHOUTMENU\" trackinterval=\"30\""
          " withtrack=\"NO\" bordercolor=\""
        + borderColourNotation(settings.borderOn(), settings.borderColour)
        + "\" characterset=\"CHINESEGB2312\" unicode=\"NO\" withpassword=\"NO\" pagenumbertype=\"1\""
          " backfilenumber=\"1\" disableprint=\"YES\" disableemail=\"YES\" autostart=\"NO\""
          " pagetransitions=\"5,5,5,5,5,5,5,5,5,5\" pagetimeintervals=\"5,5,5,5,5,5,5,5,5,5\""
          " withbackwindow=\"NO\" backwindowcolor=\"00h\" withbooktrans=\"NO\" booktransclr=\"0FF00h\""
          " booktranspgn=\"0\" bookupid=\"1\" noborder=\""
        + noBorderNotation(settings.borderOn())
        + "\" disablesaveas=\"YES\" bookdrmpagenum=\"3\" bookdrmmode=\"0\" boundopacity=\"80\""
          " boundbackcolor=\"0808080h\" bookviewprotect=\"0\" bookeditimgprotect=\"2\""
          " bookeimgdrmpgn=\"3\" bookeimgdrmitn=\"5\" minimumwmpver=\"6\"/>\r\n\r\n";
    head += "<DIMENSION width=\"" + encodeGbk(settings.bookWidth).value_or(QByteArray())
        + "\" height=\"" + encodeGbk(settings.bookHeight).value_or(QByteArray()) + "\"/>\r\n\r\n";
    return head;
}

std::optional<QByteArray> pageSegment(const BookSettings &settings, int index, const PictureSizes &sizes)
{
    const std::optional<QByteArray> name = encodePictureName(settings.pictures.at(index));
    const PageBuilder builder(settings);
    const std::optional<QByteArray> place = pagePlace(builder, settings, typedBox(settings), sizes, index);
    if (!name || !place)
        return std::nullopt;
    QByteArray page;
    builder.build(page, index, *name, *place);
    return page;
}

std::optional<QString> writeDocument(QIODevice &device, const BookSettings &settings, const PictureSizes &sizes)
{
    for (const QString *box : {&settings.bookWidth, &settings.bookHeight, &settings.pictureWidth,
                               &settings.pictureHeight, &settings.pictureLeft, &settings.pictureTop}) {
        if (!encodeGbk(*box))
            return messages::enterNumber() + u' ' + *box;
    }
    if (!writeAll(device, headSegment(settings)))
        return device.errorString();

    const PageBuilder builder(settings);
    const PageRect box = typedBox(settings);
    QByteArray page;
    page.reserve(builder.maxSize(256));
    QByteArray name;
    name.reserve(256);
    PictureNameEncoder encoder;
    const int count = int(settings.pictures.size());
    for (int i = 0; i < count; ++i) {
        const QString &picture = settings.pictures.at(i);
        // The checks have refused unwritable names; this guards a caller that
        // skipped them, so a name never reaches the document as "?".
        if (!encoder.encode(picture, name))
            return unwritableNameReason(picture);
        const std::optional<QByteArray> place = pagePlace(builder, settings, box, sizes, i);
        if (!place)
            return messages::unreadableSizes() + picture;
        builder.build(page, i, name, *place);
        if (!writeAll(device, page))
            return device.errorString();
    }
    return std::nullopt;
}

std::optional<QString> saveDocument(const BookSettings &settings, const PictureSizes &sizes)
{
    const QString path = settings.outputPath();
    const auto failure = [&path](const QString &reason) {
        return messages::cannotWrite() + path + u'\n' + reason;
    };

    // The older document is replaced by rename only once the new one is
    // whole, so a failed run leaves it as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());

    std::optional<QString> reason = writeDocument(file, settings, sizes);
    // QSaveFile::commit() ignores an error of its last buffered flush: flush
    // here and check, and cancel before committing on any failure.
    if (!reason && (!file.flush() || file.error() != QFileDevice::NoError))
        reason = file.errorString();
    if (reason) {
        file.cancelWriting();
        file.commit();
        return failure(*reason);
    }
    if (!file.commit())
        return failure(file.errorString());
    return std::nullopt;
}

} // namespace tarnwick
