#include "facts/pageproblem.h"
#include "facts/pictureheader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray le16(int value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value >> 8 & 0xFF);
}

QByteArray be16(int value)
{
    return QByteArray(1, char(value >> 8 & 0xFF)) + char(value & 0xFF);
}

struct GifFrame
{
    int left = 0, top = 0, width = 1, height = 1;
};

// A GIF of one-pixel frames: a 2-colour global table, the given extensions
// before the first frame, every frame's data a clear code, pixel 0 and the end.
QByteArray gifBytes(int screenWidth, int screenHeight, const QList<GifFrame> &frames,
                    const QByteArray &extensions = {})
{
    QByteArray bytes = "GIF89a" + le16(screenWidth) + le16(screenHeight) + "\x80\x00\x00"_ba;
    bytes += QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6);
    bytes += extensions;
    for (const GifFrame &frame : frames) {
        bytes += ',' + le16(frame.left) + le16(frame.top) + le16(frame.width) + le16(frame.height) + '\0';
        bytes += QByteArray("\x02\x02\x44\x01\x00", 5);
    }
    return bytes + ';';
}

QByteArray commentExtension(qsizetype length)
{
    QByteArray bytes = "\x21\xFE"_ba;
    for (; length > 0; length -= 255)
        bytes += char(std::min<qsizetype>(length, 255)) + QByteArray(std::min<qsizetype>(length, 255), 'c');
    return bytes + '\0';
}

// A JPEG header as far as its first scan: the segments given, a frame header
// of that kind and component count, a scan header and a few bytes of data.
QByteArray jpegBytes(int width, int height, int components, uchar frameMarker = 0xC0,
                     const QByteArray &segments = {})
{
    QByteArray frame = "\x08"_ba + be16(height) + be16(width) + char(components);
    QByteArray scan(1, char(components));
    for (int c = 1; c <= components; ++c) {
        frame += char(c) + "\x11\x00"_ba;
        scan += char(c);
        scan += '\0';
    }
    scan += "\x00\x3F\x00"_ba;
    return "\xFF\xD8"_ba + segments + "\xFF"_ba + char(frameMarker) + be16(int(frame.size()) + 2) + frame
        + "\xFF\xDA"_ba + be16(int(scan.size()) + 2) + scan + QByteArray(16, '\x55') + "\xFF\xD9"_ba;
}

QByteArray segment(uchar marker, const QByteArray &payload)
{
    return "\xFF"_ba + char(marker) + be16(int(payload.size()) + 2) + payload;
}

QByteArray written(const QImage &image, const char *format, const std::function<void(QImageWriter &)> &setUp = {})
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (setUp)
        setUp(writer);
    if (!writer.write(image))
        qFatal("cannot write the test picture: %s", qPrintable(writer.errorString()));
    return buffer.data();
}

// An EXIF block whose IFD0 holds an unrelated tag and then the orientation
// tag with that type and value, in either byte order.
QByteArray exifWithOrientation(bool littleEndian, int value, int type = 3)
{
    const auto u16 = [&](int v) { return littleEndian ? le16(v) : be16(v); };
    const auto u32 = [&](int v) { return littleEndian ? u16(v) + u16(0) : u16(0) + u16(v); };
    QByteArray tiff = (littleEndian ? "II"_ba : "MM"_ba) + u16(42) + u32(8) + u16(2);
    tiff += u16(0x010F) + u16(2) + u32(4) + "Cam\0"_ba; // make, inline
    tiff += u16(0x0112) + u16(type) + u32(1) + u16(value) + u16(0);
    return "Exif\0\0"_ba + tiff + u32(0);
}

QByteArray adobe(int transform)
{
    return segment(0xEE, "Adobe"_ba + be16(100) + be16(0) + be16(0) + char(transform));
}

QImage testImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

} // namespace

class TestPictureHeader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void size_data();
    void size();
    void readsOnlyTheHeader();
    void readsManyTogether_data();
    void readsManyTogether();
    void whatTheBookCannotShow_data();
    void whatTheBookCannotShow();

private:
    QTemporaryDir m_dir;
};

