#include "book/dmlreader.h"

#include "book/bookmessages.h"
#include "book/booknotation.h"
#include "book/regularfile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace tarnwick {

namespace {

// Refusing more than kMostPages pages bounds what a crafted document can
// make Tarnwick do: repeated pages are listed again, so a million copies of
// one page would become a 400-megabyte book. The value limits do the same
// for one long value copied into every page.
constexpr qsizetype kLongestNumber = 16;
constexpr qsizetype kLongestPageName = 255;
constexpr qsizetype kLongestValue = 4096;

QString valueTooLong(QByteArrayView name)
{
    return QStringLiteral(u"属性值过长：%1").arg(QString::fromLatin1(name.first(std::min<qsizetype>(name.size(), 64))));
}
QString noElement(const char *name) { return QStringLiteral(u"缺少%1元素").arg(QLatin1String(name)); }
QString badColour(QByteArrayView name, QByteArrayView value)
{
    return QStringLiteral(u"无法识别的颜色：%1=\"%2\"")
        .arg(QString::fromLatin1(name), QString::fromLatin1(value.first(std::min<qsizetype>(value.size(), 64))));
}
QString notGbk() { return QStringLiteral(u"含有GBK无法解码的字节"); }

// What each byte may do in the markup, one table look-up per byte.
enum CharClass : quint8 { Blank = 1, EndsElementName = 2, EndsAttributeName = 4 };

constexpr auto charClasses = [] {
    std::array<quint8, 256> table{};
    for (const char c : {' ', '\t', '\r', '\n'})
        table[uchar(c)] = Blank | EndsElementName | EndsAttributeName;
    table[uchar('>')] = table[uchar('/')] = EndsElementName | EndsAttributeName;
    table[uchar('<')] = EndsElementName;
    table[uchar('=')] = EndsAttributeName;
    return table;
}();

bool is(char c, CharClass kind)
{
    return charClasses[uchar(c)] & kind;
}

bool isBlank(char c)
{
    return is(c, Blank);
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Markup names compare without regard to ASCII case; most differ in length,
// which is checked first.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// Whether the bytes are GBK as far as their structure goes: ASCII, the euro
// sign 0x80, or a lead byte 0x81-0xFE with a trail byte 0x40-0x7E or 0x80-0xFE.
bool gbkShaped(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *end = p + bytes.size();
    while (p < end) {
        // Eight ASCII bytes at a time: markup is almost all ASCII.
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p++;
        if (c < 0x81)
            continue;
        if (c == 0xFF || p == end)
            return false;
        const unsigned char trail = *p++;
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return false;
    }
    return true;
}

// The elements the reader takes values from, and the attributes it takes
// from each; every other element and attribute is passed over.
enum class ElementKind { Other, Page, Image, Bitmap, PageFormat, Dimension };

constexpr int kMostTakenAttributes = 5;

struct ElementShape
{
    QByteArrayView name;
    ElementKind kind;
    QByteArrayView attributes[kMostTakenAttributes]; // the unused ones empty
    qsizetype longest[kMostTakenAttributes];         // each one's longest value
};

// Where each element's taken attributes stand in its shape.
enum ImageAttribute { ImageBitmapId, ImageLeft, ImageTop, ImageWidth, ImageHeight };
enum BitmapAttribute { BitmapFile };
enum PageFormatAttribute { PaperColour, BorderColour, NoBorder };
enum DimensionAttribute { DimensionWidth, DimensionHeight };

const ElementShape elementShapes[] = {
    {"PAGE", ElementKind::Page, {}, {}},
    {"IMAGE", ElementKind::Image, {"bitmapid", "left", "top", "width", "height"},
     {kLongestPageName, kLongestNumber, kLongestNumber, kLongestNumber, kLongestNumber}},
    {"BITMAP", ElementKind::Bitmap, {"file"}, {kLongestPageName}},
    {"PAGEFORMAT", ElementKind::PageFormat, {"papercolor", "bordercolor", "noborder"},
     {kLongestValue, kLongestValue, kLongestValue}},
    {"DIMENSION", ElementKind::Dimension, {"width", "height"}, {kLongestNumber, kLongestNumber}},
};

// One element of the markup: what it is and the values of the attributes
// the reader takes from it, the first of each name. Only these are kept, so
// an element with millions of attributes costs no memory.
struct Element
{
    ElementKind kind = ElementKind::Other;
    bool closing = false;
    QByteArrayView values[kMostTakenAttributes];
    bool found[kMostTakenAttributes] = {};

    QByteArrayView value(int attribute, bool *isFound = nullptr) const
    {
        if (isFound)
            *isFound = found[attribute];
        return values[attribute];
    }
};

// Walks the elements of the markup in order. Text between elements,
// comments and declarations are skipped; an element cut short by the end of
// the text ends the walk.
class MarkupScanner
{
public:
    explicit MarkupScanner(QByteArrayView text)
        : m_p(text.data())
        , m_end(text.data() + text.size())
    {
    }

    bool next(Element &element)
    {
        for (;;) {
            const char *open = find('<', m_p);
            if (!open)
                return false;
            m_p = open + 1;
            if (m_p == m_end)
                return false;
            if (*m_p == '!' || *m_p == '?') {
                // A comment may hold '>' before its end.
                const bool comment = m_end - m_p >= 3 && std::memcmp(m_p, "!--", 3) == 0;
                const char *close = comment ? findText("-->", m_p + 3) : find('>', m_p);
                if (!close)
                    return false;
                m_p = close + 1;
                continue;
            }
            element.closing = *m_p == '/';
            if (element.closing)
                ++m_p;
            const char *nameStart = m_p;
            while (m_p < m_end && !is(*m_p, EndsElementName))
                ++m_p;
            const QByteArrayView name(nameStart, m_p - nameStart);
            const ElementShape *shape = nullptr;
            for (const ElementShape &candidate : elementShapes) {
                if (sameName(name, candidate.name)) {
                    shape = &candidate;
                    break;
                }
            }
            element.kind = shape ? shape->kind : ElementKind::Other;
            std::fill(std::begin(element.found), std::end(element.found), false);
            if (!readAttributes(element, shape && !element.closing ? shape : nullptr))
                return false;
            if (!name.isEmpty())
                return true;
        }
    }

    // The reason the walk stopped early, when a value was too long.
    const std::optional<QString> &refusal() const { return m_refusal; }

private:
    const char *find(char c, const char *from) const
    {
        // An empty text has no storage at all: memchr must not see its null.
        if (from >= m_end)
            return nullptr;
        return static_cast<const char *>(std::memchr(from, c, size_t(m_end - from)));
    }

    const char *findText(const char *text, const char *from) const
    {
        const size_t length = std::strlen(text);
        for (const char *p = from; (p = find(text[0], p)) && size_t(m_end - p) >= length; ++p) {
            if (std::memcmp(p, text, length) == 0)
                return p;
        }
        return nullptr;
    }

    // Reads name="value" pairs up to the element's end, keeping the first
    // value of each name taken; false when the text ends first or a value is
    // longer than its limit. A malformed attribute ends the element's
    // attributes.
    bool readAttributes(Element &element, const ElementShape *shape)
    {
        const QByteArrayView *taken = shape ? shape->attributes : nullptr;
        for (;;) {
            while (m_p < m_end && isBlank(*m_p))
                ++m_p;
            if (m_p == m_end)
                return false;
            if (*m_p == '>' || *m_p == '/' || *m_p == '<')
                break;
            const char *nameStart = m_p;
            while (m_p < m_end && !is(*m_p, EndsAttributeName))
                ++m_p;
            const QByteArrayView name(nameStart, m_p - nameStart);
            while (m_p < m_end && isBlank(*m_p))
                ++m_p;
            if (m_p == m_end)
                return false;
            if (*m_p != '=')
                continue; // a name without a value
            ++m_p;
            while (m_p < m_end && isBlank(*m_p))
                ++m_p;
            if (m_p == m_end)
                return false;
            const char quote = *m_p;
            if (quote != '"' && quote != '\'')
                break;
            const char *close = find(quote, m_p + 1);
            if (!close)
                return false;
            const qsizetype length = close - m_p - 1;
            qsizetype longest = kLongestValue;
            for (int i = 0; taken && i < kMostTakenAttributes && !taken[i].isEmpty(); ++i) {
                if (sameName(name, taken[i]))
                    longest = shape->longest[i];
            }
            if (length > longest) {
                m_refusal = valueTooLong(name);
                return false;
            }
            for (int i = 0; taken && i < kMostTakenAttributes && !taken[i].isEmpty(); ++i) {
                if (!element.found[i] && sameName(name, taken[i])) {
                    element.found[i] = true;
                    element.values[i] = QByteArrayView(m_p + 1, close - m_p - 1);
                    break;
                }
            }
            m_p = close + 1;
        }
        // Up to and past the element's end.
        const char *close = find('>', m_p);
        if (!close)
            return false;
        m_p = close + 1;
        return true;
    }

    const char *m_p;
    const char *m_end;
    std::optional<QString> m_refusal;
};

// Turns the attribute values Tarnwick keeps into text, with one GBK decoder
// for the whole document.
class ValueDecoder
{
public:
    std::optional<QString> decode(QByteArrayView bytes)
    {
        bool ascii = true;
        for (const char c : bytes)
            ascii = ascii && (uchar(c) < 0x80);
        if (ascii)
            return QString::fromLatin1(bytes);
        QString text = m_decoder.decode(bytes);
        if (m_decoder.hasError())
            return std::nullopt;
        return text;
    }

private:
    QStringDecoder m_decoder{"GBK", QStringDecoder::Flag::Stateless};
};

} // namespace

std::optional<QString> readDocument(QByteArrayView document, BookSettings &inputs,
                                   std::vector<PagePlacement> *placements)
{
    if (document.size() > kLargestDocument)
        return messages::documentTooLarge();
    if (!gbkShaped(document))
        return notGbk();

    bool pageFormatSeen = false;
    bool dimensionSeen = false;
    QByteArrayView paperColour, noBorder, borderColour;
    bool paperColourFound = false, borderColourFound = false;
    QByteArrayView width, height;
    bool widthFound = false, heightFound = false;
    // Page 1's picture place and size: left, top, width, height.
    QByteArrayView place[4];
    bool placeFound[4] = {};
    bool firstImageSeen = false;

    // Each page's name is decoded as the page ends, while its bytes are still
    // in the cache.
    ValueDecoder decoder;
    QStringList pages;
    bool pagesGbk = true;
    qsizetype pageCount = 0;
    bool inPage = false;
    QByteArrayView pageFile, pageImage;
    bool pageFileFound = false, pageImageFound = false;
    // Each listed page's IMAGE left, top, width and height, when asked for.
    std::vector<PagePlacement> pagePlaces;
    QByteArrayView pagePlace[4];
    const auto finishPage = [&] {
        if (!inPage)
            return;
        inPage = false;
        if (!pagesGbk || !(pageFileFound || pageImageFound))
            return;
        std::optional<QString> name = decoder.decode(pageFileFound ? pageFile : pageImage);
        if (name)
            pages.append(std::move(*name));
        else
            pagesGbk = false;
        if (placements && name) {
            PagePlacement &place = pagePlaces.emplace_back();
            QString *const fields[4] = {&place.left, &place.top, &place.width, &place.height};
            for (int i = 0; pagesGbk && i < 4; ++i) {
                std::optional<QString> text = decoder.decode(pagePlace[i]);
                if (text)
                    *fields[i] = std::move(*text);
                else
                    pagesGbk = false;
            }
        }
    };

    MarkupScanner scanner(document);
    Element element;
    while (scanner.next(element)) {
        if (element.closing) {
            if (element.kind == ElementKind::Page)
                finishPage();
            continue;
        }
        switch (element.kind) {
        case ElementKind::Page:
            finishPage();
            if (++pageCount > kMostPages)
                return messages::tooManyPages();
            inPage = true;
            pageFileFound = pageImageFound = false;
            std::fill(std::begin(pagePlace), std::end(pagePlace), QByteArrayView());
            break;
        case ElementKind::Image:
            if (!inPage)
                break;
            if (!pageImageFound) {
                pageImage = element.value(ImageBitmapId, &pageImageFound);
                for (int i = 0; i < 4; ++i)
                    pagePlace[i] = element.value(ImageLeft + i);
            }
            if (pageCount == 1 && !firstImageSeen) {
                firstImageSeen = true;
                for (int i = 0; i < 4; ++i)
                    place[i] = element.value(ImageLeft + i, &placeFound[i]);
            }
            break;
        case ElementKind::Bitmap:
            if (inPage && !pageFileFound)
                pageFile = element.value(BitmapFile, &pageFileFound);
            break;
        case ElementKind::PageFormat:
            if (pageFormatSeen)
                break;
            pageFormatSeen = true;
            paperColour = element.value(PaperColour, &paperColourFound);
            borderColour = element.value(BorderColour, &borderColourFound);
            noBorder = element.value(NoBorder);
            break;
        case ElementKind::Dimension:
            if (dimensionSeen)
                break;
            dimensionSeen = true;
            width = element.value(DimensionWidth, &widthFound);
            height = element.value(DimensionHeight, &heightFound);
            break;
        case ElementKind::Other:
            break;
        }
    }
    finishPage();
    if (scanner.refusal())
        return scanner.refusal();

    if (!pageFormatSeen)
        return noElement("PAGEFORMAT");
    if (!dimensionSeen)
        return noElement("DIMENSION");

    std::optional<ColourValue> paper, border;
    if (paperColourFound && !(paper = readColourNotation(paperColour.trimmed())))
        return badColour("papercolor", paperColour);
    if (borderColourFound && !(border = readColourNotation(borderColour.trimmed())))
        return badColour("bordercolor", borderColour);

    BookSettings read = inputs;
    const auto take = [&decoder](QByteArrayView bytes, QString &into) {
        std::optional<QString> text = decoder.decode(bytes);
        if (!text)
            return false;
        into = std::move(*text);
        return true;
    };
    if ((widthFound && !take(width, read.bookWidth)) || (heightFound && !take(height, read.bookHeight)))
        return notGbk();
    QString *const placeFields[4] = {&read.pictureLeft, &read.pictureTop, &read.pictureWidth, &read.pictureHeight};
    for (int i = 0; i < 4; ++i) {
        if (placeFound[i] && !take(place[i], *placeFields[i]))
            return notGbk();
    }
    if (!pagesGbk)
        return notGbk();
    read.pictures = std::move(pages);
    if (placements)
        *placements = std::move(pagePlaces);
    if (paper)
        read.backgroundColour = *paper;
    if (noBorder.trimmed().compare(QByteArrayView("NO"), Qt::CaseInsensitive) == 0) {
        read.border = BorderSwitch::On;
        if (border)
            read.borderColour = *border;
    } else {
        read.border = BorderSwitch::Off;
    }
    inputs = std::move(read);
    return std::nullopt;
}

std::optional<QString> readDocumentFile(const QString &path, BookSettings &inputs,
                                       std::vector<PagePlacement> *placements)
{
    QFile file;
    if (std::optional<QString> reason = openRegularFile(file, path))
        return reason;
    if (file.size() > kLargestDocument)
        return messages::documentTooLarge();
    // A buffer of the size the file claims, grown only if it holds more, and
    // never past one byte beyond the limit: reading into a buffer of the
    // largest size would touch far more memory than a book needs.
    QByteArray bytes;
    bytes.resize(qsizetype(file.isSequential() ? 0 : file.size()) + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > kLargestDocument)
                break;
            bytes.resize(qsizetype(std::min<qint64>(std::max<qint64>(2 * used, 64 * 1024), kLargestDocument + 1)));
        }
        const qint64 got = file.read(bytes.data() + used, bytes.size() - used);
        if (got < 0)
            return file.errorString();
        if (got == 0)
            break;
        used += qsizetype(got);
    }
    bytes.truncate(used);
    return readDocument(bytes, inputs, placements);
}

} // namespace tarnwick
