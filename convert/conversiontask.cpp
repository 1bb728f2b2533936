#include "convert/conversiontask.h"

#include "queue/workqueue.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>

namespace tarnwick {

namespace {

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct ConversionTask::Shared
{
    explicit Shared(size_t count) : gates(count), started(count) {}

    // Per picture: whether it may still be put in place, and when its job
    // began (0: not yet).
    std::vector<PlacementGate> gates;
    std::vector<std::atomic<qint64>> started;
};

ConversionTask::ConversionTask(const QString &folder, std::vector<ConversionItem> items, quint32 background,
                               WorkQueue &queue, QObject *parent, std::chrono::milliseconds mostTime)
    : QObject(parent)
    , m_folder(folder)
    , m_items(std::move(items))
    , m_results(m_items.size())
    , m_delivered(m_items.size(), false)
    , m_background(background)
    , m_queue(queue)
    , m_mostTime(mostTime)
    , m_shared(std::make_shared<Shared>(m_items.size()))
    , m_watch(new QTimer(this))
{
    m_watch->setInterval(std::clamp(m_mostTime / 4, std::chrono::milliseconds(1), std::chrono::milliseconds(1000)));
    connect(m_watch, &QTimer::timeout, this, &ConversionTask::watch);
}

ConversionTask::~ConversionTask()
{
    for (PlacementGate &gate : m_shared->gates)
        gate.halt();
}

void ConversionTask::start()
{
    removeStaleConversionTemporaries(m_folder);
    if (m_items.empty()) {
        // Always after start() returns, as for any other outcome.
        QMetaObject::invokeMethod(this, &ConversionTask::finish, Qt::QueuedConnection);
        return;
    }
    for (size_t index = 0; index < m_items.size(); ++index) {
        // Not cancelled through the queue: a job that is dropped there would
        // never report, and one that put its copy in place must.
        m_queue.post(this, [shared = m_shared, folder = m_folder, item = m_items[index], background = m_background,
                            index, this](const std::atomic_bool &) -> WorkQueue::Delivery {
            shared->started[index] = steadyMs() + 1;
            ConversionResult result = convertOnePicture(folder, item, background, shared->gates[index]);
            // Runs only while this task exists.
            return [this, index, result = std::move(result)] { delivered(index, result); };
        });
    }
    m_watch->start();
}

void ConversionTask::cancel()
{
    if (m_cancelled || m_finished)
        return;
    m_cancelled = true;
    for (PlacementGate &gate : m_shared->gates)
        gate.halt();
    // Queued jobs report at once; one stuck in a decoder would never.
    QTimer::singleShot(kCancelWait, this, [this] {
        if (!m_finished)
            finish();
    });
}

void ConversionTask::watch()
{
    const qint64 now = steadyMs();
    for (size_t index = 0; index < m_items.size(); ++index) {
        const qint64 started = m_shared->started[index];
        if (m_delivered[index] || started == 0 || now + 1 - started <= m_mostTime.count())
            continue;
        // A job that is renaming its copy already reports it.
        if (!m_shared->gates[index].halt())
            continue;
        delivered(index, {ConversionResult::Kind::Failed,
                          QStringLiteral("not decoded within %1 seconds").arg(m_mostTime.count() / 1000.0)});
        if (m_finished)
            return;
    }
}

void ConversionTask::finish()
{
    m_watch->stop();
    m_finished = true;
    Q_EMIT finished();
}

QStringList ConversionTask::written() const
{
    QStringList names;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_results[i].kind == ConversionResult::Kind::Written)
            names.append(m_items[i].target);
    }
    return names;
}

void ConversionTask::delivered(size_t index, ConversionResult result)
{
    // A job back after its time ran out, or after a cancel gave up waiting,
    // put nothing in place.
    if (m_finished || m_delivered[index])
        return;
    m_delivered[index] = true;
    m_results[index] = std::move(result);
    ++m_done;
    Q_EMIT pictureDone(index);
    Q_EMIT progressed(m_done, qsizetype(m_items.size()));
    if (m_done == qsizetype(m_items.size()))
        finish();
}

std::vector<ConversionResult> ConversionTask::runAndWait(const QString &folder,
                                                         const std::vector<ConversionItem> &items, quint32 background,
                                                         WorkQueue &queue, const std::function<void(size_t)> &done)
{
    ConversionTask task(folder, items, background, queue);
    if (done)
        connect(&task, &ConversionTask::pictureDone, &task, done);
    // An event loop, not the queue's wait, so that a stuck decoder's time runs out.
    QEventLoop loop;
    connect(&task, &ConversionTask::finished, &loop, &QEventLoop::quit);
    task.start();
    if (!task.isFinished())
        loop.exec();
    return task.results();
}

} // namespace tarnwick
