#include "queue/workqueue.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// How much nicer than the thread that starts them the workers run.
constexpr int kWorkerNiceness = 5;

} // namespace

struct WorkQueue::State
{
    struct Job
    {
        JobId id = 0;
        QPointer<QObject> context;
        const QObject *group = nullptr;
        Work work;
        std::shared_ptr<std::atomic_bool> cancelled;
    };
    // Running, or finished with its result on the way to the queue's thread.
    struct Active
    {
        const QObject *group = nullptr;
        std::shared_ptr<std::atomic_bool> cancelled;
    };
    // Highest priority first, then the order of posting.
    using Key = std::pair<int, JobId>;

    mutable QMutex mutex;
    QWaitCondition changed;
    std::map<Key, Job> queue;
    QHash<JobId, Key> queuedKeys;
    QHash<JobId, Active> active;
    WorkQueue *owner = nullptr;
    JobId lastId = 0;
    int threads = 1;
    int workers = 0;
    // Results posted to the queue's thread and not yet taken there.
    int undelivered = 0;
    bool stopping = false;

    void erase(std::map<Key, Job>::iterator it)
    {
        queuedKeys.remove(it->second.id);
        queue.erase(it);
    }
};

WorkQueue::WorkQueue(int threads, QObject *parent)
    : QObject(parent)
    , m_state(std::make_shared<State>())
    , m_pool(new QThreadPool)
{
    m_state->owner = this;
    m_state->threads = std::max(1, threads);
    m_pool->setMaxThreadCount(m_state->threads);
    // Only a hint: Linux gives ordinary threads no lower priority this way;
    // each worker lowers its own (runWorker).
    m_pool->setThreadPriority(QThread::LowPriority);
}

WorkQueue::~WorkQueue()
{
    const bool stopped = shutdown();
    {
        const QMutexLocker lock(&m_state->mutex);
        m_state->owner = nullptr;
    }
    // A worker blocked in a system call keeps its pool: destroying the pool
    // would wait for it for good. The state it holds stays alive with it.
    if (stopped)
        delete m_pool;
}

int WorkQueue::defaultThreadCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

int WorkQueue::threadCount() const
{
    return m_state->threads;
}

WorkQueue::JobId WorkQueue::post(QObject *context, Work work, int priority)
{
    JobId id = 0;
    {
        const QMutexLocker lock(&m_state->mutex);
        if (m_state->stopping)
            return 0;
        id = ++m_state->lastId;
        const State::Key key{-priority, id};
        m_state->queue.emplace(key, State::Job{id, context, context, std::move(work),
                                               std::make_shared<std::atomic_bool>(false)});
        m_state->queuedKeys.insert(id, key);
    }
    // Started on the next turn of the event loop, so that the jobs posted
    // meanwhile are ordered first.
    if (!m_startPosted.exchange(true))
        QMetaObject::invokeMethod(this, &WorkQueue::startWorkers, Qt::QueuedConnection);
    return id;
}

bool WorkQueue::setPriority(JobId id, int priority)
{
    const QMutexLocker lock(&m_state->mutex);
    const auto key = m_state->queuedKeys.constFind(id);
    if (key == m_state->queuedKeys.cend())
        return false;
    if (key->first == -priority)
        return true;
    auto node = m_state->queue.extract(*key);
    node.key().first = -priority;
    m_state->queuedKeys.insert(id, node.key());
    m_state->queue.insert(std::move(node));
    return true;
}

bool WorkQueue::isQueued(JobId id) const
{
    const QMutexLocker lock(&m_state->mutex);
    return m_state->queuedKeys.contains(id);
}

void WorkQueue::cancel(JobId id)
{
    const QMutexLocker lock(&m_state->mutex);
    if (const auto key = m_state->queuedKeys.constFind(id); key != m_state->queuedKeys.cend()) {
        m_state->erase(m_state->queue.find(*key));
    } else if (const auto active = m_state->active.constFind(id); active != m_state->active.cend()) {
        *active->cancelled = true;
    }
    m_state->changed.wakeAll();
}

void WorkQueue::cancelContext(const QObject *context)
{
    const QMutexLocker lock(&m_state->mutex);
    for (auto it = m_state->queue.begin(); it != m_state->queue.end();) {
        const auto next = std::next(it);
        if (it->second.group == context)
            m_state->erase(it);
        it = next;
    }
    for (const State::Active &active : std::as_const(m_state->active)) {
        if (active.group == context)
            *active.cancelled = true;
    }
    m_state->changed.wakeAll();
}