// Each picture is read from a file as a folder holds it, and compared with
// what Qt's own reader reports for the same file wherever that is a size.
void TestPictureHeader::size_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<QSize>("qt"); // what QImageReader::size() reports, when not the same
    const QSize same(-2, -2);

    const QByteArray baseline = written(testImage(40, 30), "jpeg");
    QTest::newRow("jpeg, Qt's writer") << "a.jpg" << baseline << QSize(40, 30) << same;
    QTest::newRow("jpeg, progressive") << "p.jpg" << written(testImage(33, 17), "jpeg", [](QImageWriter &w) {
        w.setProgressiveScanWrite(true);
    }) << QSize(33, 17) << same;
    // Orientation 6: shown turned a quarter, read as stored.
    const QByteArray exif = "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0"_ba;
    QTest::newRow("jpeg, EXIF turned a quarter") << "e.jpg" << jpegBytes(64, 20, 3, 0xC0, segment(0xE1, exif))
                                                 << QSize(64, 20) << same;
    QTest::newRow("jpeg, comment") << "t.jpg" << written(testImage(21, 22), "jpeg", [](QImageWriter &w) {
        w.setText(QStringLiteral("Description"), QStringLiteral("a page"));
    }) << QSize(21, 22) << same;
    QTest::newRow("jpeg, CMYK with Adobe marker")
        << "cmyk.jpg" << jpegBytes(120, 80, 4, 0xC0, segment(0xEE, "Adobe\x00\x64\x00\x00\x00\x00\x00"_ba))
        << QSize(120, 80) << same;
    QTest::newRow("jpeg, progressive CMYK") << "pc.jpg" << jpegBytes(7, 9, 4, 0xC2) << QSize(7, 9) << same;
    QTest::newRow("jpeg, extended sequential") << "x.jpg" << jpegBytes(300, 200, 3, 0xC1) << QSize(300, 200) << same;
    QTest::newRow("jpeg, arithmetic") << "ar.jpg" << jpegBytes(5, 6, 1, 0xC9) << QSize(5, 6) << same;
    QTest::newRow("jpeg, EXIF over two blocks")
        << "big-exif.jpg" << jpegBytes(16, 12, 3, 0xC0, segment(0xE1, "Exif\0\0"_ba + QByteArray(9000, 'x')))
        << QSize(16, 12) << same;
    QTest::newRow("jpeg, stray and fill bytes between markers")
        << "stray.jpg"
        << jpegBytes(45, 46, 1, 0xC0, segment(0xFE, "note") + "junk\xFF\x00\xFF\xFF\xFF"_ba.chopped(1))
        << QSize(45, 46) << same;
    QTest::newRow("jpeg, restart marker before the frame")
        << "rst.jpg" << jpegBytes(8, 8, 1, 0xC0, "\xFF\xD0"_ba) << QSize(8, 8) << same;
    QTest::newRow("jpeg, largest side") << "w.jpg" << jpegBytes(65500, 10, 1) << QSize(65500, 10) << same;
    QTest::newRow("jpeg, past the largest side") << "w2.jpg" << jpegBytes(65501, 10, 1) << QSize() << same;
    QTest::newRow("jpeg, zero height") << "z.jpg" << jpegBytes(10, 0, 1) << QSize() << same;
    QTest::newRow("jpeg, cut in its frame header") << "cut.jpg" << baseline.first(baseline.indexOf("\xFF\xC0") + 7)
                                                   << QSize() << same;
    // Qt reads on to the scan and gives nothing; the frame header alone is enough here.
    QTest::newRow("jpeg, cut before its scan") << "cut2.jpg" << baseline.first(baseline.indexOf("\xFF\xDA"))
                                               << QSize(40, 30) << QSize();
    QTest::newRow("jpeg, cut inside its scan") << "cut3.jpg" << baseline.first(baseline.size() / 2 + 300)
                                               << QSize(40, 30) << same;
    QTest::newRow("jpeg, scan before any frame") << "sos.jpg" << "\xFF\xD8\xFF\xDA\x00\x02"_ba << QSize() << same;
    QTest::newRow("jpeg named .gif") << "j.gif" << baseline << QSize(40, 30) << same;

    QTest::newRow("gif") << "g.gif" << gifBytes(12, 7, {{0, 0, 12, 7}}) << QSize(12, 7) << same;
    QTest::newRow("gif, animated") << "anim.gif" << gifBytes(12, 7, {{0, 0, 12, 7}, {2, 2, 3, 3}, {0, 0, 500, 500}})
                                   << QSize(12, 7) << same;
    QTest::newRow("gif, extensions before the frame")
        << "ext.gif"
        << gifBytes(30, 20, {{1, 1, 5, 5}},
                    "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"_ba + "\x21\xF9\x04\x01\x0A\x00\x00\x00"_ba
                        + commentExtension(600) + "\x21\x01\x0C"_ba + QByteArray(12, 'p') + '\0')
        << QSize(30, 20) << same;
    QTest::newRow("gif, frame bigger than its screen") << "big-frame.gif" << gifBytes(10, 10, {{0, 0, 20, 30}})
                                                       << QSize(10, 10) << same;
    QTest::newRow("gif, screen far larger than its frame")
        << "huge-screen.gif" << gifBytes(65535, 65535, {{3, 4, 1, 1}}) << QSize(4, 5) << same;
    QTest::newRow("gif, screen just ten times more than 200") << "edge.gif" << gifBytes(2009, 2010, {{0, 0, 7, 8}})
                                                              << QSize(2009, 8) << same;
    QTest::newRow("gif, no screen size") << "zero.gif" << gifBytes(0, 0, {{1, 2, 5, 6}}) << QSize(6, 8) << same;
    QTest::newRow("gif, no size at all") << "empty-frame.gif" << gifBytes(0, 0, {{0, 0, 0, 0}}) << QSize() << same;
    QTest::newRow("gif, no frame") << "none.gif" << gifBytes(10, 10, {}) << QSize() << same;
    const QByteArray gif = gifBytes(15, 16, {{0, 0, 15, 16}});
    QTest::newRow("gif, cut in its frame's descriptor") << "cut.gif" << gif.first(gif.indexOf(',') + 9) << QSize()
                                                        << same;
    QTest::newRow("gif, cut after its frame's descriptor") << "cut2.gif" << gif.first(gif.indexOf(',') + 10)
                                                           << QSize(15, 16) << same;
    QTest::newRow("gif named .jpg") << "g.jpg" << gif << QSize(15, 16) << same;
    // Extensions are skipped by their lengths, however long, as Qt does.
    QTest::newRow("gif, first frame after 77 KB of comments")
        << "far.gif" << gifBytes(9, 9, {{0, 0, 9, 9}}, commentExtension(77000)) << QSize(9, 9) << same;

    QTest::newRow("empty file") << "e.jpg" << QByteArray() << QSize() << same;
    QTest::newRow("text") << "t.gif" << "GIF89 is not a picture"_ba << QSize() << same;
    // Qt reads any format it knows; only GIF and JPEG are pictures here.
    QTest::newRow("PNG named .jpg") << "png.jpg" << written(testImage(3, 3), "png") << QSize() << QSize(3, 3);
}

