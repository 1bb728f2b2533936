#include "list/picturelist.h"
#include "session/booksession.h"
#include "widgets/undostackhistory.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

namespace {

// A JPEG of this size, encoded once: a burst is written as fast as a copy.
bool writeJpeg(const QString &path, QSize size)
{
    static QHash<QString, QByteArray> encoded;
    QByteArray &bytes = encoded[QStringLiteral("%1x%2").arg(size.width()).arg(size.height())];
    if (bytes.isEmpty()) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG"))
            return false;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool isNotFound(const PictureList &list, const QString &name)
{
    const std::optional<PictureFacts> facts = list.knownFacts(name);
    return facts && facts->problem && facts->problem->kind == PageProblem::Kind::NotFound;
}

QStringList selectedNames(const PictureList &list)
{
    QStringList names;
    const std::vector<bool> flags = list.selectedFlags();
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            names.append(list.names().at(qsizetype(i)));
    return names;
}

// burst0000.jpg, burst0001.jpg ...; written last first when reversed.
QStringList numbered(int count, bool reversed = false)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("burst%1.jpg").arg(reversed ? count - 1 - i : i, 4, 10, QLatin1Char('0')));
    return names;
}

} // namespace

// The watch on a listed folder, through a session with the window's undo
// history over a real folder: a.jpg, b.jpg and c.jpg (40 x 30) listed, then
// the user's edit, then the change on disk.
class tst_FolderWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void watch_data();
    void watch();
};

void tst_FolderWatch::watch_data()
{
    QTest::addColumn<QString>("edit");       // the user's edit before the change
    QTest::addColumn<QStringList>("ours");   // names the program claims before writing them
    QTest::addColumn<QStringList>("write");  // pictures written, in this order
    QTest::addColumn<QStringList>("remove"); // files removed
    QTest::addColumn<bool>("inPlace");       // b.jpg rewritten at 64 x 48, then the window activated
    QTest::addColumn<QStringList>("listed"); // the list once the watch has read the folder
    QTest::addColumn<QStringList>("missing");

    const QStringList none;
    const QStringList abc{u"a.jpg"_qs, u"b.jpg"_qs, u"c.jpg"_qs};
    QTest::newRow("added, in name order at the end") << "" << none << QStringList{u"e.jpg"_qs, u"D.JPG"_qs}
                                                     << none << false << abc + QStringList{u"D.JPG"_qs, u"e.jpg"_qs}
                                                     << none;
    QTest::newRow("added after the user's order") << "c to top" << none << QStringList{u"0.jpg"_qs} << none << false
                                                  << QStringList{u"c.jpg"_qs, u"a.jpg"_qs, u"b.jpg"_qs, u"0.jpg"_qs}
                                                  << none;
    QTest::newRow("an entry the user removed stays out")
        << "remove b" << none << QStringList{u"d.jpg"_qs} << none << false
        << QStringList{u"a.jpg"_qs, u"c.jpg"_qs, u"d.jpg"_qs} << none;
    QTest::newRow("other files are no pictures") << "" << none
                                                 << QStringList{u"notes.txt"_qs, u".hidden.jpg"_qs, u"f.gif"_qs}
                                                 << none << false << abc + QStringList{u"f.gif"_qs} << none;
    QTest::newRow("the program's own pictures") << "" << QStringList{u"b-1.jpg"_qs}
                                                << QStringList{u"b-1.jpg"_qs, u"z.jpg"_qs} << none << false
                                                << abc + QStringList{u"z.jpg"_qs} << none;
    QTest::newRow("removed stays listed, not found") << "" << none << none << QStringList{u"b.jpg"_qs} << false
                                                     << abc << QStringList{u"b.jpg"_qs};
    QTest::newRow("removed and written again") << "" << none << QStringList{u"b.jpg"_qs} << QStringList{u"b.jpg"_qs}
                                               << false << abc << none;
    QTest::newRow("written in place, read on activation") << "" << none << none << none << true << abc << none;
    QTest::newRow("a burst of 1000") << "" << none << numbered(1000, true) << none << false << abc + numbered(1000)
                                     << none;
}

