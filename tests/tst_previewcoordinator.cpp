#include "list/picturelist.h"
#include "widgets/picturelistcontroller.h"
#include "widgets/picturelistview.h"
#include "preview/frmshowpic.h"
#include "preview/previewcoordinator.h"
#include "imaging/previewdecode.h"
#include "preview/previewhost.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

namespace {

// A small stand-in for the main window: its own controls and a coordinator
// over them, nothing wired by hand.
class StandInMain : public QWidget, public PreviewHost
{
public:
    explicit StandInMain(const QString &folder)
        : m_folder(folder)
    {
        setObjectName(QStringLiteral("frmMain"));
        resize(540, 332);
        check2 = new QCheckBox(this);
        check2->setObjectName(QStringLiteral("Check2"));
        list1 = new PictureListView(this);
        list1->setObjectName(QStringLiteral("List1"));
        list1->setGeometry(10, 30, 200, 250);
        pictures = new PictureList(this);
        model = pictures->model();
        PictureListController::showList(list1, *pictures);
        coordinator = new PreviewCoordinator(this, check2, list1, *pictures, *this, this);
    }

    QString pictureFolder() const override { return m_folder; }
    QString currentEntry() const override { return list1->currentIndex().data().toString(); }
    QPoint hostPosition() const override { return pos(); }
    QSize hostClientSize() const override { return size(); }
    QWindow *hostWindow() const override { return windowHandle(); }
    void untickPreview() override
    {
        ++untickCalls;
        check2->setChecked(false);
    }

    int rowOf(const QString &entry) const { return int(model->names().indexOf(entry)); }

    void clickEntry(int row)
    {
        const QRect r = list1->visualRect(model->index(row));
        QTest::mouseClick(list1->viewport(), Qt::LeftButton, {}, r.center());
    }

    QCheckBox *check2;
    PictureListView *list1;
    PictureList *pictures;
    PictureListModel *model;
    PreviewCoordinator *coordinator;
    int untickCalls = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        coordinator->mainWindowClosing();
        event->accept();
    }

private:
    QString m_folder;
};

QString writePicture(const QString &folder, const QString &name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    for (int x = 0; x < size.width(); ++x)
        for (int y = 0; y < size.height(); y += 50)
            image.setPixelColor(x, y, QColor(x % 256, (x / 256 * 16) % 256, 0));
    const QString path = folder + name;
    image.save(path, "JPG", 90);
    return path;
}

} // namespace

class tst_PreviewCoordinator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowAppearance();
    void formLoadShowsPictureAndInfoLine();
    void formLoadKeepsPreviousOnFailure_data();
    void formLoadKeepsPreviousOnFailure();
    void undecodablePictureClearsTheArea_data();
    void undecodablePictureClearsTheArea();
    void decodesLargePhotoAndRefusesAbsurdOnes();
    void largePicturesDecodeAsQtsOwnReaderDoes();
    void pansWideStripWithMouse();
    void movementsThatDoNotPan();
    void eventsOverInfoLineDoNothing();

    void tickWithCurrentEntryOpensAtCorner();
    void tickWithoutEntryThenClick();
    void untickClosesPreview();
    void clicksReloadSameWindow();
    void userClosesPreview_data();
    void userClosesPreview();
    void reopenRightAfterCloseMakesNewWindow();
    void mainWindowCloseClosesPreview();
    void clickWhileUntickedDoesNothing();
    void followsCheck2ChangedInCode();
    void keyMovesInTheListReloadThePreview();
    void listKeysInThePreviewMoveTheEntry_data();
    void listKeysInThePreviewMoveTheEntry();
    void otherKeysInThePreviewLeaveTheList_data();
    void otherKeysInThePreviewLeaveTheList();
    void isFormLoadedIsExact();
    void quitDeletesPreviewWithoutUnticking();

