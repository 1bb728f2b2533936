#include "book/placement.h"

#include "book/boxnumber.h"

#include <algorithm>
#include <optional>

namespace tarnwick {

namespace {

qint64 halfRoundedDown(qint64 value)
{
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// numerator / denominator to the nearest whole number, a half rounding up;
// both positive.
qint64 nearestQuotient(qint64 numerator, qint64 denominator)
{
    return (2 * numerator + denominator) / (2 * denominator);
}

// A value the document holds as plain decimal: digits with an optional minus
// sign, no blanks, no leading zeros, exactly as placement writes it.
std::optional<qint64> plainDecimal(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || QString::number(value) != text)
        return std::nullopt;
    return value;
}

std::optional<PageRect> plainRect(const PagePlacement &page)
{
    const std::optional<qint64> left = plainDecimal(page.left), top = plainDecimal(page.top),
                                width = plainDecimal(page.width), height = plainDecimal(page.height);
    if (!left || !top || !width || !height)
        return std::nullopt;
    return PageRect{*left, *top, *width, *height};
}

PagePlacement placementText(const PageRect &rect)
{
    return {QString::number(rect.left), QString::number(rect.top), QString::number(rect.width),
            QString::number(rect.height)};
}

// A box side the checks accept: within 10..2000 and, with its offset, inside
// the book (when the book's side is known).
bool acceptedSide(qint64 offset, qint64 side, int bookSide)
{
    if (side < 10 || side > 2000 || offset < -32768 || offset > 32767)
        return false;
    return bookSide <= 0 || (side <= bookSide && offset + side <= bookSide);
}

} // namespace

PageRect placePicture(FitMode mode, const PageRect &box, QSize pixels)
{
    if (mode == FitMode::Stretch || pixels.width() <= 0 || pixels.height() <= 0 || box.width <= 0
        || box.height <= 0)
        return box;
    const qint64 w0 = pixels.width();
    const qint64 h0 = pixels.height();
    PageRect placed;
    if (mode == FitMode::Shrink && w0 <= box.width && h0 <= box.height) {
        placed.width = w0;
        placed.height = h0;
    } else if (w0 * box.height >= h0 * box.width) {
        placed.width = box.width;
        placed.height = std::max<qint64>(1, nearestQuotient(h0 * box.width, w0));
    } else {
        placed.height = box.height;
        placed.width = std::max<qint64>(1, nearestQuotient(w0 * box.height, h0));
    }
    placed.left = box.left + halfRoundedDown(box.width - placed.width);
    placed.top = box.top + halfRoundedDown(box.height - placed.height);
    return placed;
}

InferredPlacement inferPlacement(const std::vector<PagePlacement> &pages, const std::vector<QSize> &pixels,
                                 int bookWidth, int bookHeight)
{
    InferredPlacement result;
    if (pages.empty())
        return result;
    result.box = pages.front();
    if (std::all_of(pages.cbegin(), pages.cend(), [&](const PagePlacement &page) { return page == pages.front(); }))
        return result;

    struct KnownPage
    {
        PageRect placed;
        QSize pixels;
    };
    std::vector<KnownPage> known;
    known.reserve(pages.size());
    qint64 widest = 0, tallest = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        const QSize size = i < pixels.size() ? pixels[i] : QSize();
        if (size.width() <= 0 || size.height() <= 0)
            continue;
        const std::optional<PageRect> placed = plainRect(pages[i]);
        if (!placed) {
            result.mismatched = true;
            return result;
        }
        known.push_back({*placed, size});
        widest = std::max(widest, placed->width);
        tallest = std::max(tallest, placed->height);
    }

    // Every picture touches the box on at least one side or keeps its
    // pixels, so the box is the widest and tallest placement, or a pixel or
    // two more where no picture reached a side: the centring rounds down, so
    // only the parity of the box's side shows in the offsets.
    for (const FitMode mode : {FitMode::Contain, FitMode::Shrink}) {
        for (qint64 extraWidth = 0; extraWidth <= 2 && !known.empty(); ++extraWidth) {
            for (qint64 extraHeight = 0; extraHeight <= 2; ++extraHeight) {
                PageRect box;
                box.width = std::max<qint64>(widest, 10) + extraWidth;
                box.height = std::max<qint64>(tallest, 10) + extraHeight;
                const KnownPage &first = known.front();
                box.left = first.placed.left - halfRoundedDown(box.width - first.placed.width);
                box.top = first.placed.top - halfRoundedDown(box.height - first.placed.height);
                if (!acceptedSide(box.left, box.width, bookWidth) || !acceptedSide(box.top, box.height, bookHeight))
                    continue;
                const bool fits = std::all_of(known.cbegin(), known.cend(), [&](const KnownPage &page) {
                    return placePicture(mode, box, page.pixels) == page.placed;
                });
                if (fits) {
                    result.mode = mode;
                    result.box = placementText(box);
                    return result;
                }
            }
        }
    }
    result.mismatched = true;
    return result;
}

QString fitModeText(FitMode mode)
{
    return QString::number(int(mode));
}

FitMode fitModeFromText(const QString &text)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed == u"1")
        return FitMode::Contain;
    if (trimmed == u"2")
        return FitMode::Shrink;
    return FitMode::Stretch;
}

} // namespace tarnwick