void TestPictureHeader::size()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, expected);
    QFETCH(QSize, qt);

    const QString path = m_dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const PictureHeader header = PictureHeader::readFile(path);
    QCOMPARE(header.size().value_or(QSize()), expected);
    QCOMPARE(header.reason().isEmpty(), expected.isValid());
    const QSize qtSize = QImageReader(path).size();
    QCOMPARE(qtSize.isEmpty() ? QSize() : qtSize, qt == QSize(-2, -2) ? expected : qt);
}

// Only the header is read: a 2 MB animated GIF up to its first frame, a GIF
// whose first frame follows 2 MB of comments up to that frame, a JPEG with a
// 1 MB scan up to the block that holds its frame header, and a JPEG without
// one no further than the limit.
void TestPictureHeader::readsOnlyTheHeader()
{
    QBuffer animated;
    animated.setData(gifBytes(100, 100, QList<GifFrame>(150000, GifFrame{0, 0, 100, 100})));
    animated.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QCOMPARE(PictureHeader::read(animated).size(), QSize(100, 100));
    QVERIFY(animated.pos() <= 4096);

    QBuffer far;
    far.setData(gifBytes(100, 100, {{0, 0, 100, 100}}, commentExtension(2000000)));
    far.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QCOMPARE(PictureHeader::read(far).size(), QSize(100, 100));
    QVERIFY(far.pos() <= far.size());

    QBuffer jpeg;
    jpeg.setData(jpegBytes(640, 480, 3, 0xC0, segment(0xE1, QByteArray(60000, 'x'))) + QByteArray(1000000, '\x55'));
    jpeg.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QCOMPARE(PictureHeader::read(jpeg).size(), QSize(640, 480));
    QVERIFY(jpeg.pos() <= 2 + 4 + 60000 + 4096);

    QBuffer frameless;
    frameless.setData(QByteArray("\xFF\xD8", 2) + QByteArray(kJpegHeaderLimit + 1000000, '\0'));
    frameless.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const PictureHeader none = PictureHeader::read(frameless);
    QCOMPARE(none.size(), std::nullopt);
    QCOMPARE(none.reason(), QStringLiteral("no size in its header"));
    QVERIFY(frameless.pos() <= kJpegHeaderLimit + 4096);
}

