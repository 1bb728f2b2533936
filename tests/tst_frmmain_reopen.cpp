#include "app/colourswatch.h"
#include "app/storedsettings.h"
#include "book/dmlwriter.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QUrl>

using namespace tarnwick;

// Reopening a book in the window: the list's menu entry, a path given to the
// program and a folder or document dropped on the window.
class tst_frmMainReopen : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainReopen() : MainWindowFixture(QStringLiteral("Vellicor.ini")) {}

private:
    QString m_pictures;

    // A book of the folder's pictures c, a and a page x the folder lacks, in
    // inputs no preset gives.
    BookSettings book(const QString &name = QStringLiteral("MyEBook.dml")) const
    {
        BookSettings s;
        s.pictureFolder = m_pictures + u'/';
        s.documentName = name;
        s.bookWidth = QStringLiteral(" 900");
        s.bookHeight = QStringLiteral("700");
        s.pictureWidth = QStringLiteral("880");
        s.pictureHeight = QStringLiteral("680");
        s.pictureLeft = QStringLiteral("10");
        s.pictureTop = QStringLiteral("-5");
        s.backgroundColour = 0xFF00;
        s.border = BorderSwitch::On;
        s.borderColour = 0xFF;
        s.pictures = {QStringLiteral("c.jpg"), QStringLiteral("a.jpg"), QStringLiteral("x.jpg")};
        return s;
    }

    QAction *menuEntry() const
    {
        // The last section: this entry, the page board's, then the export's.
        const QList<QAction *> actions = list()->findChild<QMenu *>()->actions();
        return actions.size() < 3 ? nullptr : actions.at(actions.size() - 3);
    }

    QStringList selectedEntries() const
    {
        QStringList names;
        const QAbstractItemModel *model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (list()->selectionModel()->isSelected(model->index(row, 0)))
                names.append(model->index(row, 0).data().toString());
        return names;
    }

    void expectBookShown()
    {
        QCOMPARE(entries(), (QStringList{QStringLiteral("c.jpg"), QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                         QStringLiteral("d.jpg")}));
        QCOMPARE(selectedEntries(), (QStringList{QStringLiteral("b.jpg"), QStringLiteral("d.jpg")}));
        QCOMPARE(sizes(), (QStringList{QStringLiteral(" 900"), QStringLiteral("700"), QStringLiteral("880"),
                                       QStringLiteral("680")}));
        QCOMPARE(text(QStringLiteral("Text8")), QStringLiteral("10"));
        QCOMPARE(text(QStringLiteral("Text7")), QStringLiteral("-5"));
        QCOMPARE(control<ColourSwatch>(QStringLiteral("Label5"))->colour(), ColourValue(0xFF00));
        QCOMPARE(control<ColourSwatch>(QStringLiteral("Label8"))->colour(), ColourValue(0xFF));
        QVERIFY(control<QCheckBox>(QStringLiteral("Check1"))->isChecked());
        QVERIFY(control<QWidget>(QStringLiteral("Label8"))->isVisible());
        QCOMPARE(m_platform.warnings,
                 QStringList{QStringLiteral(u"以下图片在目录中找不到，已跳过：\nx.jpg")});
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init()
    {
        QVERIFY(resetFixture());
        m_pictures = subfolder(QStringLiteral("pictures"));
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            QVERIFY(writePicture(m_pictures + u'/' + QLatin1String(name), 40, 30));
    }

    void cleanup() { m_window.reset(); }

    void menuEntryArrangesByTheDocument()
    {
        QCOMPARE(saveDocument(book()), std::nullopt);
        open();
        browse(m_pictures);
        QAction *entry = menuEntry();
        QCOMPARE(entry->text(), QStringLiteral(u"按dml文件排列(&L)"));
        const QList<QAction *> actions = list()->findChild<QMenu *>()->actions();
        QVERIFY(actions.at(actions.size() - 4)->isSeparator());
        entry->trigger();
        expectBookShown();
        // One step: undo gives the name order and the preset inputs back,
        // redo the book's again.
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(entries(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg"),
                                         QStringLiteral("d.jpg")}));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("40"), QStringLiteral("30"), QStringLiteral("40"),
                                       QStringLiteral("30")}));
        QCOMPARE(control<ColourSwatch>(QStringLiteral("Label5"))->colour(), BookSettings().backgroundColour);
        QVERIFY(!control<QCheckBox>(QStringLiteral("Check1"))->isChecked());
        QTest::keyClick(list(), Qt::Key_Y, Qt::ControlModifier);
        expectBookShown();
    }

    // A cancelled browse empties Text1 but keeps the list: the document is
    // the listed folder's, never one in the working folder. With nothing
    // listed the entry is off.
    void menuEntryUsesTheListedFolder()
    {
        QCOMPARE(saveDocument(book()), std::nullopt);
        BookSettings elsewhere = book();
        elsewhere.pictureFolder = subfolder(QStringLiteral("working")) + u'/';
        elsewhere.pictures = {QStringLiteral("d.jpg")};
        QCOMPARE(saveDocument(elsewhere), std::nullopt);
        const QString working = QDir::currentPath();
        QDir::setCurrent(elsewhere.pictureFolder);
        const auto back = qScopeGuard([&working] { QDir::setCurrent(working); });
        open();
        auto *menu = list()->findChild<QMenu *>();
        Q_EMIT menu->aboutToShow();
        QVERIFY(!menuEntry()->isEnabled());
        browse(m_pictures);
        browse(QString());
        QCOMPARE(text(QStringLiteral("Text1")), QString());
        Q_EMIT menu->aboutToShow();
        QVERIFY(menuEntry()->isEnabled());
        menuEntry()->trigger();
        expectBookShown();
    }

    void menuEntryMessages_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("message");
        QTest::newRow("no document") << QByteArray() << QStringLiteral(u"找不到dml文件：%1");
        QTest::newRow("not a document") << QByteArray("hello")
                                        << QStringLiteral(u"无法读取dml文件：%1\n缺少PAGEFORMAT元素");
        QByteArray many = "<PAGEFORMAT/><DIMENSION/>";
        for (int i = 1; i <= 25; ++i)
            many += "<PAGE/><BITMAP file=\"gone" + QByteArray::number(i) + ".jpg\"/>";
        QString skipped = QStringLiteral(u"以下图片在目录中找不到，已跳过：");
        for (int i = 1; i <= 20; ++i)
            skipped += QStringLiteral("\ngone%1.jpg").arg(i);
        QTest::newRow("many pages missing") << many << skipped + QStringLiteral(u"\n……共25个");
    }

    void menuEntryMessages()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, message);
        const QString path = m_pictures + QStringLiteral("/MyEBook.dml");
        if (!document.isEmpty())
            QVERIFY(writeBytes(path, document));
        open();
        browse(m_pictures);
        const QStringList sizesBefore = sizes();
        menuEntry()->trigger();
        QCOMPARE(m_platform.warnings, QStringList{message.contains(u"%1") ? message.arg(path) : message});
        if (!message.contains(u"……"))
            QCOMPARE(sizes(), sizesBefore);
    }

    // The document's values win over the stored ones; a folder is listed as
    // if chosen; anything else is reported.
    void pathGivenToTheProgram()
    {
        BookSettings stored;
        stored.setBookSize(QStringLiteral("500"), QStringLiteral("400"));
        QVERIFY(saveStoredTexts(iniPath(), stored.storedValues()));
        QCOMPARE(saveDocument(book(QStringLiteral("Trip.DML"))), std::nullopt);
        open().openPath(m_pictures + QStringLiteral("/Trip.DML"));
        QCOMPARE(text(QStringLiteral("Text1")), m_pictures + u'/');
        QCOMPARE(text(QStringLiteral("Text2")), QStringLiteral("Trip.DML"));
        expectBookShown();

        m_platform.warnings.clear();
        m_window->openPath(m_pictures);
        QCOMPARE(entries().size(), 4);
        QCOMPARE(sizes().first(), QStringLiteral("40"));
        const QString odd = m_pictures + QStringLiteral("/a.jpg");
        m_window->openPath(odd);
        QCOMPARE(m_platform.warnings, QStringList{QStringLiteral(u"无法打开：") + odd});
    }

    // A new list, whichever way it comes, is one undo step: Ctrl+Z brings
    // back the folder, the arranged list with its selection, the typed inputs
    // and the caption; Ctrl+Y the new list again.
    void replacementIsOneUndoStep_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("listed"); // the new list
        QTest::addColumn<QString>("documentName");
        const QStringList plain{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg"),
                                QStringLiteral("d.jpg")};
        const QStringList arranged{QStringLiteral("c.jpg"), QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                   QStringLiteral("d.jpg")};
        QTest::newRow("browse") << "browse" << plain << "MyEBook.dml";
        QTest::newRow("dropped folder") << "drop folder" << plain << "MyEBook.dml";
        QTest::newRow("opened document") << "open document" << arranged << "Trip.DML";
        QTest::newRow("dropped document") << "drop document" << arranged << "Trip.DML";
    }

    void replacementIsOneUndoStep()
    {
        QFETCH(QString, way);
        QFETCH(QStringList, listed);
        QFETCH(QString, documentName);
        QCOMPARE(saveDocument(book(QStringLiteral("Trip.DML"))), std::nullopt);
        const QString first = subfolder(QStringLiteral("first"));
        for (const char *name : {"e.jpg", "f.jpg", "g.jpg"})
            QVERIFY(writePicture(first + u'/' + QLatin1String(name), 60, 50));
        open();
        browse(first);
        // Arranged and typed by hand: g to the top, e and f selected, other sizes.
        list()->selectionModel()->select(list()->model()->index(2, 0), QItemSelectionModel::ClearAndSelect);
        click(QStringLiteral("Label11"));
        list()->selectionModel()->select(QItemSelection(list()->model()->index(1, 0), list()->model()->index(2, 0)),
                                         QItemSelectionModel::ClearAndSelect);
        control<QLineEdit>(QStringLiteral("Text3(0)"))->setText(QStringLiteral("321"));
        control<QLineEdit>(QStringLiteral("Text3(3)"))->setText(QStringLiteral("45"));
        const QStringList arranged{QStringLiteral("g.jpg"), QStringLiteral("e.jpg"), QStringLiteral("f.jpg")};
        const QStringList typed{QStringLiteral("321"), QStringLiteral("50"), QStringLiteral("60"),
                                QStringLiteral("45")};
        QCOMPARE(entries(), arranged);
        QCOMPARE(sizes(), typed);

        const auto drop = [this](const QString &path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &enter);
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &dropped);
        };
        if (way == u"browse")
            browse(m_pictures);
        else if (way == u"drop folder")
            drop(m_pictures);
        else if (way == u"open document")
            m_window->openPath(m_pictures + QStringLiteral("/Trip.DML"));
        else
            drop(m_pictures + QStringLiteral("/Trip.DML"));
        QCOMPARE(entries(), listed);
        QCOMPARE(text(QStringLiteral("Text1")), m_pictures + u'/');
        QCOMPARE(caption(), QStringLiteral(u"图片列表(4个)"));
        const QStringList replacedSizes = sizes();
        QVERIFY(replacedSizes != typed);

        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(entries(), arranged);
        QCOMPARE(selectedEntries(), (QStringList{QStringLiteral("e.jpg"), QStringLiteral("f.jpg")}));
        QCOMPARE(text(QStringLiteral("Text1")), first + u'/');
        QCOMPARE(caption(), QStringLiteral(u"图片列表(3个)"));
        QCOMPARE(sizes(), typed);
        QCOMPARE(text(QStringLiteral("Text2")), QStringLiteral("MyEBook.dml"));

        QTest::keyClick(list(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(entries(), listed);
        QCOMPARE(text(QStringLiteral("Text1")), m_pictures + u'/');
        QCOMPARE(sizes(), replacedSizes);
        QCOMPARE(text(QStringLiteral("Text2")), documentName);
    }

    void dropOnTheWindow()
    {
        QCOMPARE(saveDocument(book()), std::nullopt);
        open();
        const auto drop = [this](const QString &path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &dropped);
            return true;
        };
        QVERIFY(!drop(m_pictures + QStringLiteral("/a.jpg")));
        QVERIFY(drop(m_pictures + QStringLiteral("/MyEBook.dml")));
        expectBookShown();
    }
};

QTEST_MAIN(tst_frmMainReopen)
#include "tst_frmmain_reopen.moc"
