#include "preview/panmath.h"

#include <QTest>

using namespace tarnwick;

namespace {
const QSize kView(640, 480);
}

class tst_PanMath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void placesPreviewAtHostCentre_data();
    void placesPreviewAtHostCentre();
    void stepsByQuarterOfDistance_data();
    void stepsByQuarterOfDistance();
    void clampsOffset_data();
    void clampsOffset();
    void panStepDrawsVisiblePart_data();
    void panStepDrawsVisiblePart();
    void panStepRefusesWhenNothingChanges_data();
    void panStepRefusesWhenNothingChanges();
    void repeatedDragStaysInRange();
};

void tst_PanMath::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    // Natural widths of 800.02, 800.5 and 801.5 pixels.
    QTest::newRow("just above") << 800.02 << 800;
    QTest::newRow("half down to even") << 800.5 << 800;
    QTest::newRow("half up to even") << 801.5 << 802;
    QTest::newRow("zero half") << 0.5 << 0;
    QTest::newRow("negative half") << -0.5 << 0;
    QTest::newRow("negative one and a half") << -1.5 << -2;
    QTest::newRow("negative two and a half") << -2.5 << -2;
    QTest::newRow("just below half") << 2.4999 << 2;
    QTest::newRow("far positive saturates") << 1e12 << 2 * kPanLimit;
    QTest::newRow("far negative saturates") << -1e12 << -2 * kPanLimit;
    QTest::newRow("not a number") << std::nan("") << 0;
}

void tst_PanMath::roundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void tst_PanMath::placesPreviewAtHostCentre_data()
{
    QTest::addColumn<QPoint>("hostPosition");
    QTest::addColumn<QSize>("hostClient");
    QTest::addColumn<QPoint>("expected");
    // 4050 and 2500 twips: 270 pixels and 166 2/3, which shows as 167.
    QTest::newRow("main window at the corner") << QPoint(0, 0) << QSize(540, 332) << QPoint(270, 167);
    QTest::newRow("main window elsewhere") << QPoint(130, 234) << QSize(540, 332) << QPoint(400, 401);
    // Odd sizes: a half pixel across goes to the even column; 5.5 + 2/3 down rounds to 6.
    QTest::newRow("odd client width") << QPoint(0, 0) << QSize(541, 11) << QPoint(270, 6);
    QTest::newRow("odd width, odd column") << QPoint(1, 0) << QSize(541, 10) << QPoint(272, 6);
    QTest::newRow("negative position") << QPoint(-100, -50) << QSize(540, 332) << QPoint(170, 117);
}

void tst_PanMath::placesPreviewAtHostCentre()
{
    QFETCH(QPoint, hostPosition);
    QFETCH(QSize, hostClient);
    QFETCH(QPoint, expected);
    QCOMPARE(previewPlacement(hostPosition, hostClient), expected);
}

void tst_PanMath::stepsByQuarterOfDistance_data()
{
    QTest::addColumn<QPoint>("pan");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("drag left raises") << QPoint(0, 0) << QPoint(300, 200) << QPointF(260, 200) << QPoint(10, 0);
    QTest::newRow("drag right lowers") << QPoint(50, 0) << QPoint(300, 200) << QPointF(340, 200) << QPoint(40, 0);
    QTest::newRow("drag up raises y") << QPoint(0, 20) << QPoint(300, 200) << QPointF(300, 100) << QPoint(0, 45);
    QTest::newRow("at press point") << QPoint(7, 9) << QPoint(300, 200) << QPointF(300, 200) << QPoint(7, 9);
    // A difference of two pixels is a half: it goes to the even neighbour of the whole sum.
    QTest::newRow("half from odd offset") << QPoint(1, 3) << QPoint(10, 10) << QPointF(12, 12) << QPoint(0, 2);
    QTest::newRow("half from even offset") << QPoint(2, 4) << QPoint(10, 10) << QPointF(12, 12) << QPoint(2, 4);
    QTest::newRow("half upwards") << QPoint(2, 1) << QPoint(10, 10) << QPointF(8, 8) << QPoint(2, 2);
    QTest::newRow("one pixel is a quarter") << QPoint(5, 5) << QPoint(10, 10) << QPointF(9, 11) << QPoint(5, 5);
    QTest::newRow("three pixels") << QPoint(5, 5) << QPoint(10, 10) << QPointF(7, 13) << QPoint(6, 4);
    QTest::newRow("fractional pointer") << QPoint(0, 0) << QPoint(10, 10) << QPointF(7.9, 10) << QPoint(1, 0);
    QTest::newRow("goes negative before the clamp") << QPoint(0, 0) << QPoint(0, 0) << QPointF(40, 40) << QPoint(-10, -10);
}

void tst_PanMath::stepsByQuarterOfDistance()
{
    QFETCH(QPoint, pan);
    QFETCH(QPoint, press);
    QFETCH(QPointF, pointer);
    QFETCH(QPoint, expected);
    QCOMPARE(candidateOffset(pan, press, pointer), expected);
}

void tst_PanMath::clampsOffset_data()
{
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("inside") << QPoint(100, 50) << QSize(1000, 800) << QPoint(100, 50);
    QTest::newRow("below zero") << QPoint(-5, -1) << QSize(1000, 800) << QPoint(0, 0);
    QTest::newRow("far end") << QPoint(900, 900) << QSize(1000, 800) << QPoint(360, 320);
    QTest::newRow("exactly at the end") << QPoint(360, 320) << QSize(1000, 800) << QPoint(360, 320);
    QTest::newRow("one before the end") << QPoint(359, 319) << QSize(1000, 800) << QPoint(359, 319);
    QTest::newRow("narrow picture pins x") << QPoint(40, 40) << QSize(1000, 300) << QPoint(40, 0);
    QTest::newRow("low picture pins y") << QPoint(40, 40) << QSize(300, 1000) << QPoint(0, 40);
    QTest::newRow("as wide as the view") << QPoint(40, 40) << QSize(640, 1000) << QPoint(0, 40);
}

