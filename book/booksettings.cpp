#include "book/booksettings.h"

#include "book/boxnumber.h"
#include "book/colourvalue.h"

namespace tarnwick {

namespace {

enum class StoredKind { Text, Colour, Border, FitMode };

// The key of each remembered input, in the order they are written. The top
// offset lives under "right": the key names are kept as the settings files
// of earlier runs have them.
struct StoredKey
{
    const char16_t *key;
    StoredKind kind;
    QString BookSettings::*text = nullptr;
    ColourValue BookSettings::*colour = nullptr;
};

const StoredKey storedKeys[] = {
    {u"dmlfilename", StoredKind::Text, &BookSettings::documentName},
    {u"width1", StoredKind::Text, &BookSettings::bookWidth},
    {u"height1", StoredKind::Text, &BookSettings::bookHeight},
    {u"width2", StoredKind::Text, &BookSettings::pictureWidth},
    {u"height2", StoredKind::Text, &BookSettings::pictureHeight},
    {u"left", StoredKind::Text, &BookSettings::pictureLeft},
    {u"right", StoredKind::Text, &BookSettings::pictureTop},
    {u"BGColor", StoredKind::Colour, nullptr, &BookSettings::backgroundColour},
    {u"border", StoredKind::Border},
    {u"bordercolor", StoredKind::Colour, nullptr, &BookSettings::borderColour},
    {u"fitmode", StoredKind::FitMode},
};

} // namespace

QString BookSettings::outputPath() const
{
    return trimBlanks(pictureFolder) + trimBlanks(documentName);
}

void BookSettings::setBookSize(const QString &width, const QString &height)
{
    bookWidth = pictureWidth = width;
    bookHeight = pictureHeight = height;
}

QSize presetBookSize(QSize pixels)
{
    constexpr qint64 kLargest = 2000, kSmallest = 10;
    const qint64 longer = std::max(pixels.width(), pixels.height());
    if (longer <= kLargest)
        return pixels;
    // Each side scaled by kLargest / longer and rounded to the nearest, an
    // exact half up, in integers so that no side lands a unit off.
    const auto scaled = [&](qint64 side) {
        return int(std::max(kSmallest, (2 * side * kLargest + longer) / (2 * longer)));
    };
    return QSize(scaled(pixels.width()), scaled(pixels.height()));
}

void BookSettings::presetFromFirstPicture(QSize pixels)
{
    const QSize book = presetBookSize(pixels);
    setBookSize(QString::number(book.width()), QString::number(book.height()));
}

QList<StoredValue> BookSettings::storedValues() const
{
    QList<StoredValue> values;
    values.reserve(qsizetype(std::size(storedKeys)));
    for (const StoredKey &entry : storedKeys) {
        QString text;
        switch (entry.kind) {
        case StoredKind::Text:
            text = trimBlanks(this->*entry.text);
            break;
        case StoredKind::Colour:
            text = toStoredColourText(this->*entry.colour);
            break;
        case StoredKind::Border:
            text = QString::number(int(border));
            break;
        case StoredKind::FitMode:
            text = fitModeText(fitMode);
            break;
        }
        values.append({QString::fromUtf16(entry.key), text});
    }
    return values;
}

void BookSettings::restoreStored(const StoredTexts &stored)
{
    const BookSettings defaults;
    for (const StoredKey &entry : storedKeys) {
        const QString text = stored.value(QString::fromUtf16(entry.key));
        switch (entry.kind) {
        case StoredKind::Text: {
            const QString trimmed = trimBlanks(text);
            this->*entry.text = trimmed.isEmpty() ? defaults.*entry.text : trimmed;
            break;
        }
        case StoredKind::Colour:
            if (const std::optional<ColourValue> colour = fromStoredColourText(text))
                this->*entry.colour = *colour;
            break;
        case StoredKind::Border:
            if (trimBlanks(text) == u"1")
                border = BorderSwitch::On;
            break;
        case StoredKind::FitMode:
            fitMode = fitModeFromText(text);
            break;
        }
    }
}

} // namespace tarnwick
