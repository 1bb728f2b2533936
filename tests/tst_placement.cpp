#include "book/booksettings.h"
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "book/placement.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

using namespace tarnwick;
using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(tarnwick::FitMode)
Q_DECLARE_METATYPE(tarnwick::PageRect)
Q_DECLARE_METATYPE(tarnwick::PictureSizes)

namespace {
// A rectangle as the failure messages show it.
QByteArray rectText(const tarnwick::PageRect &r)
{
    return QByteArray::number(r.left) + ',' + QByteArray::number(r.top) + ' ' + QByteArray::number(r.width) + 'x'
        + QByteArray::number(r.height);
}
} // namespace

namespace QTest {
template<>
char *toString(const tarnwick::PageRect &r)
{
    return qstrdup(rectText(r));
}
} // namespace QTest

class TestPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void place_data();
    void place();
    void randomBoxes();
    void roundTrip_data();
    void roundTrip();
    void storedMode_data();
    void storedMode();
    void unevenPages();
};

namespace {

QByteArray documentOf(const BookSettings &book, const PictureSizes &sizes)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const std::optional<QString> failure = writeDocument(buffer, book, sizes);
    if (failure)
        qFatal("cannot write the test document: %s", qPrintable(*failure));
    return buffer.data();
}

} // namespace

void TestPlacement::place_data()
{
    QTest::addColumn<FitMode>("mode");
    QTest::addColumn<PageRect>("box");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<PageRect>("placed");

    const PageRect book{0, 0, 800, 600};
    QTest::newRow("stretch ignores the picture") << FitMode::Stretch << PageRect{5, 6, 70, 80} << QSize(1, 1000)
                                                 << PageRect{5, 6, 70, 80};
    QTest::newRow("landscape photo") << FitMode::Contain << book << QSize(4000, 3000) << book;
    QTest::newRow("portrait photo") << FitMode::Contain << book << QSize(3000, 4000) << PageRect{175, 0, 450, 600};
    QTest::newRow("exact half rounds up") << FitMode::Contain << PageRect{5, 7, 10, 10} << QSize(4, 3)
                                          << PageRect{5, 8, 10, 8};
    QTest::newRow("odd gap: centre rounds down") << FitMode::Contain << PageRect{-3, 0, 11, 10} << QSize(1, 1)
                                                 << PageRect{-3, 0, 10, 10};
    QTest::newRow("one pixel, contain") << FitMode::Contain << book << QSize(1, 1) << PageRect{100, 0, 600, 600};
    QTest::newRow("one pixel, shrink") << FitMode::Shrink << book << QSize(1, 1) << PageRect{399, 299, 1, 1};
    QTest::newRow("thin line keeps one pixel") << FitMode::Contain << book << QSize(1, 65535)
                                               << PageRect{399, 0, 1, 600};
    QTest::newRow("equal to the box, contain") << FitMode::Contain << book << QSize(800, 600) << book;
    QTest::newRow("equal to the box, shrink") << FitMode::Shrink << book << QSize(800, 600) << book;
    QTest::newRow("small picture keeps its pixels") << FitMode::Shrink << PageRect{10, 20, 800, 600}
                                                    << QSize(100, 50) << PageRect{360, 295, 100, 50};
    QTest::newRow("too wide for shrink") << FitMode::Shrink << book << QSize(1600, 600) << PageRect{0, 150, 800, 300};
    QTest::newRow("too tall by one pixel") << FitMode::Shrink << book << QSize(800, 601) << PageRect{0, 0, 799, 600};
    // Products of these sides pass 2^32.
    QTest::newRow("biggest sides") << FitMode::Contain << PageRect{-32768, 32767, 32767, 32767}
                                   << QSize(131070, 131069) << PageRect{-32768, 32767, 32767, 32767};
    QTest::newRow("biggest, portrait") << FitMode::Contain << PageRect{0, 0, 32767, 32767} << QSize(65535, 131070)
                                       << PageRect{8191, 0, 16384, 32767};
    QTest::newRow("no size fills the box") << FitMode::Contain << book << QSize() << book;
}

