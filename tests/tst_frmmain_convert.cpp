#include "board/boardnotice.h"
#include "board/frmpageboard.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>

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

} // namespace

// 转换为JPEG… through the real window: the board's line and List1's menu.
class tst_frmMainConvert : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainConvert() : MainWindowFixture(QStringLiteral("none.ini")) {}

private:
    QStringList selectedEntries() const
    {
        QStringList names;
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            if (list()->selectionModel()->isRowSelected(row, QModelIndex()))
                names.append(entries().at(row));
        }
        return names;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }
    void init() { QVERIFY(resetFixture()); }
    void cleanup() { m_window.reset(); }

    void convertsAndListsTheCopies_data()
    {
        QTest::addColumn<bool>("fromBoard");
        QTest::addColumn<bool>("accept");
        QTest::newRow("the board's line") << true << true;
        QTest::newRow("List1's menu") << false << true;
        QTest::newRow("declined") << true << false;
    }

    // The names are shown first; the copies join the list at their name
    // places, selected, as one step that undo takes back (the files stay).
    void convertsAndListsTheCopies()
    {
        QFETCH(bool, fromBoard);
        QFETCH(bool, accept);
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 40, 30));
        QVERIFY(writePicture(pics + QStringLiteral("/c.jpg"), 40, 30));
        QVERIFY(writePicture(pics + QStringLiteral("/b.png"), 40, 30, "PNG"));
        QVERIFY(writePicture(pics + QStringLiteral("/d.bmp"), 40, 30, "BMP"));
        // Its copy is there already: not counted.
        QVERIFY(writePicture(pics + QStringLiteral("/c.png"), 40, 30, "PNG"));
        open();
        browse(pics);
        QCOMPARE(entries(), L({"a.jpg", "c.jpg"}));

        m_platform.answers.push_back(accept);
        BoardNotice *notice = nullptr;
        if (fromBoard) {
            QTest::keyClick(m_window.get(), Qt::Key_F4);
            auto *board = m_window->findChild<frmPageBoard *>();
            QVERIFY(board);
            notice = board->convertNotice();
            QTRY_VERIFY(notice->isVisible());
            QCOMPARE(notice->text(), QStringLiteral(u"目录中还有2张其他格式的图片未列出"));
            QCOMPARE(notice->button()->text(), QStringLiteral(u"转换为JPEG…"));
            QTest::mouseClick(notice->button(), Qt::LeftButton);
        } else {
            auto *action = m_window->findChild<QAction *>(QStringLiteral("convertPictures"));
            QVERIFY(action);
            QVERIFY(list()->findChild<QMenu *>()->actions().contains(action));
            action->trigger();
        }
        QCOMPARE(m_platform.questions,
                 QStringList{QStringLiteral(u"是否将以下2张图片转换为JPEG文件？原图片不会改变。\nb.png\nd.bmp")});
        if (!accept) {
            QVERIFY(!QFileInfo::exists(pics + QStringLiteral("/b.jpg")));
            QVERIFY(m_platform.informations.isEmpty());
            QVERIFY(notice->isVisible());
            return;
        }
        QTRY_COMPARE(m_platform.informations, QStringList{QStringLiteral(u"已转换2张图片。")});
        QCOMPARE(entries(), L({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
        QCOMPARE(selectedEntries(), L({"b.jpg", "d.jpg"}));
        if (notice)
            QVERIFY(!notice->isVisible());

        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(entries(), L({"a.jpg", "c.jpg"}));
        QVERIFY(QFileInfo::exists(pics + QStringLiteral("/b.jpg")));
        QVERIFY(QFileInfo::exists(pics + QStringLiteral("/d.jpg")));
        QVERIFY(QFileInfo::exists(pics + QStringLiteral("/b.png")));
    }

    // The pictures left to convert belong to their folder: an undone browse
    // brings back the count of the folder it returns to.
    void undoneBrowseBringsBackItsCount()
    {
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 40, 30));
        QVERIFY(writePicture(pics + QStringLiteral("/b.png"), 40, 30, "PNG"));
        const QString plain = subfolder(QStringLiteral("plain"));
        QVERIFY(writePicture(plain + QStringLiteral("/x.jpg"), 40, 30));
        open();
        browse(pics);
        QTest::keyClick(m_window.get(), Qt::Key_F4);
        auto *board = m_window->findChild<frmPageBoard *>();
        QVERIFY(board);
        QTRY_VERIFY(board->convertNotice()->isVisible());
        browse(plain);
        QTRY_VERIFY(!board->convertNotice()->isVisible());
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(entries(), L({"a.jpg"}));
        QTRY_VERIFY(board->convertNotice()->isVisible());
        QCOMPARE(board->convertNotice()->text(), QStringLiteral(u"目录中还有1张其他格式的图片未列出"));
    }
};

QTEST_MAIN(tst_frmMainConvert)
#include "tst_frmmain_convert.moc"
