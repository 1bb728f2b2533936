#include "imaging/camerathumbnail.h"
#include "imaging/previewdecode.h"
#include "imaging/thumbnailmaker.h"
#include "board/pagetile.h"
#include "thumbnails/thumbnailcache.h"
#include "thumbnails/thumbnailloader.h"
#include "queue/workqueue.h"
#include "tests/cameraphoto.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

// Qt writes no GIF: a minimal one with a two-colour table whose image covers
// the whole logical screen.
QByteArray gifBytes(quint16 width, quint16 height)
{
    const auto le = [](quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    return "GIF89a" + le(width) + le(height) + QByteArray::fromHex("800000000000ffffff") + ','
        + QByteArray::fromHex("00000000") + le(width) + le(height) + char(0) + QByteArray::fromHex("02024c01003b");
}

bool writePicture(const QString &path, const QString &kind, QSize size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (kind == QLatin1String("gif"))
        return file.write(gifBytes(quint16(size.width()), quint16(size.height()))) > 0;
    if (kind == QLatin1String("text"))
        return file.write("not a picture") > 0;
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    return picture.save(&file, "jpeg");
}

// A JPEG whose EXIF orientation says "turn a quarter clockwise to view":
// red on the left and blue on the right as stored.
bool writeTurnedJpeg(const QString &path, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(size.width() / 2, 0, size.width() / 2, size.height(), Qt::blue);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "jpeg", 95))
        return false;
    // APP1: Exif, a big-endian TIFF header and one IFD entry, orientation (0x0112) = 6.
    jpeg.insert(2, QByteArray::fromHex("ffe10022" "457869660000" "4d4d002a00000008" "0001"
                                       "011200030000000100060000" "00000000"));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
}

int modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

QString md5Name(const QByteArray &uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) + QStringLiteral(".png");
}

} // namespace

class TestThumbnails : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void standardExample();
    void cacheEntries_data();
    void cacheEntries();
    void hostileCache_data();
    void hostileCache();
    void tileGeometry_data();
    void tileGeometry();
    void tilePainting();
    void loaderMemoryIsBounded();
    void loaderOrderAndCancellation();
    void turnedPictureUprightInCacheAsStoredOnTiles();
    void loaderForgetsAWrittenPicture();
    void exifThumbnailData_data();
    void exifThumbnailData();
    void cameraThumbnail_data();
    void cameraThumbnail();
    void cameraThumbnailFirstThenOwn();
    void tooBigForAThumbnail_data();
    void tooBigForAThumbnail();
};

void TestThumbnails::standardExample()
{
    const ThumbnailCache cache(QStringLiteral("/c"));
    QCOMPARE(cache.entryPath(QStringLiteral("/home/jens/photos/me.png"), 100),
             QStringLiteral("/c/normal/c6ee772d9e49320e97ec29a7eb5b1697.png"));
}

