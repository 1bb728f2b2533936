#include "mainwindowfixture.h"
#include "preview/frmshowpic.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QWindow>

using namespace tarnwick;

// The preview as the main window drives it: the real frmMain, a scanned
// folder of real pictures, and the one preview window.
class tst_frmMainPreview : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainPreview() : MainWindowFixture(QStringLiteral("t.ini")) {}

private:
    QCheckBox *check2() const { return control<QCheckBox>(QStringLiteral("Check2")); }

    static frmShowPic *preview()
    {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (auto *p = qobject_cast<frmShowPic *>(w); p && p->isVisible())
                return p;
        }
        return nullptr;
    }

    void clickEntry(int row)
    {
        const QRect rect = list()->visualRect(list()->model()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init()
    {
        QVERIFY(resetFixture());
        QVERIFY(writePicture(m_dir->filePath(QStringLiteral("a.jpg")), 800, 600, "JPEG", Qt::red));
        QVERIFY(writePicture(m_dir->filePath(QStringLiteral("b.jpg")), 300, 200, "JPEG", Qt::blue));
        QVERIFY(openWindow(QPoint(100, 100)));
        browse(m_dir->path());
        QCOMPARE(list()->model()->rowCount(), 2);
    }

    void cleanup()
    {
        m_window.reset();
        QTRY_VERIFY(!preview());
    }

    void clickWithoutTheBoxShowsNothing()
    {
        clickEntry(0);
        QVERIFY(!preview());
        QVERIFY(!m_window->IsFormLoaded(frmShowPic::windowName()));
        QVERIFY(m_window->IsFormLoaded(QStringLiteral("frmMain")));
    }

    void tickingWithAnEntryMovesTheWindowAndShowsIt()
    {
        clickEntry(1);
        QTest::mouseClick(check2(), Qt::LeftButton);
        QVERIFY(check2()->isChecked());
        QCOMPARE(m_window->pos(), QPoint(0, 0));
        frmShowPic *shown = preview();
        QVERIFY(shown);
        QVERIFY(m_window->IsFormLoaded(QStringLiteral("frmShowPic")));
        QVERIFY(!m_window->IsFormLoaded(QStringLiteral("frmshowpic")));
        QVERIFY(shown->infoLine()->text().startsWith(QStringLiteral(u"图片名称：b.jpg    尺寸：300 × 200 像素")));

        // Further clicks reload the same window; the main window stays put.
        m_window->move(50, 60);
        const QPoint previewAt = shown->pos();
        clickEntry(0);
        QCOMPARE(preview(), shown);
        QCOMPARE(shown->pos(), previewAt);
        QCOMPARE(m_window->pos(), QPoint(50, 60));
        QCOMPARE(shown->imageSize(), QSize(800, 600));
    }

    void thePreviewIsOwnedByTheMainWindowAndNamedAfterThePicture()
    {
        clickEntry(1);
        QTest::mouseClick(check2(), Qt::LeftButton);
        QVERIFY(preview() && m_window->windowHandle());
        QCOMPARE(preview()->windowHandle()->transientParent(), m_window->windowHandle());
        QCOMPARE(preview()->windowTitle(), QStringLiteral(u"预览 - b.jpg"));
    }

    void tickingWithoutAnEntryWaitsForAClick()
    {
        QTest::mouseClick(check2(), Qt::LeftButton);
        QVERIFY(check2()->isChecked());
        QVERIFY(!preview());
        const QPoint before = m_window->pos();
        clickEntry(0);
        QVERIFY(preview());
        QCOMPARE(m_window->pos(), before);
    }

    void escapeInThePreviewUnticksAndCloses()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        QPointer<frmShowPic> shown = preview();
        QVERIFY(shown);
        QTest::keyRelease(shown.data(), Qt::Key_Escape);
        QVERIFY(!check2()->isChecked());
        QVERIFY(!m_window->IsFormLoaded(frmShowPic::windowName()));
        QTRY_VERIFY(shown.isNull());

        // Ticking again opens a new preview.
        QTest::mouseClick(check2(), Qt::LeftButton);
        QVERIFY(preview());
    }

    void closingTheMainWindowClosesThePreview()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        QPointer<frmShowPic> shown = preview();
        QVERIFY(shown);
        m_window->close();
        QVERIFY(!shown || !shown->isVisible());
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("t.ini"))));
    }

    void keyboardMovesInTheListReloadThePreview()
    {
        // Arrows move the current entry: with the box unticked nothing opens.
        clickEntry(0);
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(list()->currentIndex().row(), 1);
        QVERIFY(!preview());

        QTest::mouseClick(check2(), Qt::LeftButton);
        frmShowPic *shown = preview();
        QVERIFY(shown);
        QCOMPARE(shown->imageSize(), QSize(300, 200));
        QTest::keyClick(list(), Qt::Key_Up);
        QCOMPARE(preview(), shown);
        QCOMPARE(shown->imageSize(), QSize(800, 600));
        QVERIFY(shown->infoLine()->text().startsWith(QStringLiteral(u"图片名称：a.jpg")));
        QTest::keyClick(list(), Qt::Key_End);
        QCOMPARE(shown->imageSize(), QSize(300, 200));
    }

    void theListKeysInThePreviewPageThroughThePictures()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        frmShowPic *shown = preview();
        QVERIFY(shown);
        QTRY_COMPARE(QApplication::activeWindow(), shown);
        const auto shownColour = [shown] { return shown->canvas().pixelColor(100, 100); };
        QVERIFY(shownColour().red() > 240 && shownColour().blue() < 16);

        QTest::keyClick(shown, Qt::Key_Down);
        QCOMPARE(list()->currentIndex().row(), 1);
        QCOMPARE(list()->selectionModel()->selectedIndexes(), QModelIndexList({list()->currentIndex()}));
        QCOMPARE(preview(), shown);
        QCOMPARE(shown->imageSize(), QSize(300, 200));
        QVERIFY(shown->infoLine()->text().startsWith(QStringLiteral(u"图片名称：b.jpg    ")));
        QVERIFY(shownColour().blue() > 240 && shownColour().red() < 16);
        QCOMPARE(QApplication::activeWindow(), shown);

        QTest::keyClick(shown, Qt::Key_Home);
        QCOMPARE(list()->currentIndex().row(), 0);
        QVERIFY(shown->infoLine()->text().startsWith(QStringLiteral(u"图片名称：a.jpg    ")));
        QVERIFY(shownColour().red() > 240 && shownColour().blue() < 16);
    }

    void aDamagedPictureClearsTheViewAMissingOneKeepsIt()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        frmShowPic *shown = preview();
        QVERIFY(shown);
        const QColor red = shown->canvas().pixelColor(10, 300);
        QVERIFY(red.red() > 240 && red.green() < 16 && red.blue() < 16);

        // b.jpg is overwritten after the scan with something that is no picture.
        QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("b.jpg")), "not a picture"));
        clickEntry(1);
        const QString damaged = QStringLiteral(u"图片名称：b.jpg    无法显示此图片    大小：13 字节");
        QCOMPARE(shown->infoLine()->text(), damaged);
        QCOMPARE(shown->canvas().pixelColor(10, 300), shown->palette().color(QPalette::Window));

        // a.jpg disappears: the view and the line stay as they are.
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("a.jpg"))));
        clickEntry(0);
        QCOMPARE(preview(), shown);
        QCOMPARE(shown->infoLine()->text(), damaged);
    }

    void fKeySwitchesBetweenNaturalSizeAndWholePicture()
    {
        // Red on the left, blue on the right: at 1:1 only red is in view.
        QImage wide(1600, 600, QImage::Format_RGB32);
        wide.fill(Qt::red);
        QPainter(&wide).fillRect(800, 0, 800, 600, Qt::blue);
        QVERIFY(wide.save(m_dir->filePath(QStringLiteral("c.jpg")), "JPEG", 100));
        browse(m_dir->path());
        clickEntry(2);
        QTest::mouseClick(check2(), Qt::LeftButton);
        frmShowPic *shown = preview();
        QVERIFY(shown);
        const QString info = shown->infoLine()->text();
        const auto blueAt = [shown](int x, int y) { return shown->canvas().pixelColor(x, y).blue() > 200; };
        QVERIFY(!blueAt(600, 200));

        // Fitted: 640 x 240 in the middle of the 480 rows, blue on the right.
        QTest::keyRelease(shown, Qt::Key_F);
        QVERIFY(shown->showsWholePicture());
        QVERIFY(blueAt(600, 200));
        QCOMPARE(shown->canvas().pixelColor(600, 100), shown->palette().color(QPalette::Window));
        QCOMPARE(shown->infoLine()->text(), info);
        const QPoint inside = shown->innerRect().center();
        QTest::mousePress(shown, Qt::LeftButton, {}, inside);
        QTest::mouseMove(shown, inside - QPoint(200, 0));
        QCOMPARE(shown->panOffset(), QPoint(0, 0));
        QTest::mouseRelease(shown, Qt::LeftButton, {}, inside - QPoint(200, 0));

        QTest::keyRelease(shown, Qt::Key_F);
        QVERIFY(!shown->showsWholePicture());
        QVERIFY(!blueAt(600, 200));
        QCOMPARE(shown->imageSize(), QSize(1600, 600));
    }

    void listEditsKeepThePreview()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        frmShowPic *shown = preview();
        QVERIFY(shown);
        click(QStringLiteral("Label13"));
        QCOMPARE(preview(), shown);
        QVERIFY(check2()->isChecked());
    }

    // The preview shows the list's current entry, however it changed.
    void removingTheShownEntryShowsTheNewCurrentOne()
    {
        clickEntry(0);
        QTest::mouseClick(check2(), Qt::LeftButton);
        QCOMPARE(preview()->windowTitle(), QStringLiteral(u"预览 - a.jpg"));
        click(QStringLiteral("Label15"));
        QCOMPARE(list()->model()->rowCount(), 1);
        QCOMPARE(preview()->windowTitle(), QStringLiteral(u"预览 - b.jpg"));
        QCOMPARE(preview()->imageSize(), QSize(300, 200));
    }
};

QTEST_MAIN(tst_frmMainPreview)
#include "tst_frmmain_preview.moc"
