#include "book/dmlreader.h"
#include "cli/makecommand.h"
#include "export/bookexport.h"
#include "export/picturefacts.h"
#include "export/exportnames.h"
#include "export/exporttask.h"
#include "export/exifupright.h"
#include "export/jpegturn.h"
#include "queue/workqueue.h"

#include "cameraphoto.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <turbojpeg.h>

using namespace tarnwick;

namespace {

// Four flat quadrants of different colours: each of the eight turns and
// mirrors puts a different colour in each corner.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(220, 30, 30));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(30, 200, 40));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(40, 40, 220));
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(240, 230, 60));
    return image;
}

QImage decode(const QByteArray &bytes, bool autoTransform)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(autoTransform);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// The mean difference per channel between small and the part of large at (dx, dy).
double meanDifference(const QImage &small, const QImage &large, int dx, int dy)
{
    qint64 sum = 0;
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            const QRgb a = small.pixel(x, y);
            const QRgb b = large.pixel(x + dx, y + dy);
            sum += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    }
    return double(sum) / (3.0 * small.width() * small.height());
}

// A four-channel JPEG as TurboJPEG writes one from CMYK pixels (YCCK, with an Adobe block).
QByteArray ycckJpeg(int width, int height)
{
    QByteArray pixels(width * height * 4, '\0');
    for (int i = 0; i < width * height; ++i) {
        const bool left = (i % width) < width / 2;
        pixels[i * 4 + 0] = char(left ? 0 : 200); // inks as Adobe stores them: 255 is none
        pixels[i * 4 + 1] = char(left ? 255 : 60);
        pixels[i * 4 + 2] = char(255);
        pixels[i * 4 + 3] = char(230);
    }
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, reinterpret_cast<unsigned char *>(pixels.data()), width, 0, height, TJPF_CMYK, &out, &size,
                TJSAMP_420, 90, 0);
    const QByteArray jpeg(reinterpret_cast<char *>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

// Qt writes no GIF: a logical screen of the given size, one colour table of
// two and one tiny image.
QByteArray gifBytes(quint16 width, quint16 height)
{
    QByteArray gif("GIF89a");
    const auto put16 = [&](quint16 value) { gif += char(value & 0xFF); gif += char(value >> 8); };
    put16(width);
    put16(height);
    gif += QByteArray::fromHex("800000" "000000" "ffffff" "2c" "00000000");
    put16(1);
    put16(1);
    gif += QByteArray::fromHex("00" "02024c01003b");
    return gif;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry of a folder with the hash of its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(path, QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1));
    }
    return entries;
}

BookSettings bookOf(const QString &folder, const QStringList &pictures)
{
    BookSettings book;
    book.pictureFolder = folder + u'/';
    book.pictures = pictures;
    book.setBookSize(QStringLiteral("400"), QStringLiteral("300"));
    return book;
}

std::optional<ExportFailure> exportBook(const BookSettings &book, const QString &target, int maxScale = 0)
{
    WorkQueue queue(2);
    return ExportTask::runAndWait(std::make_unique<BookExport>(book, target, maxScale, readExportFacts), queue);
}

} // namespace

class tst_Export : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void orientation_data();
    void orientation();
    void fourChannelBecomesRgb();
    void names_data();
    void names();
    void failedExportLeavesNothing_data();
    void failedExportLeavesNothing();
    void bookFolderReopens();
    void commandLine_data();
    void commandLine();
};

void tst_Export::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<bool>("bigEndian");
    // 200 x 120 leaves partial blocks on both sides, 192 x 128 none.
    for (int orientation = 1; orientation <= 8; ++orientation) {
        QTest::addRow("%d, partial blocks", orientation) << orientation << QSize(200, 120) << (orientation % 2 == 0);
        QTest::addRow("%d, whole blocks", orientation) << orientation << QSize(192, 128) << (orientation % 2 == 1);
    }
}

