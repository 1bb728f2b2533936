#include "pictures/picturelist.h"
#include "pictures/picturesizereader.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace tarnwick;

namespace {

bool writeJpeg(const QString &path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    return image.save(path, "JPEG");
}

} // namespace

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
        const QString folder = dir.path() + u'/';
        const QString changed = folder + QStringLiteral("b.jpg");
        QVERIFY(writeJpeg(folder + QStringLiteral("a.jpg"), 10, 10));
        QVERIFY(writeJpeg(changed, 40, 30));

        PictureList list;
        list.setListing(folder, {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
        std::atomic<int> reads{0};
        PictureSizeReader reader(list, 2, [&reads](const QString &path) {
            ++reads;
            return PictureHeader::readFile(path);
        });
        QThread *const own = QThread::currentThread();
        bool elsewhere = false;
        connect(&list, &PictureList::factsChanged, this, [&] { elsewhere |= QThread::currentThread() != own; });
        QSignalSpy finished(&reader, &PictureSizeReader::finished);

        reader.readAll();
        QVERIFY(finished.wait());
        QCOMPARE(reads.load(), 2);
        QCOMPARE(list.facts(QStringLiteral("b.jpg")).pixelSize, std::optional<QSize>(QSize(40, 30)));

        if (change == u"rewrite") {
            QVERIFY(writeJpeg(changed, 80, 20));
        } else if (change == u"touch") {
            QFile file(changed);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(file.fileTime(QFile::FileModificationTime).addSecs(5),
                                     QFile::FileModificationTime));
        } else if (change == u"remove") {
            QVERIFY(QFile::remove(changed));
        }
        reader.readAll();
        QVERIFY(finished.wait());
        QCOMPARE(reads.load(), 2 + readsAgain);
        const PictureFacts facts = list.facts(QStringLiteral("b.jpg"));
        QCOMPARE(facts.pixelSize.value_or(QSize()), size);
        QCOMPARE(facts.sizeReason.isEmpty(), size.isValid());
        QCOMPARE(reader.done(), 2);
        QVERIFY(!elsewhere);
    }
};

QTEST_GUILESS_MAIN(tst_PictureSizeReader)
#include "tst_picturesizereader.moc"
