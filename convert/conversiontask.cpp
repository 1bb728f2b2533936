#include "convert/conversiontask.h"

#include "queue/workqueue.h"

#include <QCoreApplication>
#include <QTimer>

namespace tarnwick {

ConversionTask::ConversionTask(const QString &folder, std::vector<ConversionItem> items, quint32 background,
                               WorkQueue &queue, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_items(std::move(items))
    , m_results(m_items.size())
    , m_background(background)
    , m_queue(queue)
{
}

ConversionTask::~ConversionTask()
{
    *m_stop = true;
}

void ConversionTask::start()
{
    removeStaleConversionTemporaries(m_folder);
    if (m_items.empty()) {
        // Always after start() returns, as for any other outcome.
        QMetaObject::invokeMethod(
            this,
            [this] { finish(); },
            Qt::QueuedConnection);
        return;
    }
    for (size_t index = 0; index < m_items.size(); ++index) {
        // Not cancelled through the queue: a job that is dropped there would
        // never report, and one that put its copy in place must.
        m_queue.post(this, [stop = m_stop, folder = m_folder, item = m_items[index], background = m_background,
                            index, this](const std::atomic_bool &) -> WorkQueue::Delivery {
            ConversionResult result = convertOnePicture(folder, item, background, *stop);
            // Runs only while this task exists.
            return [this, index, result = std::move(result)] { delivered(index, result); };
        });
    }
}

void ConversionTask::cancel()
{
    if (*m_stop || m_finished)
        return;
    *m_stop = true;
    // Queued jobs report at once; one stuck in a decoder would never.
    QTimer::singleShot(kCancelWait, this, [this] {
        if (!m_finished)
            finish();
    });
}

void ConversionTask::finish()
{
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
    // A job back after a cancel gave up waiting put nothing in place.
    if (m_finished)
        return;
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
    task.start();
    while (!task.isFinished()) {
        queue.waitForIdle();
        // No pictures reports through a queued call, not the queue.
        QCoreApplication::sendPostedEvents(&task, QEvent::MetaCall);
    }
    return task.results();
}

} // namespace tarnwick