void tst_PanMath::clampsOffset()
{
    QFETCH(QPoint, offset);
    QFETCH(QSize, image);
    QFETCH(QPoint, expected);
    QCOMPARE(clampOffset(offset, kView, image), expected);
}

void tst_PanMath::panStepDrawsVisiblePart_data()
{
    QTest::addColumn<QPoint>("pan");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QPoint>("source");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("target");
    // A 1000 x 300 strip shows 640 x 300 of itself 90 pixels down.
    QTest::newRow("wide strip") << QPoint(0, 0) << QPoint(320, 240) << QPointF(120, 240) << QSize(1000, 300)
                                << QPoint(50, 0) << QSize(640, 300) << QPoint(0, 90);
    QTest::newRow("wide strip at its end") << QPoint(350, 0) << QPoint(320, 240) << QPointF(0, 0) << QSize(1000, 300)
                                           << QPoint(360, 0) << QSize(640, 300) << QPoint(0, 90);
    QTest::newRow("wide strip back to start") << QPoint(30, 0) << QPoint(320, 240) << QPointF(639, 240)
                                              << QSize(1000, 300) << QPoint(0, 0) << QSize(640, 300) << QPoint(0, 90);
    QTest::newRow("tall odd strip") << QPoint(0, 0) << QPoint(0, 0) << QPointF(-8, -8) << QSize(301, 2000)
                                    << QPoint(0, 2) << QSize(301, 480) << QPoint(169, 0);
    QTest::newRow("large both ways") << QPoint(10, 10) << QPoint(100, 100) << QPointF(60, 140) << QSize(4000, 3000)
                                     << QPoint(20, 0) << QSize(640, 480) << QPoint(0, 0);
    QTest::newRow("largest pannable") << QPoint(0, 0) << QPoint(640, 480) << QPointF(0, 0)
                                      << QSize(kPanLimit, kPanLimit) << QPoint(160, 120) << QSize(640, 480)
                                      << QPoint(0, 0);
}

void tst_PanMath::panStepDrawsVisiblePart()
{
    QFETCH(QPoint, pan);
    QFETCH(QPoint, press);
    QFETCH(QPointF, pointer);
    QFETCH(QSize, image);
    QFETCH(QPoint, source);
    QFETCH(QSize, size);
    QFETCH(QPoint, target);
    const std::optional<PanStep> step = panStep(pan, press, pointer, kView, image);
    QVERIFY(step);
    QCOMPARE(step->source, source);
    QCOMPARE(step->size, size);
    QCOMPARE(step->target, target);
}

void tst_PanMath::panStepRefusesWhenNothingChanges_data()
{
    QTest::addColumn<QPoint>("pan");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QSize>("image");
    QTest::newRow("picture fits") << QPoint(0, 0) << QPoint(300, 200) << QPointF(0, 0) << QSize(640, 480);
    QTest::newRow("small picture") << QPoint(0, 0) << QPoint(300, 200) << QPointF(0, 0) << QSize(10, 10);
    QTest::newRow("no picture yet") << QPoint(0, 0) << QPoint(300, 200) << QPointF(0, 0) << QSize(0, 0);
    QTest::newRow("already at the start") << QPoint(0, 0) << QPoint(300, 200) << QPointF(400, 300) << QSize(1000, 800);
    QTest::newRow("already at the end") << QPoint(360, 320) << QPoint(300, 200) << QPointF(0, 0) << QSize(1000, 800);
    QTest::newRow("under a half") << QPoint(5, 5) << QPoint(10, 10) << QPointF(11, 9) << QSize(1000, 800);
    QTest::newRow("strip moved only across its height") << QPoint(0, 0) << QPoint(300, 200) << QPointF(300, 0)
                                                         << QSize(1000, 300);
    QTest::newRow("too wide to pan") << QPoint(0, 0) << QPoint(300, 200) << QPointF(0, 0) << QSize(kPanLimit + 1, 10);
    QTest::newRow("too tall to pan") << QPoint(0, 0) << QPoint(300, 200) << QPointF(0, 0) << QSize(700, 40000);
}

void tst_PanMath::panStepRefusesWhenNothingChanges()
{
    QFETCH(QPoint, pan);
    QFETCH(QPoint, press);
    QFETCH(QPointF, pointer);
    QFETCH(QSize, image);
    QVERIFY(!panStep(pan, press, pointer, kView, image));
}

void tst_PanMath::repeatedDragStaysInRange()
{
    // Holding the pointer left of the press point keeps scrolling until the far end.
    const QSize image(1000, 300);
    QPoint pan(0, 0);
    int steps = 0;
    while (const auto step = panStep(pan, QPoint(600, 240), QPointF(0, 240), kView, image)) {
        QVERIFY(step->source.x() > pan.x());
        QVERIFY(step->source.x() <= 360);
        pan = step->source;
        QVERIFY(++steps < 100);
    }
    QCOMPARE(pan, QPoint(360, 0));
    QCOMPARE(steps, 3);
}

QTEST_APPLESS_MAIN(tst_PanMath)
#include "tst_panmath.moc"