void TestThumbnails::cacheEntries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("uriName");   // as GLib's g_filename_to_uri spells it
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QSize>("entrySize");
    QTest::addColumn<bool>("touched");          // the picture changes after the entry was written
    QTest::addColumn<int>("lookupBucket");
    QTest::addColumn<QSize>("lookupSize");      // 0 x 0 when no valid thumbnail is found

    QTest::newRow("landscape JPEG, normal") << "plain.jpg" << QByteArray("plain.jpg") << "jpeg" << QSize(400, 300)
                                            << 128 << "normal" << QSize(128, 96) << false << 128 << QSize(128, 96);
    QTest::newRow("reserved characters escaped") << "a b#;%[1].jpg" << QByteArray("a%20b%23%3B%25%5B1%5D.jpg")
                                                 << "jpeg" << QSize(300, 400) << 100 << "normal" << QSize(96, 128)
                                                 << false << 128 << QSize(96, 128);
    QTest::newRow("sub-delimiters kept") << "it's(1)&+=,$!~@.jpg" << QByteArray("it's(1)&+=,$!~@.jpg") << "jpeg"
                                         << QSize(64, 64) << 128 << "normal" << QSize(64, 64) << false << 128
                                         << QSize(64, 64);
    QTest::newRow("Chinese name as UTF-8, GIF not enlarged") << QStringLiteral(u"图片.gif") << QByteArray("%E5%9B%BE%E7%89%87.gif")
                                                               << "gif" << QSize(200, 100) << 256 << "large"
                                                               << QSize(200, 100) << false << 256 << QSize(200, 100);
    QTest::newRow("x-large") << "wide.jpg" << QByteArray("wide.jpg") << "jpeg" << QSize(1000, 500) << 300
                             << "x-large" << QSize(512, 256) << false << 512 << QSize(512, 256);
    QTest::newRow("xx-large serves a smaller size") << "big.jpg" << QByteArray("big.jpg") << "jpeg" << QSize(2000, 1500)
                                                    << 1024 << "xx-large" << QSize(1024, 768) << false << 256
                                                    << QSize(256, 192);
    QTest::newRow("smaller does not serve larger") << "small.jpg" << QByteArray("small.jpg") << "jpeg" << QSize(400, 300)
                                                   << 128 << "normal" << QSize(128, 96) << false << 256 << QSize(0, 0);
    QTest::newRow("other modification time") << "changed.jpg" << QByteArray("changed.jpg") << "jpeg" << QSize(400, 300)
                                             << 128 << "normal" << QSize(128, 96) << true << 128 << QSize(0, 0);
    QTest::newRow("unreadable: failure entry") << "broken.jpg" << QByteArray("broken.jpg") << "text" << QSize()
                                               << 128 << "fail/tarnwick-" TARNWICK_VERSION << QSize(1, 1) << false
                                               << 128 << QSize(0, 0);
    QTest::newRow("failure entry of an older file") << "fixed.jpg" << QByteArray("fixed.jpg") << "text" << QSize()
                                                    << 128 << "fail/tarnwick-" TARNWICK_VERSION << QSize(1, 1)
                                                    << true << 128 << QSize(0, 0);
}

void TestThumbnails::cacheEntries()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, uriName);
    QFETCH(QString, kind);
    QFETCH(QSize, pictureSize);
    QFETCH(int, request);
    QFETCH(QString, folder);
    QFETCH(QSize, entrySize);
    QFETCH(bool, touched);
    QFETCH(int, lookupBucket);
    QFETCH(QSize, lookupSize);

    QTemporaryDir home;
    const QString root = home.path() + QStringLiteral("/cache/thumbnails");
    const ThumbnailCache cache(root);
    const QString picture = home.path() + u'/' + name;
    QVERIFY(writePicture(picture, kind, pictureSize));
    const bool failed = kind == QLatin1String("text");

    const ThumbnailCache::Result result = cache.obtain(picture, request);
    QCOMPARE(result.failed, failed);
    QCOMPARE(result.image.size(), failed ? QSize(0, 0) : entrySize);

    const QByteArray uri = "file://" + QFile::encodeName(home.path()) + '/' + uriName;
    const QString entryFile = root + u'/' + folder + u'/' + md5Name(uri);
    const QImage entry(entryFile, "png");
    QCOMPARE(entry.size(), entrySize);
    QCOMPARE(entry.text(QStringLiteral("Thumb::URI")), QString::fromLatin1(uri));
    const QFileInfo info(picture);
    QCOMPARE(entry.text(QStringLiteral("Thumb::MTime")), QString::number(info.lastModified().toSecsSinceEpoch()));
    if (!failed) {
        QCOMPARE(entry.text(QStringLiteral("Thumb::Size")), QString::number(info.size()));
        QCOMPARE(entry.text(QStringLiteral("Thumb::Image::Width")), QString::number(pictureSize.width()));
        QCOMPARE(entry.text(QStringLiteral("Thumb::Image::Height")), QString::number(pictureSize.height()));
    }
    QCOMPARE(modeOf(entryFile), 0600);
    QCOMPARE(modeOf(root), 0700);
    QCOMPARE(modeOf(QFileInfo(entryFile).path()), 0700);
    // Only the entry: no temporary file left beside it.
    QCOMPARE(QDir(QFileInfo(entryFile).path()).entryList(QDir::Files), QStringList{md5Name(uri)});

    if (touched) {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(info.lastModified().addSecs(-10), QFileDevice::FileModificationTime));
    }
    QCOMPARE(cache.lookup(picture, lookupBucket).size(), lookupSize);
    QCOMPARE(cache.hasFailure(picture), failed && !touched);
}

