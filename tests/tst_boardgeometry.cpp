#include "board/boardplacement.h"
#include "board/edgescroller.h"

#include <QTest>

#include <optional>

using namespace tarnwick;

// Where the page board's window opens, worked out without a screen, and how
// fast a drag held at an edge scrolls.
class tst_BoardGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<std::optional<QPoint>>("place");
        QTest::addColumn<QRect>("expected");

        const QRect fullHd(0, 0, 1920, 1040);
        const QRect centred(690, 354, 540, 332);
        const std::optional<QPoint> none;
        // 1280 x 1024 pixels at a scale factor of 2, less a 24-pixel panel:
        // what the board's remembered 900 x 560 must fit into.
        const QRect doubled(0, 0, 640, 500);
        QTest::newRow("scale 2: remembered size and place clamped")
            << doubled << QRect(50, 84, 540, 332) << QSize(900, 560) << std::optional<QPoint>(QPoint(300, 200))
            << QRect(0, 0, 640, 500);
        QTest::newRow("remembered place off the right edge: moved in")
            << fullHd << centred << QSize(900, 640) << std::optional<QPoint>(QPoint(1500, 100))
            << QRect(1020, 100, 900, 640);
        QTest::newRow("remembered place above the top: moved down")
            << fullHd << centred << QSize(900, 640) << std::optional<QPoint>(QPoint(200, -300))
            << QRect(200, 0, 900, 640);
        QTest::newRow("remembered place that fits: kept")
            << fullHd << centred << QSize(900, 640) << std::optional<QPoint>(QPoint(10, 20))
            << QRect(10, 20, 900, 640);
        QTest::newRow("second screen to the right")
            << QRect(1920, 0, 1280, 1024) << QRect(2000, 100, 540, 332) << QSize(900, 640)
            << std::optional<QPoint>(QPoint(3000, 900)) << QRect(2300, 384, 900, 640);
        QTest::newRow("first opening, room on the right")
            << fullHd << QRect(100, 100, 540, 332) << QSize(900, 640) << none << QRect(640, 100, 900, 640);
        QTest::newRow("first opening, room on the left only")
            << fullHd << QRect(1300, 100, 540, 332) << QSize(900, 640) << none << QRect(400, 100, 900, 640);
        QTest::newRow("first opening, no room: over the far side, flush right")
            << fullHd.adjusted(0, 0, -520, 0) << QRect(300, 354, 540, 332) << QSize(900, 640) << none
            << QRect(500, 354, 900, 640);
        QTest::newRow("first opening, no room: over the far side, flush left")
            << QRect(0, 0, 1280, 1000) << QRect(700, 500, 540, 332) << QSize(900, 640) << none
            << QRect(0, 360, 900, 640);
        QTest::newRow("below the minimum: grown to it")
            << fullHd << QRect(100, 100, 540, 332) << QSize(50, 40) << none << QRect(640, 100, 200, 160);
        QTest::newRow("screen smaller than the minimum")
            << QRect(0, 0, 150, 120) << QRect(0, 0, 100, 100) << QSize(900, 640) << none << QRect(0, 0, 150, 120);
    }

    void placement()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, owner);
        QFETCH(QSize, size);
        QFETCH(std::optional<QPoint>, place);
        QFETCH(QRect, expected);
        const QRect placed = placeBoardWindow(screen, owner, size, place, QSize(200, 160));
        QCOMPARE(placed, expected);
        QVERIFY(screen.contains(placed));
    }

    void edgeStep_data()
    {
        QTest::addColumn<int>("distance");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("pageStep");
        QTest::addColumn<int>("expected");

        // A band of 60 pixels.
        QTest::newRow("outside the band") << 60 << 0 << 600 << 0;
        QTest::newRow("far inside the view") << 300 << 50 << 600 << 0;
        QTest::newRow("band's inner end, first tick") << 59 << 0 << 600 << 1;
        QTest::newRow("half way, held a second") << 30 << 50 << 600 << 51;
        QTest::newRow("on the edge, held a second") << 0 << 50 << 600 << 204;
        QTest::newRow("past the edge: as on it") << -40 << 50 << 600 << 204;
        QTest::newRow("on the edge, first tick") << 0 << 0 << 600 << 4;
        QTest::newRow("held long: a page a tick") << 0 << 1000 << 600 << 600;
        QTest::newRow("a short page bounds it") << 0 << 1000 << 30 << 30;
    }

    void edgeStep()
    {
        QFETCH(int, distance);
        QFETCH(int, ticks);
        QFETCH(int, pageStep);
        QFETCH(int, expected);
        QCOMPARE(edgeScrollStep(distance, 60, ticks, pageStep), expected);
    }
};

QTEST_APPLESS_MAIN(tst_BoardGeometry)
#include "tst_boardgeometry.moc"
