#include "facts/picturefolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

// Qt writes no GIF: a minimal valid one (one colour table of two, one pixel
// image inside the given logical screen) is built by hand.
QByteArray gifBytes(quint16 width, quint16 height)
{
    QByteArray gif("GIF89a");
    gif += char(width & 0xFF);
    gif += char(width >> 8);
    gif += char(height & 0xFF);
    gif += char(height >> 8);
    gif += QByteArray::fromHex("800000" "000000" "ffffff");
    // Image descriptor covering the whole screen, then LZW data for all-zero pixels.
    gif += ',';
    gif += QByteArray::fromHex("00000000");
    gif += char(width & 0xFF);
    gif += char(width >> 8);
    gif += char(height & 0xFF);
    gif += char(height >> 8);
    gif += char(0);
    gif += QByteArray::fromHex("02024c01003b");
    return gif;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listing();
    void nameOrder_data();
    void nameOrder();
    void unreadableFolder_data();
    void unreadableFolder();
    void folderWithoutPermission();
    void pictureSize();
    void folderText_data();
    void folderText();
};

void TestFolder::listing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    for (const char *name : {"b.gif", "a.jpg", "c.GIF", "d.Jpg", "x.gif.txt", "y.jpeg", ".hidden.gif", "e.png",
                             "gif", "a b.gif"})
        QVERIFY(writeFile(d.filePath(QString::fromLatin1(name)), QByteArray()));
    QVERIFY(d.mkdir(QStringLiteral("folder.gif")));
    QVERIFY(::symlink("b.gif", QFile::encodeName(d.filePath(QStringLiteral("link.jpg"))).constData()) == 0);
    QVERIFY(::symlink("folder.gif", QFile::encodeName(d.filePath(QStringLiteral("dirlink.gif"))).constData()) == 0);
    QVERIFY(::symlink("missing.gif", QFile::encodeName(d.filePath(QStringLiteral("dangling.gif"))).constData()) == 0);

    const QStringList expected = {QStringLiteral("a b.gif"), QStringLiteral("a.jpg"), QStringLiteral("b.gif"),
                                  QStringLiteral("c.GIF"), QStringLiteral("d.Jpg"), QStringLiteral("link.jpg")};
    QCOMPARE(listPictures(dir.path()).value(), expected);
    QCOMPARE(listPictures(dir.path() + u'/').value(), expected);
}

void TestFolder::nameOrder_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    const QStringList mixed = {QStringLiteral("b.gif"), QStringLiteral("a.jpg"), QStringLiteral("c.GIF")};
    const QStringList mixedSorted = {QStringLiteral("a.jpg"), QStringLiteral("b.gif"), QStringLiteral("c.GIF")};
    const QStringList digits = {QStringLiteral("page2.jpg"), QStringLiteral("page10.gif")};
    const QStringList digitsSorted = {QStringLiteral("page10.gif"), QStringLiteral("page2.jpg")};
    const QStringList cases = {QStringLiteral("a.gif"), QStringLiteral("B.gif"), QStringLiteral("A.gif"),
                               QStringLiteral("b.gif")};
    const QStringList casesSorted = {QStringLiteral("A.gif"), QStringLiteral("a.gif"), QStringLiteral("B.gif"),
                                     QStringLiteral("b.gif")};
    for (const char *locale : {"C", "en_US", "zh_CN"}) {
        QTest::addRow("%s mixed types", locale) << QString::fromLatin1(locale) << mixed << mixedSorted;
        QTest::addRow("%s digits as characters", locale) << QString::fromLatin1(locale) << digits << digitsSorted;
        QTest::addRow("%s case ties by code point", locale) << QString::fromLatin1(locale) << cases << casesSorted;
    }
    // Tarnwick collates as zh_CN under C: Han before Latin.
    QTest::newRow("C is zh_CN") << QStringLiteral("C") << QStringList{QStringLiteral("z.gif"), QStringLiteral(u"中.gif")}
                                << QStringList{QStringLiteral(u"中.gif"), QStringLiteral("z.gif")};
    // Big enough to be keyed and sorted in two halves and merged; given in
    // an order that puts the ends of the sorted list into both halves.
    QStringList big;
    for (int i = 0; i < 5000; ++i)
        big.append(QStringLiteral("x%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
    QStringList bigSorted = big;
    bigSorted.prepend(QStringLiteral(u"中.gif"));
    QStringList interleaved;
    for (int i = 0; i < 2500; ++i)
        interleaved << big.at(i) << big.at(4999 - i);
    interleaved.insert(2500, QStringLiteral(u"中.gif"));
    QTest::newRow("zh_CN big list") << QStringLiteral("zh_CN") << interleaved << bigSorted;
}

void TestFolder::nameOrder()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QStringList sorted = names;
    sortPictureNames(sorted, QLocale(locale));
    QCOMPARE(sorted, expected);
    // The result never depends on the order the directory gave.
    std::reverse(names.begin(), names.end());
    sortPictureNames(names, QLocale(locale));
    QCOMPARE(names, expected);
}