// A cache another user can reach, a linked folder, a FIFO or an oversized
// entry planted in it, and what a killed run left there.
void TestThumbnails::hostileCache_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QSize>("planted");  // a valid entry of this size in normal/
    QTest::addColumn<bool>("trusted");   // the planted entry is served and a new one stored
    QTest::newRow("private cache") << "" << QSize(128, 96) << true;
    QTest::newRow("root a link") << "root link" << QSize(128, 96) << true;
    QTest::newRow("cache writable by others") << "root 0777" << QSize(128, 96) << false;
    QTest::newRow("cache of another user") << "root nobody" << QSize(128, 96) << false;
    QTest::newRow("normal/ a link") << "normal link" << QSize(128, 96) << false;
    QTest::newRow("entry a FIFO") << "entry fifo" << QSize() << true;
    QTest::newRow("entry claims more pixels than normal") << "" << QSize(129, 40) << true;
}

void TestThumbnails::hostileCache()
{
    QFETCH(QString, setup);
    QFETCH(QSize, planted);
    QFETCH(bool, trusted);
    if (setup.contains(u"nobody") && ::geteuid() != 0)
        QSKIP("needs root to give the cache to another user");
    QTemporaryDir home;
    const QString elsewhere = home.filePath(QStringLiteral("elsewhere"));
    const QString root = home.filePath(QStringLiteral("thumbnails"));
    const QString normal = (setup == u"root link" ? elsewhere : root) + QStringLiteral("/normal");
    QVERIFY(QDir().mkpath(elsewhere + QStringLiteral("/normal")));
    if (setup == u"root link")
        QVERIFY(QFile::link(elsewhere, root));
    else if (setup == u"normal link")
        QVERIFY(QDir().mkdir(root) && QFile::link(elsewhere + QStringLiteral("/normal"), normal));
    else
        QVERIFY(QDir().mkpath(normal));
    for (const QString &folder : {elsewhere, root, normal, elsewhere + QStringLiteral("/normal")})
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    const ThumbnailCache cache(root);
    const QString picture = home.filePath(QStringLiteral("p.jpg"));
    QVERIFY(writePicture(picture, QStringLiteral("jpeg"), QSize(400, 300)));
    const QString entry = cache.entryPath(picture, 128);
    if (planted.isValid()) {
        QImage image(planted, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(ThumbnailCache::uriOf(picture)));
        image.setText(QStringLiteral("Thumb::MTime"), QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch()));
        QVERIFY(image.save(entry, "png"));
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(entry).constData(), 0600), 0);
    }
    // Left by a killed run two hours ago, and one being written now.
    const QString stale = normal + QStringLiteral("/.tarnwick-k1ll3d.png");
    const QString fresh = normal + QStringLiteral("/.tarnwick-n0w.png");
    for (const QString &path : {stale, fresh}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(path == fresh || file.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
    }
    if (setup == u"root 0777")
        QCOMPARE(::chmod(QFile::encodeName(root).constData(), 0777), 0);
    if (setup == u"root nobody")
        QCOMPARE(::chown(QFile::encodeName(root).constData(), 65534, 65534), 0);

    QCOMPARE(!cache.lookup(picture, 128).isNull(), trusted && planted == QSize(128, 96));
    QImage thumbnail(128, 96, QImage::Format_RGB32);
    thumbnail.fill(Qt::green);
    QCOMPARE(cache.store(picture, 128, thumbnail, QSize(400, 300)), trusted);
    // What is not trusted stays as it was; what the store wrote is served.
    QCOMPARE(QFileInfo::exists(stale), !trusted);
    QVERIFY(QFileInfo::exists(fresh));
    const QImage served = cache.lookup(picture, 128);
    QCOMPARE(served.isNull(), !trusted);
    QCOMPARE(trusted ? served.pixel(0, 0) : QImage(entry).pixel(0, 0), trusted ? qRgb(0, 255, 0) : qRgb(255, 0, 0));
}