private:
    frmShowPic *openPreview(int row = 0);
    // A drag with the left button from right to left across the preview.
    static void dragAcross(frmShowPic *preview)
    {
        QTest::mousePress(preview, Qt::LeftButton, {}, QPoint(400, 200));
        QTest::mouseMove(preview, QPoint(100, 200));
        QTest::mouseRelease(preview, Qt::LeftButton, {}, QPoint(100, 200));
    }
    QList<int> selectedRows() const;

    QTemporaryDir m_dir;
    QString m_folder;
    StandInMain *m_main = nullptr;
};

void tst_PreviewCoordinator::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path() + QLatin1Char('/');
    writePicture(m_folder, QStringLiteral("a.jpg"), QSize(1000, 300), Qt::blue);
    writePicture(m_folder, QStringLiteral("b.jpg"), QSize(200, 100), Qt::green);
    writePicture(m_folder, QStringLiteral("c.jpg"), QSize(4000, 3000), Qt::gray);
    QFile broken(m_folder + QStringLiteral("broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture at all");
    broken.close();
    QFile::copy(m_folder + QStringLiteral("b.jpg"), m_folder + QStringLiteral(".hidden.jpg"));
    QVERIFY(QDir(m_folder).mkdir(QStringLiteral("folder.jpg")));
    // A 1 x 1 red GIF, written by hand since Qt has no GIF writer.
    QFile gif(m_folder + QStringLiteral("dot.gif"));
    QVERIFY(gif.open(QIODevice::WriteOnly));
    gif.write(QByteArray::fromHex("474946383961010001008000"
                                  "00ff00000000002c00000000010001000002024401003b"));
    gif.close();
    QFile empty(m_folder + QStringLiteral("empty.jpg"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    // The first 200 bytes of a JPEG end in its tables, before any picture data.
    QFile whole(m_folder + QStringLiteral("b.jpg"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile cut(m_folder + QStringLiteral("cut.jpg"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    QCOMPARE(cut.write(whole.read(200)), 200);
    cut.close();
    // A GIF's header and screen descriptor, and nothing after them.
    QFile gifHeader(m_folder + QStringLiteral("header.gif"));
    QVERIFY(gifHeader.open(QIODevice::WriteOnly));
    gifHeader.write(QByteArray::fromHex("4749463839610a000a000000"));
    gifHeader.close();
}

void tst_PreviewCoordinator::init()
{
    m_main = new StandInMain(m_folder);
    m_main->pictures->setListing(m_main->pictureFolder(),
                                 {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("broken.jpg"),
                                  QStringLiteral("c.jpg"), QStringLiteral("dot.gif"), QStringLiteral("gone.jpg"),
                                  QStringLiteral(".hidden.jpg"), QStringLiteral("folder.jpg"),
                                  QStringLiteral("empty.jpg"), QStringLiteral("cut.jpg"),
                                  QStringLiteral("header.gif")});
    m_main->move(120, 80);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

void tst_PreviewCoordinator::cleanup()
{
    delete m_main;
    m_main = nullptr;
    QTRY_VERIFY(!isFormLoaded(frmShowPic::windowName()));
}

frmShowPic *tst_PreviewCoordinator::openPreview(int row)
{
    m_main->list1->setCurrentIndex(m_main->model->index(row));
    m_main->check2->click();
    return m_main->coordinator->preview();
}

QList<int> tst_PreviewCoordinator::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_main->list1->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void tst_PreviewCoordinator::windowAppearance()
{
    frmShowPic *preview = openPreview(1);
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->objectName(), QStringLiteral("frmShowPic"));
    QVERIFY(preview->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(preview->size(), QSize(642, 482));
    QCOMPARE(preview->minimumSize(), preview->maximumSize());
    QCOMPARE(preview->innerRect(), QRect(1, 1, 640, 480));
    QCOMPARE(preview->cursor().shape(), Qt::OpenHandCursor);
    QLabel *label = preview->infoLine();
    QCOMPARE(label->objectName(), QStringLiteral("Label1"));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0xFF, 0x80, 0x80));
    QCOMPARE(label->y(), 3);
    QVERIFY(label->toolTip().isEmpty());
}

void tst_PreviewCoordinator::formLoadShowsPictureAndInfoLine()
{
    frmShowPic *preview = openPreview(1);
    QVERIFY(preview);
    QCOMPARE(preview->imageSize(), QSize(200, 100));
    const QString expected = QStringLiteral(u"图片名称：b.jpg    尺寸：200 × 100 像素    大小：")
        + QString::number(QFileInfo(m_folder + QStringLiteral("b.jpg")).size()) + QStringLiteral(u" 字节");
    QLabel *label = preview->infoLine();
    QCOMPARE(label->text(), expected);
    QCOMPARE(label->width(), label->sizeHint().width());
    QCOMPARE(label->x(), 1 + (640 - label->width()) / 2);
    const QImage decoded = decodePreviewPicture(m_folder + QStringLiteral("b.jpg"));
    QCOMPARE(preview->canvas().copy(0, 0, 200, 100), decoded.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(preview->canvas().pixelColor(300, 300), preview->palette().color(QPalette::Window));
    // What is on the canvas is what the screen shows.
    const QImage shown = preview->grab(QRect(1, 200, 640, 200)).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, preview->canvas().copy(0, 199, 640, 200));

    m_main->clickEntry(4);
    QCOMPARE(preview->imageSize(), QSize(1, 1));
    QCOMPARE(preview->canvas().pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(label->text().startsWith(QStringLiteral(u"图片名称：dot.gif    尺寸：1 × 1 像素")));
    QCOMPARE(QImageReader::allocationLimit(), 128);
}

void tst_PreviewCoordinator::formLoadKeepsPreviousOnFailure_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("missing") << 5;
    QTest::newRow("hidden") << 6;
    QTest::newRow("folder") << 7;
}

void tst_PreviewCoordinator::formLoadKeepsPreviousOnFailure()
{
    QFETCH(int, row);
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview);
    dragAcross(preview);
    QVERIFY(preview->panOffset() != QPoint(0, 0));
    const QImage before = preview->canvas();
    const QString text = preview->infoLine()->text();

    m_main->clickEntry(row);
    QCOMPARE(m_main->coordinator->preview(), preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->canvas(), before);
    QCOMPARE(preview->infoLine()->text(), text);
    QCOMPARE(preview->imageSize(), QSize(1000, 300));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QCOMPARE(preview->pressPoint(), QPoint(0, 0));
}

void tst_PreviewCoordinator::undecodablePictureClearsTheArea_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("text named .jpg") << QStringLiteral("broken.jpg");
    QTest::newRow("empty file") << QStringLiteral("empty.jpg");
    QTest::newRow("JPEG cut before its picture data") << QStringLiteral("cut.jpg");
    QTest::newRow("GIF with no frame") << QStringLiteral("header.gif");
}

void tst_PreviewCoordinator::undecodablePictureClearsTheArea()
{
    QFETCH(QString, entry);
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview);
    dragAcross(preview);
    QVERIFY(preview->panOffset() != QPoint(0, 0));

    m_main->clickEntry(m_main->rowOf(entry));
    QCOMPARE(m_main->coordinator->preview(), preview);
    QImage blank(preview->canvas().size(), QImage::Format_RGB32);
    blank.fill(preview->palette().color(QPalette::Window));
    QCOMPARE(preview->canvas(), blank);
    const QImage shown = preview->grab(QRect(1, 100, 640, 380)).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, blank.copy(0, 99, 640, 380));

    QLabel *label = preview->infoLine();
    const qint64 bytes = QFileInfo(m_folder + entry).size();
    QCOMPARE(label->text(), QStringLiteral(u"图片名称：") + entry + QStringLiteral(u"    无法显示此图片    大小：")
                                + QString::number(bytes) + QStringLiteral(u" 字节"));
    QCOMPARE(label->width(), label->sizeHint().width());
    QCOMPARE(label->x(), 1 + (640 - label->width()) / 2);
    QCOMPARE(preview->panOffset(), QPoint(0, 0));

    // The earlier picture is gone: a drag has nothing to show.
    dragAcross(preview);
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QCOMPARE(preview->canvas(), blank);

    m_main->clickEntry(1);
    QCOMPARE(preview->imageSize(), QSize(200, 100));
    QVERIFY(label->text().startsWith(QStringLiteral(u"图片名称：b.jpg    尺寸：200 × 100 像素")));
    QVERIFY(preview->canvas() != blank);
}

void tst_PreviewCoordinator::decodesLargePhotoAndRefusesAbsurdOnes()
{
    const QString photo = m_folder + QStringLiteral("photo.jpg");
    {
        QImage image(8000, 6000, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(photo, "JPG", 80));
    }
    QCOMPARE(decodePreviewPicture(photo).size(), QSize(8000, 6000));

    // A small JPEG whose header claims 20000 x 20000 pixels (1.6 GB decoded).
    QFile small(m_folder + QStringLiteral("b.jpg"));
    QVERIFY(small.open(QIODevice::ReadOnly));
    QByteArray bytes = small.readAll();
    const qsizetype sof = bytes.indexOf(QByteArray::fromHex("ffc0"));
    QVERIFY(sof > 0);
    bytes.replace(sof + 5, 4, QByteArray::fromHex("4e204e20"));
    QFile huge(m_folder + QStringLiteral("huge.jpg"));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    huge.write(bytes);
    huge.close();
    QCOMPARE(QImageReader(huge.fileName()).size(), QSize(20000, 20000));
    QVERIFY(decodePreviewPicture(huge.fileName()).isNull());
    QFile::remove(photo);
}

void tst_PreviewCoordinator::largePicturesDecodeAsQtsOwnReaderDoes()
{
    // Big JPEGs take a faster buffer than Qt's own; the pixels must not differ,
    // also where a cut-off file leaves the lower part undecoded.
    QImage source(2500, 2000, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(source.scanLine(y));
        for (int x = 0; x < source.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255);
    }
    const QString colour = m_folder + QStringLiteral("big-colour.jpg");
    const QString grey = m_folder + QStringLiteral("big-grey.jpg");
    const QString cut = m_folder + QStringLiteral("big-cut.jpg");
    QVERIFY(source.save(colour, "JPEG", 90));
    QVERIFY(source.convertToFormat(QImage::Format_Grayscale8).save(grey, "JPEG", 90));
    {
        QFile whole(colour);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        QFile part(cut);
        QVERIFY(part.open(QIODevice::WriteOnly));
        QCOMPARE(part.write(bytes.left(bytes.size() / 2)), bytes.size() / 2);
    }

    const int limit = QImageReader::allocationLimit();
    for (const QString &path : {colour, grey, cut}) {
        QImage expected;
        QVERIFY2(QImageReader(path).read(&expected), qPrintable(path));
        const QImage decoded = decodePreviewPicture(path);
        QCOMPARE(decoded.format(), expected.format());
        QVERIFY2(decoded == expected, qPrintable(path));
        QCOMPARE(QImageReader::allocationLimit(), limit);
    }
    for (const QString &path : {colour, grey, cut})
        QFile::remove(path);
}

void tst_PreviewCoordinator::pansWideStripWithMouse()
{
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview);
    const QImage decoded = decodePreviewPicture(m_folder + QStringLiteral("a.jpg"));
    QTest::mousePress(preview, Qt::LeftButton, {}, QPoint(321, 241));  // inner (320, 240)
    QCOMPARE(preview->pressPoint(), QPoint(320, 240));
    QTest::mouseMove(preview, QPoint(121, 241));
    QCOMPARE(preview->panOffset(), QPoint(50, 0));
    QCOMPARE(preview->canvas().copy(0, 90, 640, 300), decoded.copy(50, 0, 640, 300));
    QCOMPARE(preview->canvas().pixelColor(10, 40), preview->palette().color(QPalette::Window));
    QCOMPARE(preview->canvas().pixelColor(10, 400), preview->palette().color(QPalette::Window));
    QCOMPARE(preview->infoLine()->toolTip(), QStringLiteral(u"双击鼠标左键或按ESC键退出"));
    // Far left keeps scrolling up to the end, never past it.
    for (int i = 0; i < 10; ++i)
        QTest::mouseMove(preview, QPoint(1, 241));
    QCOMPARE(preview->panOffset(), QPoint(360, 0));
    QCOMPARE(preview->canvas().copy(0, 90, 640, 300), decoded.copy(360, 0, 640, 300));
    // Right of the press point it comes back, never below 0.
    for (int i = 0; i < 10; ++i)
        QTest::mouseMove(preview, QPoint(640, 241));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QTest::mouseRelease(preview, Qt::LeftButton, {}, QPoint(640, 241));
}

