#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QThreadPool;

namespace tarnwick {

// Tarnwick's one queue for work off the owner's thread: reading picture
// headers, making thumbnails, exporting and converting pictures. A bounded
// number of workers takes the queued jobs highest priority first (in the order
// of posting among equals); jobs posted during one turn of the event loop are
// all queued before any of them starts. A job's work runs on a worker and returns what is
// to be done with its result; that runs on the queue's own thread, and only
// while the job is neither cancelled nor its context object gone. Cancelling a
// queued job drops it; a running one sees its flag set and its result is
// dropped.
//
// Quitting never waits on a worker without bound: a worker stuck in a system
// call is left behind after kShutdownWait, and the process ends without it.
class WorkQueue : public QObject
{
    Q_OBJECT

public:
    using JobId = quint64;
    // What is done with a job's result on the queue's thread.
    using Delivery = std::function<void()>;
    // A job's work; cancelled turns true when the job is cancelled while it runs.
    using Work = std::function<Delivery(const std::atomic_bool &cancelled)>;

    static constexpr std::chrono::milliseconds kShutdownWait{2000};

    explicit WorkQueue(int threads = defaultThreadCount(), QObject *parent = nullptr);
    ~WorkQueue() override;

    // The cores, but never more than four: on two cores more workers than
    // cores only slow the window's thread down.
    static int defaultThreadCount();

    int threadCount() const;

    // Queues work for context, which is also the group that cancelContext()
    // drops; higher priorities first.
    JobId post(QObject *context, Work work, int priority = 0);
    // A new priority for a queued job; false when it is no longer queued.
    bool setPriority(JobId id, int priority);
    // Whether the job waits for a worker.
    bool isQueued(JobId id) const;
    void cancel(JobId id);
    void cancelContext(const QObject *context);
    void cancelAll();

    // Jobs of context (of all contexts with nullptr) queued and not started.
    int queuedCount(const QObject *context = nullptr) const;
    // Jobs whose work runs now or whose result waits to be delivered.
    int activeCount() const;

    // Blocks the calling thread, which must be the queue's, until every job
    // is done and delivered, delivering results meanwhile; for a command
    // without an event loop.
    void waitForIdle();
    // Cancels everything and waits up to timeout for the running work; false
    // when a worker did not stop in time (it is then left behind).
    bool shutdown(std::chrono::milliseconds timeout = kShutdownWait);

private:
    struct State;
    void startWorkers();
    static void runWorker(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state;
    QThreadPool *m_pool = nullptr;
    std::atomic_bool m_startPosted = false;
};

} // namespace tarnwick