void TestPlacement::place()
{
    QFETCH(FitMode, mode);
    QFETCH(PageRect, box);
    QFETCH(QSize, pixels);
    QFETCH(PageRect, placed);
    QCOMPARE(placePicture(mode, box, pixels), placed);
}

// Over random boxes and pictures: inside the box, touching it on one side (or
// one to one when shrinking a picture that fits), proportions kept within
// half a pixel, centred within half a pixel.
void TestPlacement::randomBoxes()
{
    QRandomGenerator random(18);
    for (int run = 0; run < 20000; ++run) {
        const FitMode mode = run % 2 ? FitMode::Contain : FitMode::Shrink;
        const PageRect box{random.bounded(-1000, 1000), random.bounded(-1000, 1000), random.bounded(10, 2001),
                           random.bounded(10, 2001)};
        const qint64 w0 = random.bounded(1, run % 3 ? 65536 : 3000);
        const qint64 h0 = random.bounded(1, run % 5 ? 65536 : 3000);
        const PageRect p = placePicture(mode, box, QSize(int(w0), int(h0)));
        const QByteArray where = rectText(box) + QByteArray(" picture ") + QByteArray::number(w0) + 'x'
            + QByteArray::number(h0) + " placed " + rectText(p);

        QVERIFY2(p.width >= 1 && p.height >= 1, where);
        QVERIFY2(p.left >= box.left && p.left + p.width <= box.left + box.width, where);
        QVERIFY2(p.top >= box.top && p.top + p.height <= box.top + box.height, where);
        QVERIFY2(qAbs(2 * (p.left - box.left) - (box.width - p.width)) <= 1, where);
        QVERIFY2(qAbs(2 * (p.top - box.top) - (box.height - p.height)) <= 1, where);

        const bool fits = w0 <= box.width && h0 <= box.height;
        if (mode == FitMode::Shrink && fits) {
            QVERIFY2(p.width == w0 && p.height == h0, where);
        } else {
            // Touching the box's width, the height ≈ h0 · W / w0 within half
            // a pixel (or 1 where that is below a half); or the other way round.
            const bool byWidth = p.width == box.width
                && (qAbs(2 * p.height * w0 - 2 * h0 * box.width) <= w0 || (p.height == 1 && 2 * h0 * box.width < w0));
            const bool byHeight = p.height == box.height
                && (qAbs(2 * p.width * h0 - 2 * w0 * box.height) <= h0 || (p.width == 1 && 2 * w0 * box.height < h0));
            QVERIFY2(byWidth || byHeight, where);
        }
    }
}

// A book written in each mode, read back and written again with what the
// reader and the inference give: the same bytes.
void TestPlacement::roundTrip_data()
{
    QTest::addColumn<FitMode>("mode");
    QTest::addColumn<QStringList>("box"); // left, top, width, height as typed
    QTest::addColumn<PictureSizes>("sizes");

    const PictureSizes album{{4000, 3000}, {3000, 4000}, {1024, 768}, {17, 2000}, {3, 1}};
    const PictureSizes wide{{4000, 3000}, {1600, 900}, {2000, 1000}};
    const PictureSizes small{{31, 20}, {100, 101}, {7, 7}};
    const PictureSizes mixed{{31, 20}, {5000, 100}, {7, 7}};
    for (const FitMode mode : {FitMode::Stretch, FitMode::Contain, FitMode::Shrink}) {
        const QByteArray name = QByteArray::number(int(mode));
        QTest::addRow("mode %s, album", name.constData()) << mode << QStringList{u"10"_s, u"20"_s, u"780"_s, u"560"_s} << album;
        QTest::addRow("mode %s, landscapes in an odd box", name.constData())
            << mode << QStringList{u"-3"_s, u"7"_s, u"701"_s, u"599"_s} << wide;
        QTest::addRow("mode %s, small pictures", name.constData())
            << mode << QStringList{u"0"_s, u"1"_s, u"523"_s, u"401"_s} << small;
        QTest::addRow("mode %s, small and wide", name.constData())
            << mode << QStringList{u"5"_s, u"5"_s, u"400"_s, u"300"_s} << mixed;
        QTest::addRow("mode %s, one page", name.constData()) << mode << QStringList{u"0"_s, u"0"_s, u"800"_s, u"600"_s}
                                                             << PictureSizes{{3000, 4000}};
    }
    QTest::newRow("typed with blanks") << FitMode::Stretch << QStringList{u" 10"_s, u"20 "_s, u"780"_s, u"5.6e2"_s} << album;
}