void tst_PreviewCoordinator::movementsThatDoNotPan()
{
    frmShowPic *preview = openPreview(1);  // 200 x 100 fits
    QVERIFY(preview);
    QTest::mousePress(preview, Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseMove(preview, QPoint(10, 10));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QVERIFY(preview->infoLine()->toolTip().isEmpty());
    QTest::mouseRelease(preview, Qt::LeftButton, {}, QPoint(10, 10));

    m_main->clickEntry(0);
    QTest::mousePress(preview, Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mousePress(preview, Qt::RightButton, {}, QPoint(300, 200));
    QTest::mouseMove(preview, QPoint(10, 200));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QCOMPARE(preview->infoLine()->toolTip(), QStringLiteral(u"双击鼠标左键或按ESC键退出"));
    QTest::mouseRelease(preview, Qt::RightButton, {}, QPoint(10, 200));
    QTest::mouseRelease(preview, Qt::LeftButton, {}, QPoint(10, 200));
}

void tst_PreviewCoordinator::eventsOverInfoLineDoNothing()
{
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview);
    QLabel *label = preview->infoLine();
    const QPoint onLabel = label->rect().center();
    QTest::mousePress(label, Qt::LeftButton, {}, onLabel);
    QTest::mouseMove(label, onLabel - QPoint(100, 0));
    QTest::mouseRelease(label, Qt::LeftButton, {}, onLabel - QPoint(100, 0));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
    QVERIFY(label->toolTip().isEmpty());
    QTest::mouseDClick(label, Qt::LeftButton, {}, onLabel);
    QVERIFY(preview->isVisible());
    QVERIFY(m_main->check2->isChecked());
}

void tst_PreviewCoordinator::tickWithCurrentEntryOpensAtCorner()
{
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(m_main->pos(), QPoint(0, 0));
    QCOMPARE(preview->pos(), QPoint(270, 167));
    QVERIFY(preview->infoLine()->text().contains(QStringLiteral("a.jpg")));
    // Once the window system has answered, the frame is still at the corner.
    QCoreApplication::processEvents();
    QCOMPARE(m_main->frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(m_main->pos(), QPoint(0, 0));
}

void tst_PreviewCoordinator::tickWithoutEntryThenClick()
{
    m_main->check2->click();
    QVERIFY(m_main->check2->isChecked());
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
    QCOMPARE(m_main->pos(), QPoint(120, 80));
    m_main->clickEntry(1);
    QVERIFY(isFormLoaded(frmShowPic::windowName()));
    QCOMPARE(m_main->pos(), QPoint(120, 80));
    QCOMPARE(m_main->coordinator->preview()->pos(), QPoint(120 + 270, 80 + 167));
}

void tst_PreviewCoordinator::untickClosesPreview()
{
    m_main->check2->click();
    m_main->check2->click();  // ticked and unticked with no preview
    QVERIFY(!m_main->check2->isChecked());
    QPointer<frmShowPic> preview = openPreview(0);
    m_main->move(200, 150);
    m_main->check2->click();
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
    QCOMPARE(m_main->pos(), QPoint(200, 150));
    QTRY_VERIFY(preview.isNull());
}

void tst_PreviewCoordinator::clicksReloadSameWindow()
{
    frmShowPic *preview = openPreview(0);
    m_main->move(200, 150);
    const QPoint where = preview->pos();
    m_main->clickEntry(1);
    QCOMPARE(m_main->coordinator->preview(), preview);
    QCOMPARE(preview->imageSize(), QSize(200, 100));
    QCOMPARE(preview->pos(), where);
    QCOMPARE(m_main->pos(), QPoint(200, 150));
    int previews = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        previews += w->objectName() == frmShowPic::windowName();
    QCOMPARE(previews, 1);
}

void tst_PreviewCoordinator::userClosesPreview_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("double-click") << false;
    QTest::newRow("escape") << true;
}

void tst_PreviewCoordinator::userClosesPreview()
{
    QFETCH(bool, byEscape);
    QPointer<frmShowPic> preview = openPreview(0);
    if (byEscape) {
        QTest::keyPress(preview, Qt::Key_Escape);
        QTest::keyRelease(preview, Qt::Key_A);
        QVERIFY(preview->isVisible());
        QTest::keyRelease(preview, Qt::Key_Escape);
    } else {
        QTest::mouseDClick(preview, Qt::RightButton, {}, QPoint(300, 300));
        QVERIFY(preview->isVisible());
        QTest::mouseDClick(preview, Qt::LeftButton, {}, QPoint(300, 300));
    }
    QCOMPARE(m_main->untickCalls, 1);
    QVERIFY(!m_main->check2->isChecked());
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
    QTRY_VERIFY(preview.isNull());
}

void tst_PreviewCoordinator::reopenRightAfterCloseMakesNewWindow()
{
    QPointer<frmShowPic> first = openPreview(0);
    QTest::keyClick(first, Qt::Key_Escape);
    m_main->check2->click();  // before the closed window is deleted
    QPointer<frmShowPic> second = m_main->coordinator->preview();
    QVERIFY(second && second != first);
    QVERIFY(second->isVisible());
    QTRY_VERIFY(first.isNull());
    QVERIFY(second);
    QVERIFY(second->isVisible());
}

void tst_PreviewCoordinator::mainWindowCloseClosesPreview()
{
    QPointer<frmShowPic> preview = openPreview(0);
    QVERIFY(m_main->close());
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
    QVERIFY(!isFormLoaded(QStringLiteral("frmMain")));
    QTRY_VERIFY(preview.isNull());
}

void tst_PreviewCoordinator::clickWhileUntickedDoesNothing()
{
    m_main->clickEntry(0);
    QVERIFY(!m_main->coordinator->preview());
    QCOMPARE(m_main->pos(), QPoint(120, 80));
}

void tst_PreviewCoordinator::followsCheck2ChangedInCode()
{
    m_main->list1->setCurrentIndex(m_main->model->index(1));
    m_main->check2->setChecked(true);
    QPointer<frmShowPic> preview = m_main->coordinator->preview();
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->imageSize(), QSize(200, 100));
    QCOMPARE(m_main->pos(), QPoint(0, 0));
    // A partly checked box counts as unticked.
    m_main->check2->setCheckState(Qt::PartiallyChecked);
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
    QTRY_VERIFY(preview.isNull());
}