void tst_Export::orientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, stored);
    QFETCH(bool, bigEndian);
    const QByteArray thumbnail = cameraphoto::jpegBytes(quadrants(32, 24));
    const QByteArray original = cameraphoto::withExif(cameraphoto::jpegBytes(quadrants(stored.width(), stored.height())),
                                                      cameraphoto::exifBlock(thumbnail, bigEndian, quint16(orientation)));
    QByteArray turned;
    QCOMPARE(turnJpegUpright(original, orientation, turned), std::nullopt);

    const QImage shown = decode(original, true);
    const QImage exported = decode(turned, false);
    QVERIFY(!exported.isNull());
    // Only partial edge blocks may go: less than one 16-pixel block per side.
    QVERIFY(exported.width() <= shown.width() && exported.width() > shown.width() - 16);
    QVERIFY(exported.height() <= shown.height() && exported.height() > shown.height() - 16);
    if (stored.width() % 16 == 0 && stored.height() % 16 == 0)
        QCOMPARE(exported.size(), shown.size());
    double best = 255;
    for (const int dx : {0, shown.width() - exported.width()})
        for (const int dy : {0, shown.height() - exported.height()})
            best = qMin(best, meanDifference(exported, shown, dx, dy));
    QVERIFY2(best < 3.0, qPrintable(QString::number(best)));

    // Upright now, and nothing left to turn a second time.
    QBuffer buffer(&turned);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QCOMPARE(reader.transformation(), QImageIOHandler::TransformationNone);
    // The camera's thumbnail still shows the picture as stored: it goes.
    if (orientation == 1)
        QCOMPARE(turned, original);
    else
        QVERIFY(!turned.contains(thumbnail.left(64)));
}

void tst_Export::fourChannelBecomesRgb()
{
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QVERIFY(QDir().mkdir(pictures));
    const QByteArray ycck = ycckJpeg(64, 48);
    QVERIFY(readJpegFrame(ycck)->fourChannel);
    writeFile(pictures + QStringLiteral("/scan.JPG"), ycck);

    const QString target = dir.filePath(QStringLiteral("out"));
    QCOMPARE(exportBook(bookOf(pictures, {QStringLiteral("scan.JPG")}), target), std::nullopt);
    const QByteArray exported = readFile(target + QStringLiteral("/scan.jpg"));
    const std::optional<JpegFrame> frame = readJpegFrame(exported);
    QVERIFY(frame && !frame->fourChannel);
    QCOMPARE(frame->size, QSize(64, 48));
    QVERIFY(meanDifference(decode(exported, false), decode(ycck, false), 0, 0) < 3.0);
}

void tst_Export::names_data()
{
    QTest::addColumn<QStringList>("pictures");
    QTest::addColumn<QList<bool>>("converted");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("kept") << QStringList{u"a.jpg"_qs, u"封面.gif"_qs} << QList<bool>{false, false}
                          << QStringList{u"a.jpg"_qs, u"封面.gif"_qs};
    QTest::newRow("not in GBK") << QStringList{u"a.jpg"_qs, u"한국.jpg"_qs} << QList<bool>{false, false}
                                << QStringList{u"a.jpg"_qs, u"p00007.jpg"_qs};
    QTest::newRow("quote and control") << QStringList{u"say \"hi\".gif"_qs, u"tab\t.jpg"_qs}
                                       << QList<bool>{false, true} << QStringList{u"p00001.gif"_qs, u"p00007.jpg"_qs};
    QTest::newRow("windows forbids") << QStringList{u"a:b.jpg"_qs, u"end.jpg."_qs} << QList<bool>{false, false}
                                     << QStringList{u"p00001.jpg"_qs, u"p00007"_qs};
    QTest::newRow("converted ends in .jpg") << QStringList{u"scan.JPG"_qs, u"scan.jpg"_qs}
                                            << QList<bool>{true, false} << QStringList{u"scan.jpg"_qs, u"p00007.jpg"_qs};
    QTest::newRow("page name taken") << QStringList{u"p00007.jpg"_qs, u"P00007.JPG"_qs} << QList<bool>{false, false}
                                     << QStringList{u"p00007.jpg"_qs, u"p00007-2.JPG"_qs};
}