void TestPlacement::roundTrip()
{
    QFETCH(FitMode, mode);
    QFETCH(QStringList, box);
    QFETCH(PictureSizes, sizes);

    BookSettings book;
    book.bookWidth = QStringLiteral("800");
    book.bookHeight = QStringLiteral("600");
    std::tie(book.pictureLeft, book.pictureTop, book.pictureWidth, book.pictureHeight) =
        std::tuple(box[0], box[1], box[2], box[3]);
    book.fitMode = mode;
    for (size_t i = 0; i < sizes.size(); ++i)
        book.pictures.append(QStringLiteral("p%1.jpg").arg(i));
    const QByteArray first = documentOf(book, sizes);

    BookSettings read;
    std::vector<PagePlacement> places;
    QCOMPARE(readDocument(first, read, &places), std::nullopt);
    QCOMPARE(places.size(), sizes.size());
    const InferredPlacement inferred = inferPlacement(places, sizes, 800, 600);
    QVERIFY(!inferred.mismatched);
    read.fitMode = inferred.mode;
    std::tie(read.pictureLeft, read.pictureTop, read.pictureWidth, read.pictureHeight) =
        std::tuple(inferred.box.left, inferred.box.top, inferred.box.width, inferred.box.height);
    QCOMPARE(documentOf(read, sizes), first);
}

// The eleventh stored setting: only "1" and "2" are not stretch.
void TestPlacement::storedMode_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<FitMode>("mode");
    QTest::newRow("missing") << QString() << FitMode::Stretch;
    QTest::newRow("0") << u"0"_s << FitMode::Stretch;
    QTest::newRow("1") << u"1"_s << FitMode::Contain;
    QTest::newRow("2 with blanks") << u" 2 "_s << FitMode::Shrink;
    QTest::newRow("3") << u"3"_s << FitMode::Stretch;
    QTest::newRow("word") << u"contain"_s << FitMode::Stretch;
}

void TestPlacement::storedMode()
{
    QFETCH(QString, stored);
    QFETCH(FitMode, mode);

    BookSettings book;
    book.fitMode = FitMode::Shrink;
    StoredTexts texts;
    if (!stored.isNull())
        texts.insert(QStringLiteral("fitmode"), stored);
    book.restoreStored(texts);
    QCOMPARE(book.fitMode, mode);
    const QList<StoredValue> values = book.storedValues();
    QCOMPARE(values.size(), 11);
    QCOMPARE(values.last(), StoredValue(QStringLiteral("fitmode"), fitModeText(mode)));
    QCOMPARE(fitModeFromText(values.last().second), mode);
}

// A hand-edited book whose pages follow no way of placing: stretched, with
// page 1's placement, and marked so the window can say so.
void TestPlacement::unevenPages()
{
    const std::vector<PagePlacement> uneven{{u"0"_s, u"0"_s, u"100"_s, u"100"_s}, {u"50"_s, u"0"_s, u"100"_s, u"100"_s}};
    const InferredPlacement inferred = inferPlacement(uneven, {{100, 100}, {100, 100}}, 800, 600);
    QVERIFY(inferred.mismatched);
    QCOMPARE(inferred.mode, FitMode::Stretch);
    QCOMPARE(inferred.box, uneven.front());
}

QTEST_APPLESS_MAIN(TestPlacement)
#include "tst_placement.moc"