void tst_PreviewCoordinator::keyMovesInTheListReloadThePreview()
{
    frmShowPic *preview = openPreview(0);
    QVERIFY(preview);
    dragAcross(preview);
    const QPoint panned = preview->panOffset();
    QVERIFY(panned != QPoint(0, 0));

    // Up on the first entry moves nothing, so nothing is loaded again.
    QTest::keyClick(m_main->list1, Qt::Key_Up);
    QCOMPARE(m_main->list1->currentIndex().row(), 0);
    QCOMPARE(preview->panOffset(), panned);

    QTest::keyClick(m_main->list1, Qt::Key_Down);
    QCOMPARE(m_main->list1->currentIndex().row(), 1);
    QCOMPARE(m_main->coordinator->preview(), preview);
    QCOMPARE(preview->imageSize(), QSize(200, 100));
    QCOMPARE(preview->panOffset(), QPoint(0, 0));
}

void tst_PreviewCoordinator::listKeysInThePreviewMoveTheEntry_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    // The whole list fits in List1, so a page is the whole list.
    QTest::newRow("Down") << int(Qt::Key_Down) << Qt::KeyboardModifiers() << 0 << 1;
    QTest::newRow("Up") << int(Qt::Key_Up) << Qt::KeyboardModifiers() << 4 << 3;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << Qt::KeyboardModifiers() << 1 << 10;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << Qt::KeyboardModifiers() << 4 << 0;
    QTest::newRow("Home") << int(Qt::Key_Home) << Qt::KeyboardModifiers() << 3 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << Qt::KeyboardModifiers() << 0 << 10;
    QTest::newRow("Down on the keypad") << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 1 << 2;
}