void TestFolder::unreadableFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("error");
    QTest::newRow("removed") << QStringLiteral("/nonexistent/tarnwick/") << ENOENT;
    QTest::newRow("a file") << QStringLiteral("/proc/self/status/") << ENOTDIR;
}

// A folder that cannot be read is reported, never listed as empty.
void TestFolder::unreadableFolder()
{
    QFETCH(QString, folder);
    QFETCH(int, error);
    QString reason;
    QCOMPARE(listPictures(folder, &reason), std::nullopt);
    QCOMPARE(reason, qt_error_string(error));
    QCOMPARE(listPictures(QString(), &reason), QStringList());
}

// Root reads every folder, so the permission case runs as nobody in a child.
void TestFolder::folderWithoutPermission()
{
    if (geteuid() != 0)
        QSKIP("needs root to switch to another user");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QDir(dir.path()).filePath(QStringLiteral("a.gif")), QByteArray()));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    int pipeEnds[2];
    QVERIFY(::pipe(pipeEnds) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        QString reason;
        const bool refused = ::setgid(65534) == 0 && ::setuid(65534) == 0 && !listPictures(dir.path(), &reason)
            && reason == qt_error_string(EACCES);
        const char result = refused ? 'y' : 'n';
        (void)!::write(pipeEnds[1], &result, 1);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    char result = 0;
    QCOMPARE(::read(pipeEnds[0], &result, 1), ssize_t(1));
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    QCOMPARE(result, 'y');
}

void TestFolder::pictureSize()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString jpg = dir.filePath(QStringLiteral("p.jpg"));
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(jpg, "JPEG"));
    QCOMPARE(readPictureSize(jpg), std::optional<QSize>(QSize(640, 480)));

    const QString gif = dir.filePath(QStringLiteral("g.gif"));
    QVERIFY(writeFile(gif, gifBytes(3, 2)));
    QCOMPARE(QImageReader(gif).read().size(), QSize(3, 2));
    QCOMPARE(readPictureSize(gif), std::optional<QSize>(QSize(3, 2)));

    // Content decides, not the name.
    const QString gifNamedJpg = dir.filePath(QStringLiteral("g2.jpg"));
    QVERIFY(writeFile(gifNamedJpg, gifBytes(5, 7)));
    QCOMPARE(readPictureSize(gifNamedJpg), std::optional<QSize>(QSize(5, 7)));

    const QString empty = dir.filePath(QStringLiteral("e.jpg"));
    QVERIFY(writeFile(empty, QByteArray()));
    QCOMPARE(readPictureSize(empty), std::nullopt);
    const QString text = dir.filePath(QStringLiteral("t.gif"));
    QVERIFY(writeFile(text, "not a picture"));
    QCOMPARE(readPictureSize(text), std::nullopt);
    QCOMPARE(readPictureSize(dir.filePath(QStringLiteral("missing.jpg"))), std::nullopt);
}

void TestFolder::folderText_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("text");
    QTest::newRow("folder") << QStringLiteral("/home/a/Pics") << QStringLiteral("/home/a/Pics/");
    QTest::newRow("already ends") << QStringLiteral("/home/a/Pics/") << QStringLiteral("/home/a/Pics/");
    QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/");
    QTest::newRow("cancelled") << QString() << QString();
}

void TestFolder::folderText()
{
    QFETCH(QString, chosen);
    QFETCH(QString, text);
    QCOMPARE(tarnwick::folderText(chosen), text);
}

QTEST_GUILESS_MAIN(TestFolder)
#include "tst_folder.moc"
