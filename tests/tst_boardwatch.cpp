#include "board/boardnotice.h"
#include "board/frmpageboard.h"
#include "board/pageboardview.h"
#include "board/pagetile.h"
#include "mainwindowfixture.h"
#include "session/booksession.h"
#include "session/folderwatch.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QPushButton>

using namespace tarnwick;

// What the folder's watch changes, as the main window and the page board show
// it: the top line that counts the pictures added, their selection in List1,
// and the tile of a picture gone from the folder.
class tst_BoardWatch : public QObject, private MainWindowFixture
{
    Q_OBJECT

public:
    tst_BoardWatch() : MainWindowFixture(QStringLiteral("Vellicor.ini")) {}

private:
    QTemporaryDir m_cache;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(startApplication());
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit());
    }
    void init() { QVERIFY(resetFixture()); }
    void cleanup() { m_window.reset(); }

    void changesShowOnTheBoard()
    {
        const QString folder = subfolder(QStringLiteral("pictures"));
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(writePicture(folder + u'/' + QLatin1String(name), 40, 30));
        open();
        browse(folder);
        QTest::keyClick(m_window.get(), Qt::Key_F4);
        auto *board = m_window->findChild<frmPageBoard *>();
        QVERIFY(board);
        BoardNotice *joined = board->joinedNotice();
        QVERIFY(!joined->isVisibleTo(board));

        // The pictures just written are read again until they are a few
        // seconds old; the two new ones must come in one reading.
        auto *session = m_window->findChild<BookSession *>();
        QVERIFY(session);
        QTRY_VERIFY_WITH_TIMEOUT(session->folderWatch().isIdle(), 15000);
        QVERIFY(writePicture(folder + QStringLiteral("/e.jpg"), 40, 30));
        QVERIFY(writePicture(folder + QStringLiteral("/d.jpg"), 40, 30));
        QTRY_COMPARE(entries().size(), 5);
        QCOMPARE(joined->text(), QStringLiteral(u"新增2张图片"));
        QVERIFY(joined->isVisibleTo(board));
        QVERIFY(!joined->button()->isVisibleTo(joined));
        const QModelIndexList selected = list()->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 2);
        QCOMPARE(selected.first().row() + selected.last().row(), 3 + 4);
        QCOMPARE(caption(), QStringLiteral(u"图片列表(3个)"));

        QVERIFY(QFile::remove(folder + QStringLiteral("/b.jpg")));
        const QModelIndex b = board->view()->model()->index(1, 0);
        QTRY_VERIFY(b.data(Qt::AccessibleTextRole).toString().contains(QStringLiteral(u"找不到")));
        QCOMPARE(entries().at(1), QStringLiteral("b.jpg"));

        // Undo takes the two back, and the line goes with them.
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(entries(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}));
        QVERIFY(!joined->isVisibleTo(board));
    }

    // The mark of a missing picture is a word, wider than the others' sign.
    void notFoundBadgeIsAWord()
    {
        const auto paint = [](PageProblem::Kind kind) {
            QImage tile(192, 192, QImage::Format_RGB32);
            tile.fill(Qt::white);
            QPainter painter(&tile);
            paintProblemBadge(painter, tile.width(), kind);
            painter.end();
            // Where the row through the badge first turns from white.
            for (int x = 0; x < tile.width(); ++x)
                if (tile.pixel(x, 14) != qRgb(255, 255, 255))
                    return x;
            return tile.width();
        };
        const int sign = paint(PageProblem::Kind::Turned);
        const int word = paint(PageProblem::Kind::NotFound);
        QVERIFY2(sign < 192, "no badge drawn");
        QVERIFY(word < sign - 20);
    }
};

QTEST_MAIN(tst_BoardWatch)
#include "tst_boardwatch.moc"