void TestThumbnails::tileGeometry_data()
{
    QTest::addColumn<QSize>("book");
    QTest::addColumn<QRect>("placement");
    QTest::addColumn<int>("tile");
    QTest::addColumn<QRect>("page");
    QTest::addColumn<QRectF>("picture");
    QTest::addColumn<int>("border");

    QTest::newRow("landscape, picture fills the page") << QSize(1024, 768) << QRect(0, 0, 1024, 768) << 128
                                                       << QRect(0, 16, 128, 96) << QRectF(0, 16, 128, 96) << 1;
    QTest::newRow("portrait, picture centred") << QSize(600, 800) << QRect(150, 200, 300, 400) << 200
                                               << QRect(25, 0, 150, 200) << QRectF(62.5, 50, 75, 100) << 1;
    QTest::newRow("largest tile, thicker border") << QSize(1000, 1000) << QRect(0, 0, 500, 250) << 512
                                                  << QRect(0, 0, 512, 512) << QRectF(0, 0, 256, 128) << 2;
    QTest::newRow("below the smallest tile") << QSize(100, 50) << QRect(50, 25, 50, 25) << 10 << QRect(0, 24, 96, 48)
                                             << QRectF(48, 48, 48, 24) << 4;
    QTest::newRow("above the largest tile") << QSize(10, 20) << QRect(0, 0, 10, 20) << 2000 << QRect(128, 0, 256, 512)
                                            << QRectF(128, 0, 256, 512) << 102;
    QTest::newRow("rounded page, picture keeps its edge") << QSize(1000, 999) << QRect(0, 0, 1000, 999) << 100
                                                          << QRect(0, 0, 100, 100) << QRectF(0, 0, 100, 100) << 1;
    QTest::newRow("picture past the page") << QSize(400, 400) << QRect(300, -100, 200, 200) << 100
                                           << QRect(0, 0, 100, 100) << QRectF(75, -25, 50, 50) << 1;
    QTest::newRow("no book") << QSize(0, 768) << QRect(0, 0, 10, 10) << 128 << QRect() << QRectF() << 0;
}

void TestThumbnails::tileGeometry()
{
    QFETCH(QSize, book);
    QFETCH(QRect, placement);
    QFETCH(int, tile);
    const TileGeometry geometry = tarnwick::tileGeometry(book, placement, tile);
    QTEST(geometry.page, "page");
    QTEST(geometry.picture, "picture");
    QTEST(geometry.borderWidth, "border");
}

void TestThumbnails::tilePainting()
{
    const TileGeometry geometry = tarnwick::tileGeometry(QSize(200, 100), QRect(50, 25, 100, 50), 100);
    QImage thumbnail(20, 10, QImage::Format_RGB32);
    thumbnail.fill(Qt::red);
    const TileLook look{Qt::yellow, true, Qt::blue, Qt::green};
    const auto paint = [&](TilePicture kind) {
        QImage tile(100, 100, QImage::Format_ARGB32);
        tile.fill(Qt::transparent);
        QPainter painter(&tile);
        paintTilePage(painter, geometry, look, kind, thumbnail);
        return tile;
    };
    const QImage shown = paint(TilePicture::Thumbnail);
    QCOMPARE(shown.pixelColor(50, 10), QColor(Qt::transparent));  // above the page
    QCOMPARE(shown.pixelColor(50, 24), QColor(Qt::green));        // the outline right above it
    QCOMPARE(shown.pixelColor(50, 25), QColor(Qt::blue));         // the border on the page's edge
    QCOMPARE(shown.pixelColor(10, 50), QColor(Qt::yellow));       // background left of the picture
    QCOMPARE(shown.pixelColor(50, 50), QColor(Qt::red));          // the thumbnail in the picture's place
    QVERIFY(paint(TilePicture::Box).pixelColor(50, 50) != QColor(Qt::red));
    QVERIFY(paint(TilePicture::Failed) != paint(TilePicture::Box));
}