void tst_Export::names()
{
    QFETCH(QStringList, pictures);
    QFETCH(QList<bool>, converted);
    QFETCH(QStringList, expected);
    const std::vector<int> pages{1, 7};
    QCOMPARE(exportedNames(pictures, std::vector<bool>(converted.cbegin(), converted.cend()), pages), expected);
}

void tst_Export::failedExportLeavesNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("picture");
    QTest::newRow("vanished picture") << u"vanished"_qs << u"b.jpg"_qs;
    QTest::newRow("not a picture") << u"text"_qs << u"b.jpg"_qs;
    QTest::newRow("target not empty") << u"occupied"_qs << QString();
    QTest::newRow("target in the picture folder") << u"inside"_qs << QString();
    QTest::newRow("cancelled") << u"cancel"_qs << QString();
}

void tst_Export::failedExportLeavesNothing()
{
    QFETCH(QString, failure);
    QFETCH(QString, picture);
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QVERIFY(QDir().mkdir(pictures));
    const QStringList names{u"a.jpg"_qs, u"b.jpg"_qs, u"c.jpg"_qs};
    for (const QString &name : names)
        writeFile(pictures + u'/' + name, cameraphoto::jpegBytes(quadrants(64, 48)));
    QString target = dir.filePath(QStringLiteral("deep/down/out"));
    if (failure == u"vanished")
        QVERIFY(QFile::remove(pictures + QStringLiteral("/b.jpg")));
    if (failure == u"text")
        writeFile(pictures + QStringLiteral("/b.jpg"), "not a picture");
    if (failure == u"occupied") {
        QVERIFY(QDir().mkpath(target));
        writeFile(target + QStringLiteral("/.keep"), "x");
    }
    if (failure == u"inside")
        target = pictures + QStringLiteral("/book");
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    WorkQueue queue(2);
    ExportTask task(std::make_unique<BookExport>(bookOf(pictures, names), target, 0, readExportFacts), queue);
    task.start();
    if (failure == u"cancel")
        task.cancel();
    while (!task.isFinished()) {
        queue.waitForIdle();
        QCoreApplication::sendPostedEvents(&task, QEvent::MetaCall);
    }
    QVERIFY(task.failure());
    QCOMPARE(task.failure()->cancelled, failure == u"cancel");
    QCOMPARE(task.failure()->picture, picture);
    if (!picture.isEmpty())
        QVERIFY(!task.failure()->reason.isEmpty());
    QCOMPARE(snapshot(dir.path()), before);
}