void tst_PreviewCoordinator::listKeysInThePreviewMoveTheEntry()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, from);
    QFETCH(int, to);
    frmShowPic *preview = openPreview(from);
    QVERIFY(preview);
    // Not qWaitForWindowActive: it counts an owned window active while its owner has the focus.
    QTRY_COMPARE(QApplication::activeWindow(), preview);
    // Another entry selected as well: the key selects the new entry alone, as in the list.
    m_main->list1->selectionModel()->select(m_main->model->index(8), QItemSelectionModel::Select);
    QCOMPARE(selectedRows(), QList<int>({from, 8}));

    QTest::keyClick(preview, Qt::Key(key), modifiers);
    QCOMPARE(m_main->list1->currentIndex().row(), to);
    QCOMPARE(selectedRows(), QList<int>({to}));
    QCOMPARE(m_main->coordinator->preview(), preview);
    const QString entry = m_main->model->index(to).data().toString();
    QVERIFY2(preview->infoLine()->text().startsWith(QStringLiteral(u"图片名称：") + entry + QStringLiteral("    ")),
             qPrintable(preview->infoLine()->text()));
    QCOMPARE(QApplication::activeWindow(), preview);
    QVERIFY(!m_main->list1->hasFocus());

    // Escape still closes it.
    QTest::keyClick(preview, Qt::Key_Escape);
    QVERIFY(!m_main->check2->isChecked());
    QVERIFY(!isFormLoaded(frmShowPic::windowName()));
}