void TestThumbnails::loaderMemoryIsBounded()
{
    QTemporaryDir home;
    QStringList pictures;
    for (int i = 0; i < 12; ++i) {
        pictures << home.path() + QStringLiteral("/%1.jpg").arg(i);
        QVERIFY(writePicture(pictures.last(), QStringLiteral("jpeg"), QSize(200, 150)));
    }
    const qsizetype oneThumbnail = 128 * 96 * 4;
    WorkQueue loaderQueue(2);
    ThumbnailLoader loader(ThumbnailCache(home.path() + QStringLiteral("/thumbnails")), oneThumbnail * 7 / 2, loaderQueue);
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    for (int i = 0; i < pictures.size(); ++i)
        loader.request(pictures[i], 128, i);
    QTRY_COMPARE(ready.size(), pictures.size());

    QCOMPARE(loader.memoryUsed(), 3 * oneThumbnail);
    // The most recent arrival is kept; the earliest went first.
    QCOMPARE(loader.thumbnail(ready.last().at(0).toString(), 128).size(), QSize(128, 96));
    QVERIFY(loader.thumbnail(ready.first().at(0).toString(), 128).isNull());
}

void TestThumbnails::loaderOrderAndCancellation()
{
    QTemporaryDir home;
    const ThumbnailCache cache(home.path() + QStringLiteral("/thumbnails"));
    WorkQueue loaderQueue(1);
    ThumbnailLoader loader(cache, 1 << 24, loaderQueue);
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    QSignalSpy failed(&loader, &ThumbnailLoader::thumbnailFailed);
    QStringList pictures;
    for (int i = 0; i < 6; ++i) {
        pictures << home.path() + QStringLiteral("/%1.jpg").arg(i);
        QVERIFY(writePicture(pictures.last(), i == 4 ? QStringLiteral("text") : QStringLiteral("jpeg"), QSize(64, 48)));
        loader.request(pictures.last(), 128, i);
    }
    loader.request(pictures[0], 128, 9);   // scrolled back into view
    loader.cancel(pictures[1], 128);
    loader.cancel(pictures[3], 128);

    QTRY_COMPARE(ready.size() + failed.size(), 4);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), pictures[4]);
    QVERIFY(loader.hasFailed(pictures[4]));
    QStringList order;
    for (const QList<QVariant> &signal : ready)
        order << signal.at(0).toString();
    QCOMPARE(order, (QStringList{pictures[0], pictures[5], pictures[2]}));
    QCOMPARE(loader.queuedCount(), 0);
    QVERIFY(!QFile::exists(cache.entryPath(pictures[1], 128)));
    QVERIFY(!QFile::exists(cache.entryPath(pictures[3], 128)));
}

void TestThumbnails::turnedPictureUprightInCacheAsStoredOnTiles()
{
    QTemporaryDir home;
    const QString picture = home.path() + QStringLiteral("/turned.jpg");
    QVERIFY(writeTurnedJpeg(picture, QSize(400, 200)));
    const ThumbnailCache cache(home.path() + QStringLiteral("/thumbnails"));
    WorkQueue loaderQueue(1);
    ThumbnailLoader loader(cache, 1 << 24, loaderQueue);
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    loader.request(picture, 128, 0);
    QTRY_COMPARE(ready.size(), 1);

    // File managers get it upright: red on top.
    const QImage entry(cache.entryPath(picture, 128), "png");
    QCOMPARE(entry.size(), QSize(64, 128));
    QCOMPARE(entry.text(QStringLiteral("Thumb::Image::Width")), QStringLiteral("200"));
    QVERIFY(entry.pixelColor(32, 10).red() > 200 && entry.pixelColor(32, 118).blue() > 200);
    // The board gets it as the book shows it: red on the left.
    const QImage tile = loader.thumbnail(picture, 128);
    QCOMPARE(tile.size(), QSize(128, 64));
    QVERIFY(tile.pixelColor(10, 32).red() > 200 && tile.pixelColor(118, 32).blue() > 200);
}

