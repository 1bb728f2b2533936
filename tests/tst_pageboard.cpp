#include "board/frmpageboard.h"
#include "mainwindowfixture.h"
#include "board/pageboardview.h"
#include "board/boardnotice.h"
#include "board/edgescroller.h"
#include "board/pagetile.h"
#include "widgets/picturelistcontroller.h"

#include <QCheckBox>
#include <QDrag>
#include <QInputDialog>
#include <QScreen>
#include <QTimer>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolTip>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSettings>
#include <QWheelEvent>

using namespace tarnwick;

// The page board as a second view of the main window's picture list: what
// it does to the list shows in List1, it opens and closes by key and menu,
// and its tiles follow the book's inputs and its remembered tile size.
class tst_PageBoard : public QObject, private MainWindowFixture
{
    Q_OBJECT

public:
    tst_PageBoard() : MainWindowFixture(QStringLiteral("Vellicor.ini")) {}

private:
    // A main window over red pictures a-d, opened by the menu entry or F4.
    frmPageBoard *openBoard(bool byMenu = false)
    {
        const QString folder = subfolder(QStringLiteral("pictures"));
        for (const char *name : {"a", "b", "c", "d"})
            writePicture(folder + u'/' + QLatin1String(name) + QStringLiteral(".jpg"), 40, 30, "JPEG", Qt::red);
        open();
        browse(folder);
        if (byMenu)
            list()->findChild<QMenu *>()->actions().at(list()->findChild<QMenu *>()->actions().size() - 2)->trigger();
        else
            QTest::keyClick(m_window.get(), Qt::Key_F4);
        auto *board = m_window->findChild<frmPageBoard *>();
        if (!board || !QTest::qWaitFor([board] { return QApplication::activeWindow() == board; }))
            return nullptr;
        board->view()->setFocus();
        return board;
    }

    QString order() const { return entries().join(QString()).remove(QStringLiteral(".jpg")); }

    // The board over `count` pictures: a-d, then p004, p005, ...
    frmPageBoard *openLongBoard(int count)
    {
        const QString folder = subfolder(QStringLiteral("pictures"));
        for (int i = 4; i < count; ++i)
            writePicture(folder + QStringLiteral("/p%1.jpg").arg(i, 3, 10, QLatin1Char('0')), 8, 6);
        return openBoard();
    }

    static bool inView(QAbstractItemView *view, int row)
    {
        return view->viewport()->rect().contains(view->visualRect(view->model()->index(row, 0)));
    }