void TestPictureHeader::readsManyTogether_data()
{
    QTest::addColumn<bool>("stat");
    QTest::newRow("sizes from a stat") << true;
    QTest::newRow("sizes unknown") << false;
}

// Read together, more files than one submission takes, each file gives what
// it gives read alone: pictures of different sizes, headers that end past the
// bytes read ahead, empty and damaged files, and names that are no picture.
void TestPictureHeader::readsManyTogether()
{
    QFETCH(bool, stat);
    QTemporaryDir dir;
    const QByteArray bigExif = segment(0xE1, exifWithOrientation(true, 6) + QByteArray(9000, 'x'));
    std::vector<QByteArray> names;
    for (int i = 0; i < 70; ++i) {
        const QByteArray name = "p" + QByteArray::number(i);
        QByteArray bytes;
        switch (i % 5) {
        case 0: bytes = jpegBytes(10 + i, 20, 3); break;
        case 1: bytes = jpegBytes(10 + i, 30, 4, 0xC2, bigExif); break;
        case 2: bytes = gifBytes(10 + i, 40, {{0, 0, 10 + i, 40}}, commentExtension(5000 + i)); break;
        case 3: // around the bytes read ahead, some cut in their frame header
            bytes = jpegBytes(10 + i, 50, 3, 0xC0, segment(0xFE, QByteArray(4050, 'c')));
            bytes.truncate(4136 - i);
            break;
        default: bytes = QByteArray(i, 'x'); break;
        }
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        names.push_back(name);
    }
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    // A name that is there but cannot be opened: a link to itself.
    QVERIFY(QFile::link(u"loop"_s, dir.filePath(u"loop"_s)));
    names.insert(names.begin() + 5, {"missing", "pipe", "folder", "loop"});

    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    std::vector<qint64> sizes;
    for (const QByteArray &name : names) {
        struct stat info {};
        sizes.push_back(stat && ::fstatat(folder, name.constData(), &info, 0) == 0 && S_ISREG(info.st_mode)
                            ? qint64(info.st_size) : -1);
    }
    std::vector<bool> present;
    const std::vector<PictureHeader> together = PictureHeader::readFilesAt(folder, names, sizes,
                                                                           PictureHeader::Reading::PageFacts, &present);
    ::close(folder);
    QCOMPARE(together.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const PictureHeader alone = PictureHeader::readFile(dir.filePath(QString::fromLatin1(names[i])));
        QCOMPARE(together[i].size(), alone.size());
        // Without a size a pipe reads as the empty file it shows.
        QCOMPARE(together[i].reason(), names[i] == "pipe" ? u"not a GIF or JPEG picture"_s : alone.reason());
        QCOMPARE(together[i].orientation(), alone.orientation());
        QCOMPARE(together[i].colourSpace(), alone.colourSpace());
        QCOMPARE(bool(present[i]), names[i] != "missing");
    }
}

Q_DECLARE_METATYPE(PictureHeader::ColourSpace)
Q_DECLARE_METATYPE(PictureHeader::Coding)