// A picture written again is made again once forgotten, not served from memory.
void TestThumbnails::loaderForgetsAWrittenPicture()
{
    QTemporaryDir home;
    const QString picture = home.path() + QStringLiteral("/page.jpg");
    const auto write = [&](QSize size, QColor colour, int secondsAgo) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QFile file(picture);
        return image.save(picture, "JPEG") && file.open(QIODevice::ReadWrite)
            && file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime);
    };
    QVERIFY(write(QSize(200, 100), Qt::red, 60));
    WorkQueue loaderQueue(1);
    ThumbnailLoader loader(ThumbnailCache(home.path() + QStringLiteral("/thumbnails")), 1 << 24, loaderQueue);
    QSignalSpy ready(&loader, &ThumbnailLoader::thumbnailReady);
    loader.request(picture, 128, 0);
    QTRY_COMPARE(ready.size(), 1);
    QVERIFY(loader.thumbnail(picture, 128).pixelColor(10, 10).red() > 200);

    QVERIFY(write(QSize(100, 200), Qt::blue, 0));
    loader.forget(picture);
    QVERIFY(loader.thumbnail(picture, 128).isNull());
    loader.request(picture, 128, 0);
    QTRY_COMPARE(ready.size(), 2);
    const QImage again = loader.thumbnail(picture, 128);
    QCOMPARE(again.size(), QSize(64, 128));
    QVERIFY(again.pixelColor(10, 10).blue() > 200);
}

namespace {

QImage filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

void TestThumbnails::exifThumbnailData_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<int>("patchAt");
    QTest::addColumn<QByteArray>("patch");
    QTest::addColumn<bool>("found");

    using namespace cameraphoto;
    QTest::newRow("Motorola order") << true << -1 << QByteArray() << true;
    QTest::newRow("Intel order") << false << -1 << QByteArray() << true;
    QTest::newRow("not EXIF") << true << 0 << QByteArray("exif") << false;
    QTest::newRow("no IFD1") << true << kSecondIfdPointer << QByteArray(4, 0) << false;
    QTest::newRow("IFD1 out of reach") << true << kSecondIfdPointer << QByteArray::fromHex("7fffffff") << false;
    QTest::newRow("more entries than bytes") << true << kSecondIfdCount << QByteArray::fromHex("ffff") << false;
    QTest::newRow("uncompressed") << true << kCompressionValue << QByteArray::fromHex("0001") << false;
    QTest::newRow("offset wraps around") << true << kThumbnailOffsetValue << QByteArray::fromHex("fffffff0") << false;
    QTest::newRow("longer than the block") << true << kThumbnailLengthValue << QByteArray::fromHex("00010000") << false;
    QTest::newRow("empty") << true << kThumbnailLengthValue << QByteArray(4, 0) << false;
}

void TestThumbnails::exifThumbnailData()
{
    QFETCH(bool, bigEndian);
    QFETCH(int, patchAt);
    QFETCH(QByteArray, patch);
    QFETCH(bool, found);
    const QByteArray thumbnail = cameraphoto::jpegBytes(filled({160, 120}, Qt::red));
    QByteArray block = cameraphoto::exifBlock(thumbnail, bigEndian);
    if (patchAt >= 0)
        block.replace(patchAt, patch.size(), patch);
    QCOMPARE(tarnwick::exifThumbnailData(block), found ? thumbnail : QByteArray());
}

void TestThumbnails::cameraThumbnail_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QSize>("small");   // the camera's thumbnail
    QTest::addColumn<int>("band");      // its black rows above and below (< 0: columns at the sides)
    QTest::addColumn<QSize>("expected");

    QTest::newRow("4:3") << QSize(400, 300) << QSize(160, 120) << 0 << QSize(160, 120);
    QTest::newRow("16:9, padded") << QSize(320, 180) << QSize(160, 120) << 15 << QSize(160, 90);
    QTest::newRow("upright 3:4, padded at the sides") << QSize(300, 400) << QSize(160, 120) << -35 << QSize(90, 120);
    QTest::newRow("no thumbnail") << QSize(400, 300) << QSize() << 0 << QSize();
    QTest::newRow("claims to be huge") << QSize(1100, 100) << QSize(1100, 100) << 0 << QSize();
}