    static int tilesInView(QAbstractItemView *view)
    {
        int count = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            count += inView(view, row);
        return count;
    }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index : list()->selectionModel()->selectedIndexes())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    void select(QAbstractItemView *view, const QList<int> &rows)
    {
        QItemSelectionModel *selection = view->selectionModel();
        selection->clear();
        for (int row : rows)
            selection->select(view->model()->index(row, 0), QItemSelectionModel::Select);
        selection->setCurrentIndex(view->model()->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(startApplication());
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit());
    }
    void init() { QVERIFY(resetFixture()); }
    void cleanup() { m_window.reset(); }

    void boardAndList1AreOneList_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("action"); // a key, or "drop N" on the left or right half of tile N
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::newRow("Alt+Down") << QList<int>{0, 2} << "Alt+Down" << "badc" << QList<int>{1, 3};
        QTest::newRow("Alt+Home") << QList<int>{2, 3} << "Alt+Home" << "cdab" << QList<int>{0, 1};
        QTest::newRow("Delete") << QList<int>{1} << "Del" << "acd" << QList<int>{};
        QTest::newRow("after the last") << QList<int>{0, 1} << "drop 3 right" << "cdab" << QList<int>{2, 3};
        QTest::newRow("before a tile") << QList<int>{3} << "drop 1 left" << "adbc" << QList<int>{1};
    }

    // A step taken in the board shows in List1, with its selection, and
    // Ctrl+Z in the board takes it back there too.
    void boardAndList1AreOneList()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, action);
        QFETCH(QString, after);
        QFETCH(QList<int>, selectedAfter);
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        select(view, selected);
        if (action.startsWith(u"drop")) {
            const QRect tile = view->visualRect(view->model()->index(action.section(u' ', 1, 1).toInt(), 0));
            view->dropSelectionAt(QPoint(action.endsWith(u"right") ? tile.right() - 2 : tile.left() + 2,
                                         tile.center().y()));
        } else {
            const QKeyCombination key = QKeySequence::fromString(action)[0];
            QTest::keyClick(view, key.key(), key.keyboardModifiers());
        }
        QCOMPARE(order(), after);
        if (!selectedAfter.isEmpty())
            QCOMPARE(selectedRows(), selectedAfter);
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(order(), QStringLiteral("abcd"));
    }

    void opensAndCloses_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<int>("closeKey");
        QTest::newRow("F4, closed by F4") << false << int(Qt::Key_F4);
        QTest::newRow("F4, closed by Escape") << false << int(Qt::Key_Escape);
        QTest::newRow("menu, closed by Escape") << true << int(Qt::Key_Escape);
    }

    // The board opens by F4 or the last entry of List1's menu, in a section
    // of its own, as a dialog of the main window titled by the folder, and
    // closes by F4 or Escape pressed in it.
    void opensAndCloses()
    {
        QFETCH(bool, byMenu);
        QFETCH(int, closeKey);
        frmPageBoard *board = openBoard(byMenu);
        QVERIFY(board);
        const QList<QAction *> actions = list()->findChild<QMenu *>()->actions();
        QCOMPARE(actions.at(actions.size() - 2)->text(), QStringLiteral(u"页面总览(&P)"));
        QVERIFY(actions.at(actions.size() - 4)->isSeparator());
        QCOMPARE(board->windowTitle(), QStringLiteral(u"页面总览 - ") + text(QStringLiteral("Text1")));
        QVERIFY(board->windowFlags() & Qt::Dialog);
        QCOMPARE(board->parentWidget(), m_window.get());
        QTest::keyClick(board->view(), Qt::Key(closeKey));
        QTRY_VERIFY(!board->isVisible());
        QVERIFY(m_window->isVisible());
    }

    void tileSize_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("step"); // a key, or the wheel with Ctrl up (+) or down (-)
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("bucket");
        QTest::newRow("nothing stored, plus") << 0 << "Ctrl++" << 224 << 256;
        QTest::newRow("wheel up") << 96 << "wheel+" << 128 << 128;
        QTest::newRow("wheel down at the least") << 96 << "wheel-" << 96 << 128;
        QTest::newRow("Ctrl+= near the most") << 500 << "Ctrl+=" << 512 << 512;
        QTest::newRow("minus into large") << 288 << "Ctrl+-" << 256 << 256;
        QTest::newRow("stored beyond the bounds") << 4000 << "Ctrl+-" << 480 << 512;
    }

    // Ctrl+wheel, Ctrl+plus and Ctrl+minus step the tiles within 96-512;
    // the size and the window's size come back in the next run.
    void tileSize()
    {
        QFETCH(int, stored);
        QFETCH(QString, step);
        QFETCH(int, size);
        QFETCH(int, bucket);
        if (stored > 0)
            QSettings(m_dir->filePath(QStringLiteral("tarnwick/board.ini")), QSettings::IniFormat)
                .setValue(QStringLiteral("board/tileSize"), stored);
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        if (step.startsWith(u"wheel")) {
            const QPoint at = view->viewport()->rect().center();
            QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), {}, {0, step.endsWith(u'+') ? 120 : -120},
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view->viewport(), &wheel);
        } else {
            const QKeyCombination key = QKeySequence::fromString(step)[0];
            QTest::keyClick(view, key.key(), key.keyboardModifiers());
        }
        QCOMPARE(board->tileSize(), size);
        QCOMPARE(view->thumbnailBucket(), bucket);
        QVERIFY(view->gridSize().width() > size);

        board->resize(700, 500);
        QTest::keyClick(view, Qt::Key_Escape);
        m_window.reset();
        board = openBoard();
        QVERIFY(board);
        QCOMPARE(board->tileSize(), size);
        QCOMPARE(board->size(), QSize(700, 500));
    }


    void zoomKeepsTheCurrentTile_data()
    {
        QTest::addColumn<QList<int>>("selected"); // the first is current
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("tiles 298-300, minus five, plus twelve") << QList<int>{299, 297, 298} << QList<int>{-5, 12};
        QTest::newRow("tile 150, plus three") << QList<int>{149} << QList<int>{3};
        QTest::newRow("tile 150, minus two, plus one") << QList<int>{149} << QList<int>{-2, 1};
    }

    // A zoom keeps the current tile at its height on screen, or, where the
    // list's end does not let it, at least in view.
    void zoomKeepsTheCurrentTile()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QList<int>, steps);
        frmPageBoard *board = openLongBoard(300);
        QVERIFY(board);
        PageBoardView *view = board->view();
        select(view, selected);
        const QModelIndex current = view->model()->index(selected.first(), 0);
        view->scrollTo(current, QAbstractItemView::PositionAtCenter);
        QScrollBar *bar = view->verticalScrollBar();
        for (const int step : steps) {
            const int top = view->visualRect(current).top();
            for (int i = 0; i < std::abs(step); ++i)
                QTest::keyClick(view, step > 0 ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
            QVERIFY(inView(view, current.row()));
            if (bar->value() > bar->minimum() && bar->value() < bar->maximum())
                QCOMPARE(view->visualRect(current).top(), top);
        }
    }

    void keys_data()
    {
        QTest::addColumn<bool>("inBoard"); // or in List1
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected"); // -1: by the tiles in view
        QTest::newRow("Page Down from the first") << true << 0 << int(Qt::Key_PageDown) << -1;
        QTest::newRow("Page Up from the middle") << true << 150 << int(Qt::Key_PageUp) << -1;
        QTest::newRow("End while already on the last") << true << 299 << int(Qt::Key_End) << 299;
        QTest::newRow("Home while already on the first") << true << 0 << int(Qt::Key_Home) << 0;
        QTest::newRow("End in List1") << false << 0 << int(Qt::Key_End) << 299;
    }

    // Page Up and Down move by the tiles in view; Home, End and the page keys
    // always scroll their tile into view, also when it is already current;
    // the other view follows the current entry.
    void keys()
    {
        QFETCH(bool, inBoard);
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        frmPageBoard *board = openLongBoard(300);
        QVERIFY(board);
        QAbstractItemView *view = inBoard ? static_cast<QAbstractItemView *>(board->view()) : list();
        QAbstractItemView *other = inBoard ? list() : static_cast<QAbstractItemView *>(board->view());
        select(view, {start});
        view->scrollTo(view->model()->index(start, 0), QAbstractItemView::PositionAtTop);
        const int perPage = tilesInView(view);
        if (expected >= 0)
            view->verticalScrollBar()->setValue(start == 0 ? view->verticalScrollBar()->maximum() : 0);
        QTest::keyClick(view, Qt::Key(key));
        const int row = expected >= 0 ? expected : start + (key == Qt::Key_PageDown ? perPage : -perPage);
        QCOMPARE(view->currentIndex().row(), row);
        QVERIFY(inView(view, row));
        QTRY_VERIFY(inView(other, row));
    }

    void moveToPage_data()
    {
        QTest::addColumn<bool>("inBoard"); // or in List1
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("lastPage");
        QTest::newRow("board, d to page 2") << true << QList<int>{3} << 2 << "adbc" << 4;
        QTest::newRow("board, a and c to page 3") << true << QList<int>{0, 2} << 3 << "bdac" << 3;
        QTest::newRow("List1, b to page 1") << false << QList<int>{1} << 1 << "bacd" << 4;
    }

    // Ctrl+G asks for the page, in List1 as on the board; the selection
    // moves there in its order as one step, and Ctrl+Z takes it back.
    void moveToPage()
    {
        QFETCH(bool, inBoard);
        QFETCH(QList<int>, selected);
        QFETCH(int, page);
        QFETCH(QString, after);
        QFETCH(int, lastPage);
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        QAbstractItemView *view = inBoard ? static_cast<QAbstractItemView *>(board->view()) : list();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view->window()));
        view->setFocus();
        select(view, selected);
        int asked = 0;
        QTimer::singleShot(0, this, [page, &asked] {
            if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                asked = dialog->intMaximum();
                dialog->setIntValue(page);
                dialog->accept();
            }
        });
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(asked, lastPage);
        QCOMPARE(order(), after);
        QCOMPARE(selectedRows().first(), page - 1);
        // The offscreen platform gives the activation back to no window when the question closes.
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view->window()));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(order(), QStringLiteral("abcd"));
    }

    void dropGaps_data()
    {
        QTest::addColumn<QString>("where"); // a tile's left or right half or its right edge, or below all
        QTest::addColumn<int>("tile");
        QTest::addColumn<QString>("after"); // tile a dropped there
        QTest::newRow("the gap between tiles 2 and 3") << "edge" << 1 << "bacdefg";
        QTest::newRow("the left half of tile 2") << "left" << 1 << "abcdefg";
        QTest::newRow("the right half of tile 3") << "right" << 2 << "bcadefg";
        QTest::newRow("right of a line's last tile") << "beyond" << 2 << "bcadefg";
        QTest::newRow("past the last tile") << "beyond" << 6 << "bcdefga";
        QTest::newRow("below every tile") << "below" << 6 << "bcdefga";
    }

    // A drop lands in the gap the indicator shows: between two tiles, after
    // a line's last tile from the strip right of it, after the last tile.
    void dropGaps()
    {
        QFETCH(QString, where);
        QFETCH(int, tile);
        QFETCH(QString, after);
        const QString folder = subfolder(QStringLiteral("pictures"));
        for (const char *name : {"e", "f", "g"})
            writePicture(folder + u'/' + QLatin1String(name) + QStringLiteral(".jpg"), 8, 6);
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        view->setTileSize(kMinTileSize);
        board->resize(view->gridSize().width() * 7 / 2 + 40, 600);
        QTRY_COMPARE(view->columnCount(), 3);
        const QRect r = view->visualRect(view->model()->index(tile, 0));
        const QPoint at = where == u"edge" ? QPoint(r.right() + 1, r.center().y())
            : where == u"left"             ? r.center() - QPoint(5, 0)
            : where == u"right"            ? r.center() + QPoint(5, 0)
            : where == u"beyond"           ? QPoint(r.right() + view->gridSize().width() / 3, r.center().y())
                                           : QPoint(r.center().x(), r.bottom() + 20);
        select(view, {0});
        view->dragOver(at);
        const int row = view->dropIndicatorRow();
        view->dropSelectionAt(at);
        QCOMPARE(order(), after);
        QCOMPARE(selectedRows().first(), row - (row > 0 ? 1 : 0));
    }

    // A press on a tile that is not selected and a drag carry that tile, not
    // a rubber band over the tiles passed.
    void pressAndDragAnUnselectedTile()
    {
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        select(view, {0});
        QWidget *viewport = view->viewport();
        const QPoint from = view->visualRect(view->model()->index(2, 0)).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(QApplication::startDragDistance() + 2, 0));
        QTest::mouseMove(viewport, from + QPoint(2 * QApplication::startDragDistance() + 4, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from);
        QVERIFY(view->findChild<QDrag *>());
        QCOMPARE(selectedRows(), QList<int>{2});
    }

    void edgeScrolling_data()
    {
        QTest::addColumn<int>("y"); // -1: the viewport's bottom line; -2: below it
        QTest::newRow("on the bottom edge") << -1;
        QTest::newRow("past the bottom edge") << -2;
        QTest::newRow("on the top edge") << 0;
    }

    // A drag held at the top or bottom edge, or past it, scrolls a long book
    // to its end and stops when it leaves the edge; the wheel, which the
    // platform's drag swallows, scrolls during a drag all the same.
    void edgeScrolling()
    {
        QFETCH(int, y);
        frmPageBoard *board = openLongBoard(300);
        QVERIFY(board);
        PageBoardView *view = board->view();
        QScrollBar *bar = view->verticalScrollBar();
        bar->setValue(y < 0 ? 0 : bar->maximum());
        const int height = view->viewport()->height();
        const int x = view->viewport()->width() / 2;
        view->dragOver(QPoint(x, y == -1 ? height - 1 : y == -2 ? height + 30 : y));
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), y < 0 ? bar->maximum() : 0, 10000);
        view->dragOver(QPoint(x, height / 2));
        QVERIFY(!view->edgeScroller()->isScrolling());

        struct WheelEater : QObject
        {
            bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::Wheel; }
        } platformDrag;
        qApp->installEventFilter(&platformDrag);
        const int before = bar->value();
        const auto wheel = [view, y] {
            const QPoint at = view->viewport()->rect().center();
            QWheelEvent event(at, view->viewport()->mapToGlobal(at), {}, {0, y < 0 ? 120 : -120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view->viewport(), &event);
        };
        view->edgeScroller()->beginDrag();
        QTRY_VERIFY((wheel(), bar->value() != before));
        view->edgeScroller()->endDrag();
        const int after = bar->value();
        wheel();
        QCOMPARE(bar->value(), after);
        qApp->removeEventFilter(&platformDrag);
    }

    void windowPlace_data()
    {
        QTest::addColumn<QSize>("storedSize");
        QTest::addColumn<QPoint>("storedPlace"); // (-1, -1): none
        QTest::newRow("first opening") << QSize() << QPoint(-1, -1);
        QTest::newRow("larger than the screen") << QSize(1800, 1120) << QPoint(300, 200);
        QTest::newRow("off the screen's bottom right") << QSize(500, 400) << QPoint(700, 760);
    }

    // The board opens wholly on the screen; where it was closed it opens again.
    void windowPlace()
    {
        QFETCH(QSize, storedSize);
        QFETCH(QPoint, storedPlace);
        QSettings stored(m_dir->filePath(QStringLiteral("tarnwick/board.ini")), QSettings::IniFormat);
        if (storedSize.isValid())
            stored.setValue(QStringLiteral("board/size"), storedSize);
        if (storedPlace.x() >= 0)
            stored.setValue(QStringLiteral("board/place"), storedPlace);
        stored.sync();
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        const QRect screen = board->screen()->availableGeometry();
        QVERIFY(screen.contains(board->frameGeometry()));
        board->resize(400, 300);
        board->move(screen.topLeft() + QPoint(10, 20));
        const QPoint place = board->pos();
        QTest::keyClick(board->view(), Qt::Key_Escape);
        m_window.reset();
        board = openBoard();
        QVERIFY(board);
        QCOMPARE(board->pos(), place);
    }

    // A scroll leaves standing only the requests of tiles still in view.
    void scrollingCancelsWhatLeftTheView()
    {
        const QString folder = subfolder(QStringLiteral("pictures"));
        for (int i = 0; i < 60; ++i)
            writePicture(folder + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QLatin1Char('0')), 40, 30);
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        // A new thumbnail size and a paint ask for every tile in view anew;
        // no event runs before the scroll, so none of them has arrived.
        view->setTileSize(kMaxTileSize);
        view->viewport()->repaint();
        const auto inView = [view](const QString &path) {
            const int row = int(view->model()->match(view->model()->index(0, 0), Qt::DisplayRole,
                                                     QFileInfo(path).fileName(), 1, Qt::MatchExactly)
                                    .value(0)
                                    .row());
            return view->visualRect(view->model()->index(row, 0)).intersects(view->viewport()->rect());
        };
        QString first;
        for (const QString &path : view->requestedPaths())
            first = path.endsWith(QStringLiteral("/a.jpg")) ? path : first;
        QVERIFY(!first.isEmpty());
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QVERIFY(!inView(first));
        QVERIFY(!view->requestedPaths().contains(first));
        for (const QString &path : view->requestedPaths())
            QVERIFY2(inView(path), qPrintable(path));
    }

    // The tiles draw the thumbnail once it is made and the book's inputs as
    // they change; Enter on a tile opens it in the preview.
    void tilesFollowInputsAndOpenThePreview()
    {
        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        const QRect first = view->visualRect(view->model()->index(0, 0));
        const auto pixel = [&](QPoint at) { return view->viewport()->grab().toImage().pixelColor(at); };
        // The preset puts the picture over the whole page.
        QTRY_VERIFY(pixel(first.center() - QPoint(0, 10)).red() > 200 && pixel(first.center()).green() < 60);

        // A picture box moved right uncovers the page's background on the left.
        m_platform.colours.push_back(ColourValue(0xFF0000)); // blue: red is the lowest byte
        click(QStringLiteral("Label5"));
        control<QLineEdit>(QStringLiteral("Text8"))->setText(QStringLiteral("20"));
        const QPoint pageLeft(first.left() + (first.width() - board->tileSize()) / 2 + 2, first.center().y() - 10);
        QTRY_COMPARE(pixel(pageLeft), QColor(Qt::blue));

        auto *check2 = control<QCheckBox>(QStringLiteral("Check2"));
        QVERIFY(!check2->isChecked());
        select(view, {2});
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(check2->isChecked());
        QCOMPARE(list()->currentIndex().row(), 2);
    }

    // A photo the camera turned and a file that is no picture are marked on
    // their tiles, named in their tooltips and accessible names, and counted
    // in a line over the tiles whose button asks for the export.
    void pagesTheBookCannotShow()
    {
        const QString folder = subfolder(QStringLiteral("pictures"));
        QVERIFY(writePicture(folder + QStringLiteral("/e.jpg"), 40, 30, "JPEG", Qt::red));
        QFile turned(folder + QStringLiteral("/e.jpg"));
        QVERIFY(turned.open(QIODevice::ReadWrite));
        QByteArray bytes = turned.readAll();
        // An EXIF block with orientation 6 right after the start of the picture.
        const QByteArray exif("\xFF\xE1\x00\x22" "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                              "\0\0\0\0", 36);
        bytes.insert(2, exif);
        QVERIFY(turned.seek(0) && turned.write(bytes) == bytes.size());
        turned.close();
        QFile text(folder + QStringLiteral("/f.jpg"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
        text.close();

        frmPageBoard *board = openBoard();
        QVERIFY(board);
        PageBoardView *view = board->view();
        BoardNotice *notice = board->problemNotice();
        QTRY_VERIFY(notice->isVisible());
        QTRY_COMPARE(notice->text(), QStringLiteral(u"有2页在电子书中无法正常显示"));
        QCOMPARE(notice->button()->text(), QStringLiteral(u"导出电子书文件夹…"));

        const QModelIndex e = view->model()->index(4, 0), a = view->model()->index(0, 0);
        QCOMPARE(e.data().toString(), QStringLiteral("e.jpg"));
        QCOMPARE(e.data(Qt::AccessibleTextRole).toString(), QStringLiteral(u"第5页 e.jpg，") + pageProblemText({PageProblem::Kind::Turned, 6}));
        QVERIFY(e.data(Qt::AccessibleTextRole).toString().contains(QStringLiteral(u"相机旋转了90°")));
        QCOMPARE(view->model()->index(5, 0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral(u"第6页 f.jpg，无法读取图片"));
        QCOMPARE(a.data(Qt::AccessibleTextRole).toString(), QStringLiteral(u"第1页 a.jpg"));

        // The badge sits in the tile's top right corner; a sound page has none.
        const int tile = board->tileSize();
        const auto badgeSpot = [&](const QModelIndex &index) {
            const QRect cell = view->visualRect(index);
            const int side = std::max(14, tile / 8);
            return QPoint(cell.left() + (cell.width() - tile) / 2 + tile - 2 - side / 2, cell.top() + 6 + 2 + side / 2 + 2);
        };
        const auto isBadge = [](QColor c) { return c.red() > 200 && c.green() > 70 && c.green() < 130 && c.blue() < 60; };
        QTRY_VERIFY(isBadge(view->viewport()->grab().toImage().pixelColor(badgeSpot(e))));
        QVERIFY(!isBadge(view->viewport()->grab().toImage().pixelColor(badgeSpot(a))));

        // The tooltip names the reason.
        const QPoint over = view->visualRect(e).center();
        QHelpEvent help(QEvent::ToolTip, over, view->viewport()->mapToGlobal(over));
        QApplication::sendEvent(view->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), pageProblemText({PageProblem::Kind::Turned, 6}));

        QSignalSpy asked(board, &frmPageBoard::exportRequested);
        QTest::mouseClick(notice->button(), Qt::LeftButton);
        QCOMPARE(asked.count(), 1);
    }

private:
    QTemporaryDir m_cache;
};

QTEST_MAIN(tst_PageBoard)
#include "tst_pageboard.moc"