void tst_FolderWatch::watch()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, ours);
    QFETCH(QStringList, write);
    QFETCH(QStringList, remove);
    QFETCH(bool, inPlace);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, missing);

    QTemporaryDir dir;
    // Written an hour ago: nothing is still being written when the test begins.
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(writeJpeg(file.fileName(), QSize(40, 30)));
        QVERIFY(file.open(QIODevice::ReadWrite)
                && file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    BookSession session(std::make_unique<UndoStackHistory>());
    session.setWatching(true);
    PictureList &list = session.pictures();
    QSignalSpy read(&session.folderWatch(), &FolderWatch::read);
    session.openFolder(dir.path());
    QVERIFY(read.wait());
    QTRY_VERIFY(list.knownFacts(u"b.jpg"_qs) && list.knownFacts(u"b.jpg"_qs)->pixelSize == QSize(40, 30));
    if (edit == u"c to top") {
        list.selectNames({u"c.jpg"_qs});
        list.run(ListCommand::MoveToTop);
    } else if (edit == u"remove b") {
        list.selectNames({u"b.jpg"_qs});
        list.run(ListCommand::Remove);
    }
    const QStringList before = list.names();
    const int steps = list.history()->count();
    QSignalSpy joined(&session, &BookSession::picturesJoined);
    QSignalSpy rewritten(&list, &PictureList::filesChanged);

    session.claimPictures(ours);
    for (const QString &name : remove)
        QVERIFY(QFile::remove(dir.filePath(name)));
    if (!remove.isEmpty() && !write.isEmpty())
        QTRY_VERIFY(isNotFound(list, remove.first()));
    for (const QString &name : write) {
        if (name.endsWith(u".txt"))
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        else
            QVERIFY(writeJpeg(dir.filePath(name), QSize(20, 10)));
    }
    if (inPlace) {
        QVERIFY(writeJpeg(dir.filePath(u"b.jpg"_qs), QSize(64, 48)));
        session.recheckFolder();
        QTRY_VERIFY(list.knownFacts(u"b.jpg"_qs) && list.knownFacts(u"b.jpg"_qs)->pixelSize == QSize(64, 48));
        QVERIFY(!rewritten.isEmpty());
        QCOMPARE(rewritten.last().first().toStringList(), QStringList{u"b.jpg"_qs});
    }
    for (const QString &name : missing)
        QTRY_VERIFY(isNotFound(list, name));
    QTRY_COMPARE_WITH_TIMEOUT(list.names(), listed, 10000);
    // A later reading adds nothing more.
    session.recheckFolder();
    QVERIFY(read.wait());
    QCOMPARE(list.names(), listed);

    const QStringList added = listed.mid(before.size());
    if (!added.isEmpty())
        QCOMPARE(selectedNames(list), added);
    QCOMPARE(list.history()->count(), steps + (added.isEmpty() ? 0 : 1));
    QCOMPARE(joined.count(), added.isEmpty() ? 0 : 1);
    for (const QString &name : {u"a.jpg"_qs, u"c.jpg"_qs})
        QVERIFY(!list.knownFacts(name)->problem);
    if (!remove.isEmpty() && !write.isEmpty()) {
        QTRY_COMPARE(list.knownFacts(remove.first())->pixelSize, QSize(20, 10));
        QVERIFY(!list.knownFacts(remove.first())->problem);
    }
    if (!missing.isEmpty()) {
        // The page check names it when the book is made.
        QCOMPARE(vanishedPictures(list.folder(), list.names()), missing);
    }
    if (added.isEmpty())
        return;
    // One undo takes them all back, and they do not come again.
    list.history()->undo();
    QCOMPARE(list.names(), before);
    session.recheckFolder();
    QVERIFY(read.wait());
    QCOMPARE(list.names(), before);
    list.history()->redo();
    QCOMPARE(list.names(), listed);
}

QTEST_GUILESS_MAIN(tst_FolderWatch)
#include "tst_folderwatch.moc"
