#include "mainwindowfixture.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <cerrno>

using namespace tarnwick;

// The browse command through the real window over real temporary folders.
class tst_frmMainBrowse : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainBrowse() : MainWindowFixture(QStringLiteral("none.ini")) {}

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init()
    {
        QVERIFY(resetFixture());
        QVERIFY(openWindow());
    }

    void cleanup() { m_window.reset(); }

    void fillsListCaptionAndSizes()
    {
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writeBytes(pics + QStringLiteral("/b.gif"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 640, 480, "JPEG"));
        QVERIFY(writeBytes(pics + QStringLiteral("/c.GIF"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/d.png"), 5, 5, "PNG"));
        QVERIFY(QDir().mkpath(pics + QStringLiteral("/e.gif")));
        browse(pics);

        QCOMPARE(m_platform.folderTitles, QStringList{QStringLiteral(u"请选择图片所在目录：")});
        QCOMPARE(m_platform.parents.first(), m_window.get());
        QCOMPARE(text(QStringLiteral("Text1")), pics + u'/');
        QCOMPARE(entries(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.gif"),
                                         QStringLiteral("c.GIF")}));
        QCOMPARE(caption(), QStringLiteral(u"图片列表(3个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("640"), QStringLiteral("480"),
                                       QStringLiteral("640"), QStringLiteral("480")}));
        QVERIFY(m_platform.warnings.isEmpty());
        QVERIFY(!list()->selectionModel()->hasSelection());
    }

    void sizesComeFromTheFirstEntryWhateverItsType()
    {
        const QString pics = subfolder(QStringLiteral("gif first"));
        QVERIFY(writeBytes(pics + QStringLiteral("/a.gif"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/b.jpg"), 640, 480, "JPEG"));
        // A folder that already ends in "/" gets no second one.
        browse(pics + u'/');
        QCOMPARE(text(QStringLiteral("Text1")), pics + u'/');
        QCOMPARE(sizes(), (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("3"),
                                       QStringLiteral("2")}));
    }

    void rescanRestoresTheFullListUnselected()
    {
        const QString pics = subfolder(QStringLiteral("again"));
        for (const char *name : {"page2.jpg", "page10.jpg", "Page1.jpg"})
            QVERIFY(writePicture(pics + u'/' + QLatin1String(name), 20, 10, "JPEG"));
        browse(pics);
        const QStringList first = entries();
        QCOMPARE(first, (QStringList{QStringLiteral("Page1.jpg"), QStringLiteral("page10.jpg"),
                                     QStringLiteral("page2.jpg")}));
        auto *list = control<QListView>(QStringLiteral("List1"));
        list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
        click(QStringLiteral("Label11"));
        list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
        click(QStringLiteral("Label15"));
        QCOMPARE(entries().size(), 1);
        browse(pics);
        QCOMPARE(entries(), first);
        QVERIFY(!list->selectionModel()->hasSelection());
    }

    void emptyFolderKeepsSizes()
    {
        control<QLineEdit>(QStringLiteral("Text3(0)"))->setText(QStringLiteral("333"));
        const QString empty = subfolder(QStringLiteral("empty"));
        QVERIFY(writeBytes(empty + QStringLiteral("/x.gif.txt"), "x"));
        browse(empty);
        QCOMPARE(entries(), QStringList());
        QCOMPARE(caption(), QStringLiteral(u"图片列表(0个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("333"), QStringLiteral("768"),
                                       QStringLiteral("1024"), QStringLiteral("768")}));
        QVERIFY(m_platform.warnings.isEmpty());
    }

    void cancelKeepsEverythingButTheFolder()
    {
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 64, 48, "JPEG"));
        browse(pics);
        control<QLineEdit>(QStringLiteral("Text3(1)"))->setText(QStringLiteral("50"));
        browse(QString());
        QCOMPARE(text(QStringLiteral("Text1")), QString());
        QCOMPARE(entries(), QStringList{QStringLiteral("a.jpg")});
        QCOMPARE(caption(), QStringLiteral(u"图片列表(1个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("64"), QStringLiteral("50"),
                                       QStringLiteral("64"), QStringLiteral("48")}));
    }

    void unreadableFirstPictureIsReported()
    {
        const QString pics = subfolder(QStringLiteral("broken"));
        QVERIFY(writeBytes(pics + QStringLiteral("/a.jpg"), "this is no picture"));
        QVERIFY(writePicture(pics + QStringLiteral("/b.jpg"), 64, 48, "JPEG"));
        browse(pics);
        QCOMPARE(entries().size(), 2);
        QCOMPARE(caption(), QStringLiteral(u"图片列表(2个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("1024"), QStringLiteral("768"),
                                       QStringLiteral("1024"), QStringLiteral("768")}));
        QCOMPARE(m_platform.warnings.size(), 1);
        QVERIFY(m_platform.warnings.first().contains(pics + QStringLiteral("/a.jpg")));
    }

    // The chooser opens in the home folder, then wherever the user chose
    // last; a cancel does not count as a choice.
    void chooserStartsWhereTheUserChoseLast()
    {
        const QString pics = subfolder(QStringLiteral("pics"));
        browse(pics);
        browse(QString());
        browse(QString());
        QCOMPARE(m_platform.startFolders, (QStringList{QDir::homePath(), pics, pics}));
    }

    // A folder removed between choosing and listing is not an empty folder:
    // the list is emptied and the user is told why, the sizes stay.
    void unreadableFolderIsReported()
    {
        const QString pics = subfolder(QStringLiteral("gone"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 64, 48, "JPEG"));
        browse(pics);
        QCOMPARE(entries().size(), 1);
        QVERIFY(QDir(pics).removeRecursively());
        browse(pics);
        QCOMPARE(text(QStringLiteral("Text1")), pics + u'/');
        QCOMPARE(entries(), QStringList());
        QCOMPARE(caption(), QStringLiteral(u"图片列表(0个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("64"), QStringLiteral("48"),
                                       QStringLiteral("64"), QStringLiteral("48")}));
        QCOMPARE(m_platform.warnings, QStringList{QStringLiteral(u"无法读取图片目录：") + pics + u'/' + u'\n'
                                                  + qt_error_string(ENOENT)});
    }
};

QTEST_MAIN(tst_frmMainBrowse)
#include "tst_frmmain_browse.moc"
