#include "list/picturelist.h"
#include "session/picturesizereader.h"
#include "queue/workqueue.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace tarnwick;

// The sizes of a list's pictures, read on worker threads into its facts.
class tst_PictureSizeReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A second run reads again only what changed on disk since the first.
    void readsChangedPicturesAgain_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("readsAgain");
        QTest::addColumn<QSize>("size");
        QTest::newRow("unchanged") << "none" << 0 << QSize(40, 30);
        QTest::newRow("rewritten larger") << "rewrite" << 1 << QSize(80, 20);
        QTest::newRow("same bytes, newer time") << "touch" << 1 << QSize(40, 30);
        QTest::newRow("removed") << "remove" << 1 << QSize();
    }

    void readsChangedPicturesAgain()
    {
        QFETCH(QString, change);
        QFETCH(int, readsAgain);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        const QString changed = dir.filePath(QStringLiteral("b.jpg"));
        QVERIFY(QImage(10, 10, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("a.jpg"))));
        QVERIFY(QImage(40, 30, QImage::Format_RGB32).save(changed));
        PictureList list;
        list.setListing(dir.path() + u'/', {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
        std::atomic<int> reads{0};
        WorkQueue queue(2);
        PictureSizeReader reader(list, queue, [&reads](const QString &path) {
            ++reads;
            return PictureHeader::readFile(path);
        });
        bool elsewhere = false;
        connect(&list, &PictureList::factsChanged, this, [&] { elsewhere |= QThread::currentThread() != thread(); });
        QSignalSpy reported(&list, &PictureList::factsChanged);
        QSignalSpy finished(&reader, &PictureSizeReader::finished);
        reader.readAll();
        QVERIFY(finished.wait());
        QCOMPARE(reads.load(), 2);
        // One batch, one signal naming both pictures.
        QCOMPARE(reported.size(), 1);
        QStringList names = reported.at(0).at(0).toStringList();
        names.sort();
        QCOMPARE(names, QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));

        QFile file(changed);
        if (change == u"rewrite")
            QVERIFY(QImage(80, 20, QImage::Format_RGB32).save(changed));
        else if (change == u"touch")
            QVERIFY(file.open(QIODevice::ReadWrite)
                    && file.setFileTime(file.fileTime(QFile::FileModificationTime).addSecs(5),
                                        QFile::FileModificationTime));
        else if (change == u"remove")
            QVERIFY(file.remove());
        reader.readAll();
        QVERIFY(finished.wait());
        QCOMPARE(reads.load(), 2 + readsAgain);
        const PictureFacts facts = list.facts(QStringLiteral("b.jpg"));
        QCOMPARE(facts.pixelSize.value_or(QSize()), size);
        QCOMPARE(facts.sizeReason.isEmpty(), size.isValid());
        QVERIFY(!elsewhere);
    }

    void tellsGoneFromUnreadable_data()
    {
        QTest::addColumn<bool>("stamping");
        QTest::newRow("with stamps (the window)") << true;
        QTest::newRow("without (tarnwick-make)") << false;
    }

    // Listed pictures read with the headers together: one gone since the
    // listing is not found, one there but not to be opened is unreadable.
    void tellsGoneFromUnreadable()
    {
        QFETCH(bool, stamping);
        QTemporaryDir dir;
        QVERIFY(QImage(10, 8, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("a.jpg"))));
        QVERIFY(QFile(dir.filePath(QStringLiteral("empty.jpg"))).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(QStringLiteral("loop.jpg"), dir.filePath(QStringLiteral("loop.jpg"))));
        PictureList list;
        list.setListing(dir.path() + u'/', {QStringLiteral("a.jpg"), QStringLiteral("empty.jpg"),
                                            QStringLiteral("gone.jpg"), QStringLiteral("loop.jpg")});
        WorkQueue queue(2);
        PictureSizeReader reader(list, queue);
        reader.setStamping(stamping);
        QSignalSpy finished(&reader, &PictureSizeReader::finished);
        reader.readAll();
        QVERIFY(finished.wait());

        const auto kind = [&](const char *name) {
            const std::optional<PageProblem> problem = list.facts(QString::fromLatin1(name)).problem;
            return problem ? int(problem->kind) : -1;
        };
        const PictureFacts picture = list.facts(QStringLiteral("a.jpg"));
        QCOMPARE(picture.pixelSize, QSize(10, 8));
        QCOMPARE(picture.byteSize.has_value(), stamping);
        QCOMPARE(kind("a.jpg"), -1);
        QCOMPARE(kind("empty.jpg"), int(PageProblem::Kind::Unreadable));
        QCOMPARE(kind("gone.jpg"), int(PageProblem::Kind::NotFound));
        QCOMPARE(kind("loop.jpg"), int(PageProblem::Kind::Unreadable));
    }
};

QTEST_GUILESS_MAIN(tst_PictureSizeReader)
#include "tst_picturesizereader.moc"