// The facts beyond the size, and what they mean for a page of the book.
// kind is -1 where the book shows the picture as it is.
void TestPictureHeader::whatTheBookCannotShow_data()
{
    using Kind = PageProblem::Kind;
    using Space = PictureHeader::ColourSpace;
    using Coding = PictureHeader::Coding;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<Space>("space");
    QTest::addColumn<Coding>("coding");
    QTest::addColumn<int>("kind");
    const auto turned = [](bool little, int value, int type = 3) {
        return jpegBytes(64, 20, 3, 0xC0, segment(0xE1, exifWithOrientation(little, value, type)));
    };
    QTest::newRow("plain baseline") << jpegBytes(8, 8, 3) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("grey") << jpegBytes(8, 8, 1) << 1 << Space::Grey << Coding::Baseline << -1;
    QTest::newRow("exif 1, big-endian") << turned(false, 1) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("exif 6, big-endian") << turned(false, 6) << 6 << Space::Rgb << Coding::Baseline << int(Kind::Turned);
    QTest::newRow("exif 8, little-endian") << turned(true, 8) << 8 << Space::Rgb << Coding::Baseline << int(Kind::Turned);
    QTest::newRow("exif 3, little-endian") << turned(true, 3) << 3 << Space::Rgb << Coding::Baseline << int(Kind::Turned);
    QTest::newRow("exif 2, mirrored") << turned(false, 2) << 2 << Space::Rgb << Coding::Baseline << int(Kind::Turned);
    QTest::newRow("exif 0 counts as 1") << turned(true, 0) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("exif 9 counts as 1") << turned(false, 9) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("exif 0x0106 counts as 1") << turned(true, 0x0106) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("exif 6 as LONG is no tag") << turned(false, 6, 4) << 1 << Space::Rgb << Coding::Baseline << -1;
    QByteArray cut = segment(0xE1, exifWithOrientation(false, 6).left(20)); // IFD runs past its block
    QTest::newRow("exif cut short") << jpegBytes(8, 8, 3, 0xC0, cut) << 1 << Space::Rgb << Coding::Baseline << -1;
    QTest::newRow("cmyk, no adobe") << jpegBytes(8, 8, 4) << 1 << Space::Cmyk << Coding::Baseline << int(Kind::Cmyk);
    QTest::newRow("cmyk, adobe 0") << jpegBytes(8, 8, 4, 0xC0, adobe(0)) << 1 << Space::Cmyk << Coding::Baseline
                                   << int(Kind::Cmyk);
    QTest::newRow("ycck, adobe 2") << jpegBytes(8, 8, 4, 0xC0, adobe(2)) << 1 << Space::Ycck << Coding::Baseline
                                   << int(Kind::Cmyk);
    QTest::newRow("adobe 1 on three components") << jpegBytes(8, 8, 3, 0xC0, adobe(1)) << 1 << Space::Rgb
                                                 << Coding::Baseline << -1;
    QTest::newRow("cmyk outranks turned")
        << jpegBytes(8, 8, 4, 0xC0, segment(0xE1, exifWithOrientation(true, 6))) << 6 << Space::Cmyk
        << Coding::Baseline << int(Kind::Cmyk);
    QTest::newRow("extended") << jpegBytes(8, 8, 3, 0xC1) << 1 << Space::Rgb << Coding::Extended << -1;
    QTest::newRow("progressive") << jpegBytes(8, 8, 3, 0xC2) << 1 << Space::Rgb << Coding::Progressive << -1;
    QTest::newRow("lossless") << jpegBytes(8, 8, 3, 0xC3) << 1 << Space::Rgb << Coding::Lossless
                              << int(Kind::UnshownCoding);
    QTest::newRow("hierarchical") << jpegBytes(8, 8, 3, 0xC5) << 1 << Space::Rgb << Coding::Hierarchical
                                  << int(Kind::UnshownCoding);
    QTest::newRow("arithmetic") << jpegBytes(8, 8, 3, 0xC9) << 1 << Space::Rgb << Coding::Arithmetic
                                << int(Kind::UnshownCoding);
    QTest::newRow("arithmetic progressive") << jpegBytes(8, 8, 3, 0xCA) << 1 << Space::Rgb << Coding::Arithmetic
                                            << int(Kind::UnshownCoding);
    QTest::newRow("hierarchical arithmetic") << jpegBytes(8, 8, 3, 0xCF) << 1 << Space::Rgb << Coding::Hierarchical
                                             << int(Kind::UnshownCoding);
    QByteArray twelveBit = jpegBytes(8, 8, 3, 0xC1);
    twelveBit[twelveBit.indexOf("\xFF\xC1") + 4] = 12;
    QTest::newRow("12-bit extended") << twelveBit << 1 << Space::Rgb << Coding::Extended << int(Kind::UnshownCoding);
    QTest::newRow("gif") << gifBytes(4, 4, {GifFrame{0, 0, 4, 4}}) << 1 << Space::Rgb << Coding::None << -1;
    QTest::newRow("no size") << "\xFF\xD8\xFF\xD9"_ba << 1 << Space::Rgb << Coding::None << int(Kind::Unreadable);
}

void TestPictureHeader::whatTheBookCannotShow()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, orientation);
    QFETCH(PictureHeader::ColourSpace, space);
    QFETCH(PictureHeader::Coding, coding);
    QFETCH(int, kind);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const PictureHeader header = PictureHeader::read(buffer);
    QCOMPARE(header.orientation(), orientation);
    QCOMPARE(header.colourSpace(), space);
    QCOMPARE(header.coding(), coding);
    const std::optional<PageProblem> problem = pageProblem(header);
    QCOMPARE(problem ? int(problem->kind) : -1, kind);
    if (problem && problem->kind == PageProblem::Kind::Turned)
        QCOMPARE(problem->orientation, orientation);
}

QTEST_APPLESS_MAIN(TestPictureHeader)
#include "tst_pictureheader.moc"
