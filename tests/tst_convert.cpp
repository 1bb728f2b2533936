#include "cli/errorprefixer.h"
#include "cli/makecommand.h"
#include "convert/conversiontask.h"
#include "facts/picturefolder.h"
#include "queue/workqueue.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <libheif/heif.h>

using namespace tarnwick;

namespace {

// A list of names written as plain literals.
inline QStringList L(std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list.append(QString::fromUtf8(name));
    return list;
}

using Kind = ConversionResult::Kind;

QByteArray encoded(const QImage &image, const char *format, std::optional<QImageIOHandler::Transformation> turn = {})
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (turn)
        writer.setTransformation(*turn);
    return writer.write(image) ? bytes : QByteArray();
}

QImage filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

// Left half transparent, right half opaque red.
QImage halfTransparent()
{
    QImage image = filled(40, 20, Qt::transparent, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = image.width() / 2; x < image.width(); ++x)
            image.setPixelColor(x, y, Qt::red);
    return image;
}

// A HEIC file of 64 x 48 pixels encoded with libheif; nothing, and why, when
// this libheif cannot encode or decode HEVC.
QByteArray heicPicture(QString &missing)
{
    if (!heif_have_decoder_for_format(heif_compression_HEVC)) {
        missing = QStringLiteral("libheif has no HEVC decoder here");
        return {};
    }
    if (!heif_have_encoder_for_format(heif_compression_HEVC)) {
        missing = QStringLiteral("libheif has no HEVC encoder here to make the test picture");
        return {};
    }
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *image = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok
        && heif_image_create(64, 48, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code == heif_error_Ok
        && heif_image_add_plane(image, heif_channel_interleaved, 64, 48, 8).code == heif_error_Ok) {
        int stride = 0;
        uint8_t *pixels = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                pixels[y * stride + x * 3] = 0x20;
                pixels[y * stride + x * 3 + 1] = 0x60;
                pixels[y * stride + x * 3 + 2] = 0xD0;
            }
        heif_encoder_set_lossy_quality(encoder, 95);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("x.heic")));
        if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code == heif_error_Ok
            && heif_context_write_to_file(context, path.constData()).code == heif_error_Ok) {
            QFile file(QFile::decodeName(path));
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
        }
    }
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    if (bytes.isEmpty())
        missing = QStringLiteral("libheif could not encode the test picture");
    return bytes;
}

// A BMP header of 40000 x 40000 pixels of 24 bits with no pixels after it:
// 4.8 GB once decoded, more than any reader of Tarnwick's allows.
QByteArray hugeBmpHeader()
{
    // Each field as value and width in bytes, little-endian.
    constexpr std::pair<quint32, int> fields[] = {{54, 4},    {0, 4},    {54, 4}, {40, 4}, {40000, 4},
                                                  {40000, 4}, {1, 2},    {24, 2}, {0, 4},  {0, 4},
                                                  {2835, 4},  {2835, 4}, {0, 4},  {0, 4}};
    QByteArray header("BM");
    for (const auto &[value, bytes] : fields)
        for (int i = 0; i < bytes; ++i)
            header.append(char(value >> (8 * i) & 0xFF));
    return header;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether a JPEG's frame is baseline: a SOF0 marker and no other frame marker.
bool isBaselineJpeg(const QByteArray &jpeg)
{
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker == 0xC0;
        at += 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
    }
    return false;
}

bool near(QColor a, QColor b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// The page colour of the tests, red in the lowest byte: red 0x00, green 0x80, blue 0xFF.
constexpr quint32 kBackground = 0xFF8000;
const QColor kBackgroundColour(0x00, 0x80, 0xFF);

} // namespace