void tst_Export::bookFolderReopens()
{
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QVERIFY(QDir().mkdir(pictures));
    writeFile(pictures + QStringLiteral("/big.gif"), gifBytes(800, 600));
    writeFile(pictures + QStringLiteral("/big.jpg"), cameraphoto::jpegBytes(quadrants(800, 600)));
    writeFile(pictures + QStringLiteral("/small.jpg"), cameraphoto::jpegBytes(quadrants(120, 60)));
    writeFile(pictures + QStringLiteral("/left out.jpg"), cameraphoto::jpegBytes(quadrants(20, 20)));
    const QMap<QString, QByteArray> before = snapshot(pictures);

    BookSettings book = bookOf(pictures, {u"small.jpg"_qs, u"big.jpg"_qs, u"big.gif"_qs, u"small.jpg"_qs});
    book.pictureWidth = QStringLiteral("200");
    book.pictureHeight = QStringLiteral("150");
    book.pictureLeft = QStringLiteral("5");
    book.fitMode = FitMode::Contain;
    book.backgroundColour = 0x123456;
    const QString target = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(target)); // empty: taken
    QCOMPARE(exportBook(book, target, 2), std::nullopt);

    QCOMPARE(snapshot(pictures), before);
    QStringList written = QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    written.sort();
    QCOMPARE(written, (QStringList{u"MyEBook.dml"_qs, u"big.gif"_qs, u"big.jpg"_qs, u"small.jpg"_qs}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{u"album"_qs, u"out"_qs}));
    // Twice the placed 200 x 150 at most; a GIF and a small photo as they were.
    QCOMPARE(QImageReader(target + QStringLiteral("/big.jpg")).size(), QSize(400, 300));
    QCOMPARE(readFile(target + QStringLiteral("/big.gif")), readFile(pictures + QStringLiteral("/big.gif")));
    QCOMPARE(readFile(target + QStringLiteral("/small.jpg")), readFile(pictures + QStringLiteral("/small.jpg")));

    BookSettings reopened;
    reopened.pictureFolder = target + u'/';
    std::vector<PagePlacement> placements;
    QCOMPARE(readDocumentFile(target + QStringLiteral("/MyEBook.dml"), reopened, &placements), std::nullopt);
    QCOMPARE(reopened.pictures, book.pictures);
    QCOMPARE(reopened.bookWidth, book.bookWidth);
    QCOMPARE(reopened.backgroundColour, book.backgroundColour);
    // The pages are placed by the exported pictures: the same box and way of placing come back.
    std::vector<QSize> sizes;
    for (const QString &page : std::as_const(reopened.pictures))
        sizes.push_back(QImageReader(target + u'/' + page).size());
    const InferredPlacement inferred = inferPlacement(placements, sizes, 400, 300);
    QCOMPARE(inferred.mode, FitMode::Contain);
    QCOMPARE(inferred.box, (PagePlacement{u"5"_qs, u"0"_qs, u"200"_qs, u"150"_qs}));
}

void tst_Export::commandLine_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("written");
    const QStringList all{u"MyEBook.dml"_qs, u"a.jpg"_qs, u"b.jpg"_qs};
    QTest::newRow("export") << QStringList{u"--export"_qs, u"OUT"_qs} << int(MakeWritten) << all;
    QTest::newRow("scaled") << QStringList{u"--export"_qs, u"OUT"_qs, u"--max-scale"_qs, u"8"_qs} << int(MakeWritten) << all;
    QTest::newRow("scale 0") << QStringList{u"--export"_qs, u"OUT"_qs, u"--max-scale"_qs, u"0"_qs}
                             << int(MakeUsageError) << QStringList();
    QTest::newRow("scale 9") << QStringList{u"--export"_qs, u"OUT"_qs, u"--max-scale"_qs, u"9"_qs}
                             << int(MakeUsageError) << QStringList();
    QTest::newRow("scale alone") << QStringList{u"--max-scale"_qs, u"2"_qs} << int(MakeUsageError) << QStringList();
    QTest::newRow("check fails") << QStringList{u"--export"_qs, u"OUT"_qs, u"--book-width"_qs, u"9"_qs}
                                 << int(MakeCheckFailed) << QStringList();
}

void tst_Export::commandLine()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, written);
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QVERIFY(QDir().mkdir(pictures));
    writeFile(pictures + QStringLiteral("/a.jpg"), cameraphoto::jpegBytes(quadrants(64, 48)));
    writeFile(pictures + QStringLiteral("/b.jpg"), cameraphoto::jpegBytes(quadrants(64, 48)));
    const QMap<QString, QByteArray> before = snapshot(pictures);
    const QString target = dir.filePath(QStringLiteral("out"));
    options.replaceInStrings(QStringLiteral("OUT"), target);
    QBuffer input;
    input.open(QIODevice::ReadOnly);
    const MakeResult result = runMake(QStringList{u"tarnwick-make"_qs} + options + QStringList{pictures}, input);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.standardOutput, exitCode == MakeWritten ? target + u'\n' : QString());
    QStringList found = QDir(target).entryList(QDir::Files);
    found.sort();
    QCOMPARE(found, written);
    QCOMPARE(snapshot(pictures), before);
}

QTEST_GUILESS_MAIN(tst_Export)
#include "tst_export.moc"
