#include "queue/workqueue.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace tarnwick;

namespace {

// Holds every job at its start until released, so a test decides what runs.
struct Gate
{
    QSemaphore started;
    QSemaphore release;
    std::atomic_int running{0};
    std::atomic_int mostRunning{0};

    WorkQueue::Work job(std::function<void()> delivered = {})
    {
        return [this, delivered](const std::atomic_bool &) -> WorkQueue::Delivery {
            const int now = ++running;
            int most = mostRunning;
            while (now > most && !mostRunning.compare_exchange_weak(most, now)) {
            }
            started.release();
            release.acquire();
            --running;
            return delivered;
        };
    }
};

} // namespace

class tst_WorkQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsNoMoreThanItsBound();
    void takesHigherPrioritiesFirst();
    void cancelDropsWorkAndResults_data();
    void cancelDropsWorkAndResults();
    void deliversOnItsOwnThread();
    void quitLeavesAStuckWorkerBehind();
};

void tst_WorkQueue::runsNoMoreThanItsBound()
{
    Gate gate;
    WorkQueue queue(2);
    for (int i = 0; i < 6; ++i)
        queue.post(this, gate.job());
    QTRY_COMPARE(gate.started.available(), 2);
    gate.started.acquire(2);
    QCOMPARE(queue.queuedCount(this), 4);
    gate.release.release(6);
    queue.waitForIdle();
    QCOMPARE(gate.mostRunning.load(), 2);
}

void tst_WorkQueue::takesHigherPrioritiesFirst()
{
    Gate gate;
    WorkQueue queue(1);
    QStringList order;
    queue.post(this, gate.job([&] { order << QStringLiteral("first"); }));
    QTRY_COMPARE(gate.started.available(), 1);
    gate.started.acquire(1);
    queue.post(this, gate.job([&] { order << QStringLiteral("low"); }), 1);
    const WorkQueue::JobId raised = queue.post(this, gate.job([&] { order << QStringLiteral("raised"); }), 0);
    queue.post(this, gate.job([&] { order << QStringLiteral("high"); }), 5);
    QVERIFY(queue.setPriority(raised, 9));
    gate.release.release(4);
    queue.waitForIdle();
    QCOMPARE(order, (QStringList{u"first"_qs, u"raised"_qs, u"high"_qs, u"low"_qs}));
}

void tst_WorkQueue::cancelDropsWorkAndResults_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("whileRunning");
    for (const bool running : {false, true}) {
        const char *when = running ? "running" : "queued";
        QTest::addRow("job, %s", when) << u"job"_qs << running;
        QTest::addRow("context, %s", when) << u"context"_qs << running;
        QTest::addRow("all, %s", when) << u"all"_qs << running;
        QTest::addRow("context deleted, %s", when) << u"deleted"_qs << running;
    }
}

void tst_WorkQueue::cancelDropsWorkAndResults()
{
    QFETCH(QString, how);
    QFETCH(bool, whileRunning);
    Gate gate;
    WorkQueue queue(1);
    auto owner = std::make_unique<QObject>();
    QObject other;
    bool otherDelivered = false;
    bool delivered = false;
    std::atomic_bool sawCancel = false;
    // A running job to keep the one worker busy while the tested one waits.
    if (!whileRunning) {
        queue.post(&other, gate.job([&] { otherDelivered = true; }));
        QTRY_COMPARE(gate.started.available(), 1);
        gate.started.acquire(1);
    }
    const WorkQueue::JobId id = queue.post(owner.get(), [&](const std::atomic_bool &cancelled) -> WorkQueue::Delivery {
        gate.started.release();
        gate.release.acquire();
        sawCancel = cancelled.load();
        return [&] { delivered = true; };
    });
    if (whileRunning) {
        QTRY_COMPARE(gate.started.available(), 1);
        gate.started.acquire(1);
    }
    if (how == u"job")
        queue.cancel(id);
    else if (how == u"context")
        queue.cancelContext(owner.get());
    else if (how == u"all")
        queue.cancelAll();
    else
        owner.reset();
    gate.release.release(2);
    queue.waitForIdle();
    QVERIFY(!delivered);
    QCOMPARE(queue.activeCount(), 0);
    if (whileRunning && how != u"deleted")
        QVERIFY(sawCancel);
    // Cancelling one context leaves the other's job alone.
    if (!whileRunning)
        QCOMPARE(otherDelivered, how != u"all");
}

void tst_WorkQueue::deliversOnItsOwnThread()
{
    WorkQueue queue(2);
    QThread *worker = nullptr;
    QThread *deliveredOn = nullptr;
    queue.post(this, [&](const std::atomic_bool &) -> WorkQueue::Delivery {
        worker = QThread::currentThread();
        return [&] { deliveredOn = QThread::currentThread(); };
    });
    QTRY_VERIFY(deliveredOn);
    QCOMPARE(deliveredOn, thread());
    QVERIFY(worker != thread());
}

void tst_WorkQueue::quitLeavesAStuckWorkerBehind()
{
    auto gate = std::make_shared<Gate>();
    auto queue = std::make_unique<WorkQueue>(1);
    queue->post(this, [gate](const std::atomic_bool &) -> WorkQueue::Delivery {
        gate->started.release();
        gate->release.acquire();
        return {};
    });
    QTRY_COMPARE(gate->started.available(), 1);
    gate->started.acquire(1);
    QVERIFY(!queue->shutdown(std::chrono::milliseconds(50)));
    QCOMPARE(queue->post(this, gate->job()), WorkQueue::JobId(0));
    gate->release.release();
    QVERIFY(queue->shutdown());
}

QTEST_GUILESS_MAIN(tst_WorkQueue)
#include "tst_workqueue.moc"
