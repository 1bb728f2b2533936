#include "session/booksession.h"
#include "widgets/undostackhistory.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

using Kind = GenerateOutcome::Kind;
Q_DECLARE_METATYPE(Kind)

// The generate sequence, driven as the window and tarnwick-make drive it.
class tst_BookSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generate_data();
    void generate();
    void inputChangesAreOneUndoStep();
};

void tst_BookSession::generate_data()
{
    QTest::addColumn<QString>("change"); // what happens between listing and generating
    QTest::addColumn<int>("fit");
    QTest::addColumn<bool>("justListed");
    QTest::addColumn<bool>("waitGivenUp");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("named");

    const QStringList none;
    QTest::newRow("written") << "" << 0 << false << false << Kind::Written << none;
    QTest::newRow("contained") << "" << 1 << false << false << Kind::Written << none;
    QTest::newRow("book too big") << "width" << 0 << false << false << Kind::CheckFailed << none;
    QTest::newRow("vanished") << "remove b" << 0 << false << false << Kind::PicturesVanished
                              << QStringList{u"b.jpg"_qs};
    QTest::newRow("vanished, just listed") << "remove b" << 0 << true << false << Kind::Written << none;
    QTest::newRow("unreadable, stretched") << "damage b" << 0 << false << false << Kind::Written << none;
    QTest::newRow("unreadable, contained") << "damage b" << 1 << false << false << Kind::SizesUnreadable
                                           << QStringList{u"b.jpg"_qs};
    QTest::newRow("wait given up") << "" << 2 << false << true << Kind::Cancelled << none;
    QTest::newRow("document is a folder") << "folder" << 0 << false << false << Kind::WriteFailed << none;
}

void tst_BookSession::generate()
{
    QFETCH(QString, change);
    QFETCH(int, fit);
    QFETCH(bool, justListed);
    QFETCH(bool, waitGivenUp);
    QFETCH(Kind, kind);
    QFETCH(QStringList, named);
    QTemporaryDir dir;
    QVERIFY(QImage(400, 300, QImage::Format_RGB32).save(dir.filePath(u"a.jpg"_qs)));
    QVERIFY(QImage(200, 100, QImage::Format_RGB32).save(dir.filePath(u"b.jpg"_qs)));

    BookSession session;
    const BookSession::Opened opened = session.openFolder(dir.path());
    QCOMPARE(opened.firstPictureSize, QSize(400, 300));
    BookSettings inputs = session.inputs();
    inputs.presetFromFirstPicture(*opened.firstPictureSize);
    inputs.fitMode = FitMode(fit);
    if (change == u"width")
        inputs.bookWidth = u"2001"_qs;
    session.setInputs(inputs);
    if (change == u"remove b")
        QVERIFY(QFile::remove(dir.filePath(u"b.jpg"_qs)));
    if (change == u"damage b") {
        QFile damaged(dir.filePath(u"b.jpg"_qs));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate) && damaged.write("no picture") > 0);
    }
    if (change == u"folder")
        QVERIFY(QDir(dir.path()).mkpath(u"MyEBook.dml/inside"_qs));

    const GenerateOutcome outcome = session.generateBook(
        [&](PictureSizeReader &sizes) { return !waitGivenUp && waitForSizes(sizes, session.queue()); },
        OlderDocument::Replace, justListed ? BookSession::Listing::JustListed : BookSession::Listing::MayBeOld);
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.pictures, named);
    QCOMPARE(outcome.path, dir.filePath(u"MyEBook.dml"_qs));
    QCOMPARE(QFileInfo(outcome.path).isFile(), kind == Kind::Written);
    if (kind == Kind::CheckFailed)
        QCOMPARE(outcome.failure->field, BookField::BookWidth);
    if (kind == Kind::SizesUnreadable)
        QCOMPARE(outcome.reasons, QStringList{u"not a GIF or JPEG picture"_qs});
    if (kind == Kind::WriteFailed)
        QVERIFY(!outcome.reason.isEmpty());
}

void tst_BookSession::inputChangesAreOneUndoStep()
{
    BookSession session(std::make_unique<UndoStackHistory>());
    int changes = 0;
    connect(&session, &BookSession::inputsChanged, this, [&] { ++changes; });
    BookSettings wider = session.inputs();
    wider.bookWidth = u"1200"_qs;
    wider.fitMode = FitMode::Shrink;
    session.changeInputs(u"宽"_qs, wider);
    QCOMPARE(session.inputs(), wider);
    session.pictures().history()->undo();
    QCOMPARE(session.inputs(), BookSettings());
    session.pictures().history()->redo();
    QCOMPARE(session.inputs().bookWidth, u"1200"_qs);
    QCOMPARE(changes, 3);
    // The folder and the pages are the session's own, never an input's.
    wider.pictureFolder = u"/elsewhere/"_qs;
    wider.pictures = {u"x.jpg"_qs};
    session.setInputs(wider);
    QCOMPARE(changes, 3);
    QVERIFY(session.book().pictures.isEmpty());
}

QTEST_GUILESS_MAIN(tst_BookSession)
#include "tst_booksession.moc"