void TestThumbnails::cameraThumbnail()
{
    QFETCH(QSize, photo);
    QFETCH(QSize, small);
    QFETCH(int, band);
    QFETCH(QSize, expected);
    QByteArray jpeg = cameraphoto::jpegBytes(filled(photo, Qt::darkGreen));
    if (small.isValid()) {
        QImage thumbnail = filled(small, Qt::black);
        const int w = small.width(), h = small.height();
        QPainter(&thumbnail).fillRect(band >= 0 ? QRect(0, band, w, h - 2 * band) : QRect(-band, 0, w + 2 * band, h),
                                      Qt::red);
        jpeg = cameraphoto::withExif(jpeg, cameraphoto::exifBlock(cameraphoto::jpegBytes(thumbnail)));
    }
    QTemporaryDir home;
    QFile file(home.filePath(QStringLiteral("photo.jpg")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size());
    file.close();

    const QImage thumbnail = tarnwick::cameraThumbnail(file.fileName());
    QCOMPARE(thumbnail.isNull() ? QSize() : thumbnail.size(), expected);
    if (expected.isValid()) {
        // The camera's picture, its bands cut off.
        QVERIFY(thumbnail.pixelColor(1, 1).red() > 200);
        QVERIFY(thumbnail.pixelColor(thumbnail.width() - 2, thumbnail.height() - 2).red() > 200);
    }
}

void TestThumbnails::cameraThumbnailFirstThenOwn()
{
    QTemporaryDir home;
    const QString picture = home.filePath(QStringLiteral("photo.jpg"));
    const QByteArray jpeg = cameraphoto::withExif(cameraphoto::jpegBytes(filled({400, 300}, Qt::darkGreen)),
                                                  cameraphoto::exifBlock(cameraphoto::jpegBytes(filled({160, 120}, Qt::red))));
    QFile file(picture);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size());
    file.close();
    const ThumbnailCache cache(home.filePath(QStringLiteral("thumbnails")));
    {
        WorkQueue loaderQueue(1);
        ThumbnailLoader loader(cache, 1 << 24, loaderQueue);
        // What each arrival brought: rough or not, the colour in the middle.
        QList<std::pair<bool, QRgb>> arrivals;
        connect(&loader, &ThumbnailLoader::thumbnailReady, this, [&](const QString &path, int bucket) {
            const QImage image = loader.thumbnail(path, bucket);
            arrivals.append({loader.isRough(path, bucket), image.pixel(image.width() / 2, image.height() / 2)});
            // Asking again while it is made changes nothing.
            loader.request(path, bucket, 0);
        });
        loader.request(picture, 256, 0);
        QTRY_COMPARE(arrivals.size(), 2);
        QVERIFY(arrivals[0].first && qRed(arrivals[0].second) > 200);
        QVERIFY(!arrivals[1].first && qGreen(arrivals[1].second) > 80 && qRed(arrivals[1].second) < 100);
        QCOMPARE(loader.thumbnail(picture, 256).size(), QSize(256, 192));
        QCOMPARE(loader.queuedCount(), 0);
        // The camera's thumbnail is never stored.
        QVERIFY(QImage(cache.entryPath(picture, 256)).pixelColor(128, 96).red() < 100);
    }
    // Once made, the stored one comes first, with no rough one before it.
    WorkQueue againQueue(1);
    ThumbnailLoader again(cache, 1 << 24, againQueue);
    QSignalSpy ready(&again, &ThumbnailLoader::thumbnailReady);
    again.request(picture, 256, 0);
    QTRY_COMPARE(ready.size(), 1);
    QVERIFY(!again.isRough(picture, 256));
}

// A thumbnail refuses from the picture's header what would take more than
// 256 MB to decode, whatever the process-wide limit lets through; a JPEG is
// decoded at an eighth of its size.
void TestThumbnails::tooBigForAThumbnail_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("made");
    QTest::newRow("PNG within") << QByteArray("png") << 8000 << true;
    QTest::newRow("PNG beyond") << QByteArray("png") << 8200 << false;
    QTest::newRow("JPEG beyond, decoded smaller") << QByteArray("jpeg") << 8200 << true;
}

void TestThumbnails::tooBigForAThumbnail()
{
    QFETCH(QByteArray, format);
    QFETCH(int, side);
    QFETCH(bool, made);
    setDecodingLimit();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.") + QString::fromLatin1(format));
    {
        // One bit a pixel in memory; a few kilobytes on disk.
        QImage picture(side, side, QImage::Format_Mono);
        picture.fill(1);
        QVERIFY(picture.save(path, format.constData()));
    }
    const MadeThumbnail thumbnail = makeThumbnail(path, 128);
    QCOMPARE(!thumbnail.image.isNull(), made);
    if (made)
        QCOMPARE(thumbnail.image.size(), QSize(128, 128));
}

QTEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