void WorkQueue::cancelAll()
{
    const QMutexLocker lock(&m_state->mutex);
    m_state->queue.clear();
    m_state->queuedKeys.clear();
    for (const State::Active &active : std::as_const(m_state->active))
        *active.cancelled = true;
    m_state->changed.wakeAll();
}

int WorkQueue::queuedCount(const QObject *context) const
{
    const QMutexLocker lock(&m_state->mutex);
    if (!context)
        return int(m_state->queue.size());
    return int(std::count_if(m_state->queue.cbegin(), m_state->queue.cend(),
                             [context](const auto &entry) { return entry.second.group == context; }));
}

int WorkQueue::activeCount() const
{
    const QMutexLocker lock(&m_state->mutex);
    return int(m_state->active.size());
}

void WorkQueue::waitForIdle()
{
    for (;;) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        QMutexLocker lock(&m_state->mutex);
        if (m_state->queue.empty() && m_state->active.empty())
            return;
        // A result posted since the delivery above is taken at once: its
        // worker's wake-up came before this wait. Otherwise a worker wakes us
        // when it posts one or ends; the timeout is only a guard.
        if (m_state->undelivered == 0)
            m_state->changed.wait(&m_state->mutex, 50);
    }
}

bool WorkQueue::shutdown(std::chrono::milliseconds timeout)
{
    {
        const QMutexLocker lock(&m_state->mutex);
        m_state->stopping = true;
    }
    cancelAll();
    return m_pool->waitForDone(int(timeout.count()));
}

void WorkQueue::startWorkers()
{
    m_startPosted = false;
    int starting = 0;
    {
        const QMutexLocker lock(&m_state->mutex);
        starting = std::min(m_state->threads - m_state->workers, int(m_state->queue.size()));
        starting = std::max(starting, 0);
        m_state->workers += starting;
    }
    for (int i = 0; i < starting; ++i)
        m_pool->start([state = m_state] { runWorker(state); });
}

void WorkQueue::runWorker(const std::shared_ptr<State> &state)
{
    // A worker yields its core to the window's thread: at the same niceness
    // the scheduler shares the cores evenly, and a thread woken by input
    // could wait tens of milliseconds behind two busy workers. On Linux the
    // niceness is the thread's own; raising it needs no privilege.
    thread_local const bool niced = [] {
        errno = 0;
        const int current = ::getpriority(PRIO_PROCESS, 0);
        return errno == 0
            && ::setpriority(PRIO_PROCESS, ::gettid(), std::min(current + kWorkerNiceness, 19)) == 0;
    }();
    Q_UNUSED(niced);
    for (;;) {
        State::Job job;
        {
            const QMutexLocker lock(&state->mutex);
            if (state->queue.empty() || state->stopping) {
                --state->workers;
                state->changed.wakeAll();
                return;
            }
            auto first = state->queue.begin();
            job = std::move(first->second);
            state->erase(first);
            state->active.insert(job.id, {job.group, job.cancelled});
        }
        Delivery delivery;
        if (!*job.cancelled)
            delivery = job.work(*job.cancelled);
        const QMutexLocker lock(&state->mutex);
        if (!delivery || *job.cancelled || !state->owner) {
            state->active.remove(job.id);
            state->changed.wakeAll();
            continue;
        }
        // Delivered on the queue's thread, unless cancelled meanwhile or the
        // context is gone by then.
        QMetaObject::invokeMethod(
            state->owner,
            [state, id = job.id, context = job.context, hasContext = job.group != nullptr,
             delivery = std::move(delivery)] {
                bool deliver = false;
                {
                    const QMutexLocker lock(&state->mutex);
                    --state->undelivered;
                    const auto active = state->active.constFind(id);
                    deliver = active != state->active.cend() && !*active->cancelled;
                    state->active.remove(id);
                    state->changed.wakeAll();
                }
                if (deliver && (!hasContext || context))
                    delivery();
            },
            Qt::QueuedConnection);
        ++state->undelivered;
        state->changed.wakeAll();
    }
}

} // namespace tarnwick