void tst_PreviewCoordinator::otherKeysInThePreviewLeaveTheList_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Shift+Down") << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("Ctrl+End") << int(Qt::Key_End) << Qt::KeyboardModifiers(Qt::ControlModifier);
    // Typed in the list, a letter jumps to the first entry starting with it.
    QTest::newRow("letter") << int(Qt::Key_C) << Qt::KeyboardModifiers();
}

void tst_PreviewCoordinator::otherKeysInThePreviewLeaveTheList()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    frmShowPic *preview = openPreview(0);  // 1000 x 300: a drag pans it
    QVERIFY(preview);
    dragAcross(preview);
    const QPoint panned = preview->panOffset();
    QVERIFY(panned != QPoint(0, 0));

    QTest::keyClick(preview, Qt::Key(key), modifiers);
    QCOMPARE(m_main->list1->currentIndex().row(), 0);
    QCOMPARE(selectedRows(), QList<int>({0}));
    // Nothing was loaded again: the pan offset stays.
    QCOMPARE(preview->panOffset(), panned);
    QVERIFY(preview->isVisible());
}

void tst_PreviewCoordinator::isFormLoadedIsExact()
{
    QVERIFY(isFormLoaded(QStringLiteral("frmMain")));
    QVERIFY(!isFormLoaded(QStringLiteral("frmShowPic")));
    openPreview(0);
    QVERIFY(isFormLoaded(QStringLiteral("frmShowPic")));
    QVERIFY(!isFormLoaded(QStringLiteral("frmshowpic")));
    QVERIFY(!isFormLoaded(QStringLiteral("frmShowPic ")));
}

void tst_PreviewCoordinator::quitDeletesPreviewWithoutUnticking()
{
    QPointer<frmShowPic> preview = openPreview(0);
    delete m_main;
    m_main = nullptr;
    QVERIFY(preview.isNull());
}

QTEST_MAIN(tst_PreviewCoordinator)
#include "tst_previewcoordinator.moc"