class tst_Convert : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The listing takes GIF and JPEG names only and finds, in the same pass,
    // the ordinary files in formats a conversion takes.
    void listingFindsOtherFormats()
    {
        QTemporaryDir dir;
        for (const char *name : {"a.jpg", "b.PNG", "c.jpeg", "d.Heic", "e.tif", "f.TIFF", "g.webp", "h.bmp",
                                 "i.jpe", "j.heif", ".hidden.png", "k.png.txt", "l.gif", ".png"})
            QVERIFY(writeFile(dir.filePath(QString::fromLatin1(name)), "x"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
        QStringList others;
        const std::optional<QStringList> listed = listPictures(dir.path() + u'/', nullptr, &others);
        QVERIFY(listed);
        QCOMPARE(*listed, L({"a.jpg", "l.gif"}));
        QCOMPARE(others, L({"b.PNG", "c.jpeg", "d.Heic", "e.tif", "f.TIFF", "g.webp", "h.bmp", "i.jpe",
                                      "j.heif"}));
        QCOMPARE(convertedName(QStringLiteral("IMG_22.jpeg")), QStringLiteral("IMG_22.jpg"));
        QCOMPARE(convertedName(QStringLiteral("a.b.PNG")), QStringLiteral("a.b.jpg"));
    }

    void convertsEachFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("taken"); // what the JPEG name holds already, when anything
        QTest::addColumn<int>("kind");
        QTest::addColumn<QSize>("size");     // of the written JPEG
        QTest::addColumn<QColor>("left");    // its colour at the left edge
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<QString>("missing"); // why the row cannot run here

        const QImage blue = filled(32, 24, QColor(0x20, 0x40, 0xC0));
        const QByteArray jpeg = encoded(blue, "JPEG");
        QTest::newRow("PNG") << QStringLiteral("a.png") << encoded(blue, "PNG") << QByteArray() << int(Kind::Written)
                             << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 4 << QString();
        QTest::newRow("PNG with alpha, on the page colour")
            << QStringLiteral("b.PNG") << encoded(halfTransparent(), "PNG") << QByteArray() << int(Kind::Written) << QSize(40, 20)
            << kBackgroundColour << 4 << QString();
        QTest::newRow("BMP") << QStringLiteral("c.bmp") << encoded(blue, "BMP") << QByteArray() << int(Kind::Written)
                             << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 4 << QString();
        QTest::newRow("WebP") << QStringLiteral("d.webp") << encoded(blue, "WEBP") << QByteArray() << int(Kind::Written)
                              << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 12 << QString();
        QTest::newRow("TIFF") << QStringLiteral("e.tiff") << encoded(blue, "TIFF") << QByteArray() << int(Kind::Written)
                              << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 4 << QString();
        QTest::newRow("TIFF turned by its orientation")
            << QStringLiteral("f.tif") << encoded(filled(40, 20, Qt::green), "TIFF", QImageIOHandler::TransformationRotate90)
            << QByteArray() << int(Kind::Written) << QSize(20, 40) << QColor(Qt::green) << 4 << QString();
        QString noHeic;
        const QByteArray heic = heicPicture(noHeic);
        QTest::newRow("HEIC") << QStringLiteral("g.heic") << heic << QByteArray() << int(Kind::Written) << QSize(64, 48)
                              << QColor(0x20, 0x60, 0xD0) << 16 << noHeic;
        QTest::newRow("JPEG named .jpeg, copied") << QStringLiteral("h.jpeg") << jpeg << QByteArray() << int(Kind::Written)
                                                  << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 8 << QString();
        QTest::newRow("JPEG named .JPE, copied") << QStringLiteral("i.JPE") << jpeg << QByteArray() << int(Kind::Written)
                                                 << QSize(32, 24) << QColor(0x20, 0x40, 0xC0) << 8 << QString();
        QTest::newRow("name taken") << QStringLiteral("j.png") << encoded(blue, "PNG") << QByteArrayLiteral("older")
                                    << int(Kind::Skipped) << QSize() << QColor() << 0 << QString();
        QTest::newRow("damaged PNG") << QStringLiteral("k.png") << encoded(blue, "PNG").left(60) << QByteArray()
                                     << int(Kind::Failed) << QSize() << QColor() << 0 << QString();
        QTest::newRow("BMP whose header asks for 40000 x 40000")
            << QStringLiteral("m.bmp") << hugeBmpHeader() << QByteArray() << int(Kind::Failed) << QSize() << QColor() << 0 << QString();
        QTest::newRow("text named .png") << QStringLiteral("l.png") << QByteArrayLiteral("not a picture") << QByteArray()
                                         << int(Kind::Failed) << QSize() << QColor() << 0 << QString();
    }

    // Each format becomes a baseline JPEG beside it (a .jpeg or .jpe byte
    // for byte), never over a taken name; the picture itself never changes
    // and no temporary is left.
    void convertsEachFormat()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, taken);
        QFETCH(int, kind);
        QFETCH(QSize, size);
        QFETCH(QColor, left);
        QFETCH(int, tolerance);
        QFETCH(QString, missing);
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(!bytes.isEmpty());
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(writeFile(folder + name, bytes));
        const QString target = convertedName(name);
        if (!taken.isEmpty())
            QVERIFY(writeFile(folder + target, taken));

        WorkQueue queue(2);
        const std::vector<ConversionItem> items = planConversion({name});
        const std::vector<ConversionResult> results =
            ConversionTask::runAndWait(folder, items, kBackground, queue);
        QCOMPARE(results.size(), size_t(1));
        QCOMPARE(int(results[0].kind), kind);
        QCOMPARE(readFile(folder + name), bytes);
        QStringList expected{name};
        if (kind == int(Kind::Written) || !taken.isEmpty())
            expected.append(target);
        QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        expected.sort();
        present.sort();
        QCOMPARE(present, expected);

        if (kind == int(Kind::Failed))
            QVERIFY2(!results[0].reason.isEmpty(), "a failure says why");
        if (kind != int(Kind::Written)) {
            if (!taken.isEmpty())
                QCOMPARE(readFile(folder + target), taken);
            return;
        }
        const QByteArray written = readFile(folder + target);
        if (name.endsWith(QStringLiteral(".jpeg")) || name.endsWith(QStringLiteral(".JPE")))
            QCOMPARE(written, bytes);
        QVERIFY(isBaselineJpeg(written));
        const QImage image = QImage::fromData(written, "JPEG");
        QCOMPARE(image.size(), size);
        QVERIFY(!image.hasAlphaChannel());
        const QColor seen = image.pixelColor(0, image.height() / 2);
        QVERIFY2(near(seen, left, tolerance), qPrintable(seen.name() + QStringLiteral(" for ") + left.name()));
    }

    // Two pictures with one JPEG name: the first in name order gets it.
    void firstPictureTakesASharedName()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(writeFile(folder + QStringLiteral("p.png"), encoded(filled(8, 8, Qt::red), "PNG")));
        QVERIFY(writeFile(folder + QStringLiteral("p.webp"), encoded(filled(8, 8, Qt::blue), "WEBP")));
        WorkQueue queue(2);
        const std::vector<ConversionItem> items = planConversion(L({"p.png", "p.webp"}));
        const std::vector<ConversionResult> results = ConversionTask::runAndWait(folder, items, kBackground, queue);
        QCOMPARE(int(results[0].kind), int(Kind::Written));
        QCOMPARE(int(results[1].kind), int(Kind::Skipped));
        QVERIFY(near(QImage(folder + QStringLiteral("p.jpg")).pixelColor(4, 4), Qt::red, 8));
    }

    // A picture whose decoder runs past its time fails alone, and its copy,
    // once made, is not put in place.
    void slowDecoderFailsItsPictureOnly()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(writeFile(folder + QStringLiteral("big.png"), encoded(filled(3000, 3000, Qt::red), "PNG")));
        QVERIFY(writeFile(folder + QStringLiteral("small.jpeg"), encoded(filled(8, 8, Qt::red), "JPEG")));
        WorkQueue queue(2);
        ConversionTask task(folder, planConversion(L({"big.png", "small.jpeg"})), kBackground, queue, nullptr,
                            std::chrono::milliseconds(5));
        QSignalSpy finished(&task, &ConversionTask::finished);
        task.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(int(task.results()[0].kind), int(Kind::Failed));
        QVERIFY(task.results()[0].reason.contains(QStringLiteral("not decoded within")));
        queue.waitForIdle();
        QStringList expected = L({"big.png", "small.jpeg"}) + task.written();
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    void insertsAtNamePlaces_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("into name order") << L({"a.jpg", "c.jpg"}) << L({"b.jpg"})
                                         << L({"a.jpg", "b.jpg", "c.jpg"});
        QTest::newRow("case ignored") << L({"A.jpg", "C.jpg"}) << L({"d.jpg", "b.jpg"})
                                      << L({"A.jpg", "b.jpg", "C.jpg", "d.jpg"});
        QTest::newRow("digits as characters") << L({"page1.jpg", "page3.jpg"}) << L({"page10.jpg"})
                                              << L({"page1.jpg", "page10.jpg", "page3.jpg"});
        QTest::newRow("the user's order kept") << L({"c.jpg", "a.jpg", "d.jpg"})
                                               << L({"e.jpg", "b.jpg"})
                                               << L({"b.jpg", "c.jpg", "a.jpg", "d.jpg", "e.jpg"});
        QTest::newRow("already listed") << L({"a.jpg"}) << L({"a.jpg", "b.jpg"})
                                        << L({"a.jpg", "b.jpg"});
        QTest::newRow("empty list") << QStringList() << L({"b.jpg", "a.jpg"})
                                    << L({"a.jpg", "b.jpg"});
    }

    // New names go where a scan would put them, selected, the rest unselected.
    void insertsAtNamePlaces()
    {
        QFETCH(QStringList, listed);
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        QStringList names = listed;
        std::vector<bool> selected(size_t(listed.size()), true);
        const ListEdit edit = insertAtNamePlaces(names, selected, added);
        QCOMPARE(names, expected);
        QCOMPARE(edit.origin.size(), size_t(expected.size()));
        for (qsizetype row = 0; row < names.size(); ++row) {
            const int from = edit.origin[size_t(row)];
            QCOMPARE(bool(selected[size_t(row)]), from < 0);
            if (from >= 0)
                QCOMPARE(listed.at(from), names.at(row));
            else
                QVERIFY(added.contains(names.at(row)) && !listed.contains(names.at(row)));
        }
    }

    void report_data()
    {
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all written") << 3 << QStringLiteral(u"已转换3张图片。");
        QTest::newRow("one failed, one skipped")
            << 1 << QStringLiteral(u"已转换1张图片。\n以下图片未转换：\nf.png：bad\nt.png：已有同名文件t.jpg，已跳过");
    }

    // "已转换n张图片。", then the pictures not converted with their reasons;
    // those a cancel stopped are not named.
    void report()
    {
        QFETCH(int, written);
        QFETCH(QString, expected);
        std::vector<ConversionItem> items;
        std::vector<ConversionResult> results;
        for (int i = 0; i < written; ++i) {
            items.push_back({QStringLiteral("w%1.png").arg(i), QStringLiteral("w%1.jpg").arg(i)});
            results.push_back({Kind::Written, QString()});
        }
        if (written == 1) {
            items.push_back({QStringLiteral("f.png"), QStringLiteral("f.jpg")});
            results.push_back({Kind::Failed, QStringLiteral("bad")});
            items.push_back({QStringLiteral("t.png"), QStringLiteral("t.jpg")});
            results.push_back({Kind::Skipped, QString()});
        }
        items.push_back({QStringLiteral("c.png"), QStringLiteral("c.jpg")});
        results.push_back({Kind::Cancelled, QString()});
        QCOMPARE(conversionReport(items, results), expected);
    }

    // A cancel keeps the copies put in place and leaves nothing else behind.
    void cancelKeepsWhatIsDone()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QStringList names;
        for (int i = 0; i < 12; ++i) {
            names.append(QStringLiteral("p%1.png").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(writeFile(folder + names.last(), encoded(filled(1600, 1200, Qt::red), "PNG")));
        }
        WorkQueue queue(1);
        ConversionTask task(folder, planConversion(names), kBackground, queue);
        connect(&task, &ConversionTask::pictureDone, &task, &ConversionTask::cancel);
        QSignalSpy finished(&task, &ConversionTask::finished);
        task.start();
        QVERIFY(finished.wait(10000));
        const QStringList written = task.written();
        QVERIFY(!written.isEmpty() && written.size() < names.size());
        QStringList expected = names + written;
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    void makeConvert_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("standardOutput");
        QTest::addColumn<QString>("standardError");
        QTest::newRow("written and skipped")
            << QStringList() << false << 0 << QStringLiteral("a.png -> a.jpg\nb.jpeg -> b.jpg\n")
            << QStringLiteral("tarnwick-make: skipped, c.jpg already exists: c.png\n");
        QTest::newRow("on a given background")
            << L({"--background", "#0080FF"}) << false << 0
            << QStringLiteral("a.png -> a.jpg\nb.jpeg -> b.jpg\n")
            << QStringLiteral("tarnwick-make: skipped, c.jpg already exists: c.png\n");
        QTest::newRow("one damaged") << QStringList() << true << 1
                                     << QStringLiteral("a.png -> a.jpg\nb.jpeg -> b.jpg\n")
                                     << QStringLiteral("tarnwick-make: skipped, c.jpg already exists: c.png\n"
                                                       "tarnwick-make: cannot convert d.png: ");
        QTest::newRow("not with --export") << L({"--export", "out"}) << false << 2 << QString()
                                           << QStringLiteral("tarnwick-make: --convert and --export cannot be used together\n");
    }

    // tarnwick-make --convert: a line per copy, skipped and failed pictures on
    // standard error, no document.
    void makeConvert()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, damaged);
        QFETCH(int, exitCode);
        QFETCH(QString, standardOutput);
        QFETCH(QString, standardError);
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(writeFile(folder + QStringLiteral("a.png"), encoded(halfTransparent(), "PNG")));
        QVERIFY(writeFile(folder + QStringLiteral("b.jpeg"), encoded(filled(8, 8, Qt::red), "JPEG")));
        QVERIFY(writeFile(folder + QStringLiteral("c.png"), encoded(filled(8, 8, Qt::red), "PNG")));
        QVERIFY(writeFile(folder + QStringLiteral("c.jpg"), encoded(filled(8, 8, Qt::blue), "JPEG")));
        if (damaged)
            QVERIFY(writeFile(folder + QStringLiteral("d.png"), QByteArrayLiteral("\x89PNG\r\n\x1a\n broken")));
        QBuffer input;
        const MakeResult result =
            runMake(L({"tarnwick-make", "--convert"}) + options + QStringList{dir.path()}, input);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.standardOutput, standardOutput);
        QVERIFY2(result.standardError.startsWith(standardError), qPrintable(result.standardError));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("MyEBook.dml")));
        if (exitCode == 2) {
            QVERIFY(!QFileInfo::exists(folder + QStringLiteral("a.jpg")));
            return;
        }
        if (damaged)
            QVERIFY(!QFileInfo::exists(folder + QStringLiteral("d.jpg")));
        // The transparent half shows the page colour: white unless given.
        const QColor page = options.isEmpty() ? QColor(Qt::white) : QColor(0x00, 0x80, 0xFF);
        QVERIFY(near(QImage(folder + QStringLiteral("a.jpg")).pixelColor(2, 10), page, 6));
        QVERIFY(near(QImage(folder + QStringLiteral("c.jpg")).pixelColor(4, 4), Qt::blue, 8));
    }

    void prefixesErrorLines_data()
    {
        QTest::addColumn<QByteArrayList>("pieces"); // as the pipe delivers them
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("a library's line") << QByteArrayList{"libpng error: bad\n"}
                                          << QByteArray("p: libpng error: bad\n");
        QTest::newRow("already named") << QByteArrayList{"p: cannot convert\n", "two\n"}
                                       << QByteArray("p: cannot convert\np: two\n");
        QTest::newRow("the name split across reads") << QByteArrayList{"p", ": x\n", "q", "y\n"}
                                                     << QByteArray("p: x\np: qy\n");
        QTest::newRow("a counter redrawn in place") << QByteArrayList{"\rp: 1 of 2", "\rp: 2 of 2\n"}
                                                    << QByteArray("\rp: 1 of 2\rp: 2 of 2\n");
        QTest::newRow("no line end at the end") << QByteArrayList{"warning"} << QByteArray("p: warning\n");
    }

    // Every line on standard error gets the program's name once.
    void prefixesErrorLines()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, expected);
        QByteArray out;
        QByteArray heldBack;
        bool lineStart = true;
        for (const QByteArray &piece : pieces) {
            heldBack += piece;
            out += ErrorPrefixer::prefixLines("p: ", heldBack, lineStart, false);
        }
        out += ErrorPrefixer::prefixLines("p: ", heldBack, lineStart, true);
        QCOMPARE(out, expected);
    }

    // The program itself: every line of standard error, libpng's own among
    // them, names it.
    void makeConvertPrefixesEveryLine()
    {
        QTemporaryDir dir;
        QByteArray png = encoded(filled(64, 64, Qt::red), "PNG");
        png[png.size() / 2] = char(~png[png.size() / 2]);
        QVERIFY(writeFile(dir.filePath(QStringLiteral("x.png")), png));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("y.png")), encoded(filled(8, 8, Qt::red), "PNG")));
        QProcess make;
        make.start(QStringLiteral(TARNWICK_MAKE_PATH), {QStringLiteral("--convert"), dir.path()});
        QVERIFY(make.waitForFinished(60000));
        QCOMPARE(make.exitCode(), 1);
        QCOMPARE(make.readAllStandardOutput(), QByteArray("y.png -> y.jpg\n"));
        const QList<QByteArray> lines = make.readAllStandardError().split('\n');
        QVERIFY(lines.size() >= 2);
        for (const QByteArray &line : lines.first(lines.size() - 1))
            QVERIFY2(line.startsWith("tarnwick-make: "), line.constData());
        QVERIFY(lines.last().isEmpty());
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("y.jpg"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x.jpg"))));
    }
};

QTEST_GUILESS_MAIN(tst_Convert)
#include "tst_convert.moc"
