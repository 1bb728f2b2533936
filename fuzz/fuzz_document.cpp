// Builds book settings from arbitrary names and box texts, runs the checks and,
// when they pass, writes the document into memory. A passed check must always
// give a document that is well formed: every page written, no line break or
// stray quote inside an element, one page per picture.
#include "book/bookcheck.h"
#include "book/booksettings.h"
#include "book/dmlwriter.h"

#include <QBuffer>
#include <QByteArray>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace tarnwick;

namespace {

QString takeText(FuzzedDataProvider &input, size_t maxLength)
{
    const std::string bytes = input.ConsumeRandomLengthString(maxLength);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// Box texts mostly near the accepted range, sometimes arbitrary.
QString takeBox(FuzzedDataProvider &input)
{
    if (input.ConsumeBool())
        return QString::number(input.ConsumeIntegralInRange<int>(-50, 2100));
    return takeText(input, 12);
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    BookSettings settings;
    settings.pictureFolder = input.ConsumeBool() ? QStringLiteral("/tmp/book/") : takeText(input, 16);
    settings.documentName = input.ConsumeBool() ? QStringLiteral("MyEBook.dml") : takeText(input, 16);
    settings.bookWidth = takeBox(input);
    settings.bookHeight = takeBox(input);
    settings.pictureWidth = takeBox(input);
    settings.pictureHeight = takeBox(input);
    settings.pictureLeft = takeBox(input);
    settings.pictureTop = takeBox(input);
    settings.backgroundColour = input.ConsumeIntegral<uint32_t>();
    settings.border = BorderSwitch(input.ConsumeIntegralInRange(0, 2));
    settings.borderColour = input.ConsumeIntegral<uint32_t>();
    const int count = input.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < count; ++i)
        settings.pictures.append(takeText(input, 24));

    const std::optional<CheckFailure> failure = checkBook(settings);
    if (failure) {
        require(!failure->message.isEmpty());
        return 0;
    }

    // Everything that reaches the document must keep the markup intact.
    const auto fitsInQuotes = [](const QString &text) {
        for (const QChar c : text) {
            if (c == u'"' || c == u'\r' || c == u'\n' || c.unicode() < 0x20)
                return false;
        }
        return true;
    };
    require(!settings.pictures.isEmpty());
    for (const QString *box : {&settings.bookWidth, &settings.bookHeight, &settings.pictureWidth,
                               &settings.pictureHeight, &settings.pictureLeft, &settings.pictureTop})
        require(fitsInQuotes(*box));
    for (const QString &name : std::as_const(settings.pictures))
        require(fitsInQuotes(name));

    QByteArray expected = headSegment(settings);
    require(expected.startsWith("\r\n<BOOKHEAD "));
    require(expected.contains("pagenumber=\"" + QByteArray::number(settings.pictures.size()) + '"'));
    for (int i = 0; i < settings.pictures.size(); ++i) {
        const std::optional<QByteArray> page = pageSegment(settings, i);
        require(page.has_value());
        require(page->startsWith("<PAGE number=\"" + QByteArray::number(i + 1) + '"'));
        require(page->endsWith("</PAGE>\r\n"));
        expected += *page;
    }

    QByteArray written;
    QBuffer buffer(&written);
    buffer.open(QIODevice::WriteOnly);
    require(!writeDocument(buffer, settings).has_value());
    require(written == expected);
    // Lines break only between elements: every line is empty, one whole
    // element, or the closing tag.
    for (const QByteArray &line : written.split('\n')) {
        require(line.isEmpty() || line.endsWith('\r'));
        const QByteArray body = line.chopped(line.isEmpty() ? 0 : 1);
        require(body.isEmpty() || body == "</PAGE>" || (body.startsWith('<') && body.endsWith("/>")));
        require(body.count('"') % 2 == 0);
    }
    return 0;
}
