#include "export/exporttask.h"

#include "queue/workqueue.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

#include <malloc.h>

namespace tarnwick {

namespace {

// Each turn allocates tens of megabytes of coefficients and frees them
// again; returned to the system every time, they are faulted in anew for the
// next picture, which costs as much as the turn itself. During an export the
// freed memory stays with the process, and goes back when it ends.
void keepFreedMemory(bool keep)
{
    constexpr int kDefaultThreshold = 128 * 1024;
    constexpr int kKept = 512 * 1024 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, keep ? kKept : kDefaultThreshold);
    ::mallopt(M_TRIM_THRESHOLD, keep ? kKept : kDefaultThreshold);
    if (!keep)
        ::malloc_trim(0);
}

} // namespace

// Shared with the jobs, so that a task destroyed mid-way leaves them valid;
// the last one to let go removes what the export made.
struct ExportTask::State
{
    explicit State(std::unique_ptr<BookExport> export_) : run(std::move(export_)) {}

    std::unique_ptr<BookExport> run;
    std::atomic_bool stop = false;
    std::atomic_bool cancelled = false;
    QMutex mutex;
    std::optional<ExportFailure> failure; // the first picture that failed
    qsizetype total = 0;
};

ExportTask::ExportTask(std::unique_ptr<BookExport> run, WorkQueue &queue, QObject *parent)
    : QObject(parent), m_state(std::make_shared<State>(std::move(run))), m_queue(queue)
{
}

ExportTask::~ExportTask()
{
    m_state->stop = true;
}

QString ExportTask::target() const
{
    return m_state->run->target();
}

void ExportTask::start()
{
    if (std::optional<ExportFailure> failure = m_state->run->prepare()) {
        m_failure = std::move(failure);
        // Always after start() returns, as for any other outcome.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_finished = true;
                Q_EMIT finished();
            },
            Qt::QueuedConnection);
        return;
    }
    m_state->total = m_state->run->pictureCount();
    keepFreedMemory(true);
    if (m_state->total == 0) {
        conclude();
        return;
    }
    for (qsizetype index = 0; index < m_state->total; ++index) {
        m_queue.post(this, [state = m_state, index, this](const std::atomic_bool &) -> WorkQueue::Delivery {
            std::optional<ExportFailure> failure = state->run->exportPicture(index, state->stop);
            if (failure && !failure->cancelled) {
                state->stop = true;
                const QMutexLocker lock(&state->mutex);
                if (!state->failure)
                    state->failure = std::move(failure);
            }
            // Runs only while this task exists.
            return [this] { pictureDone(); };
        });
    }
}

void ExportTask::pictureDone()
{
    ++m_done;
    Q_EMIT progressed(m_done, m_state->total);
    if (m_done == m_state->total)
        conclude();
}

void ExportTask::cancel()
{
    m_state->cancelled = true;
    m_state->stop = true;
}

void ExportTask::conclude()
{
    m_queue.post(this, [state = m_state, this](const std::atomic_bool &) -> WorkQueue::Delivery {
        std::optional<ExportFailure> outcome;
        {
            const QMutexLocker lock(&state->mutex);
            outcome = state->failure;
        }
        if (!outcome && state->cancelled)
            outcome = ExportFailure{QString(), QString(), true};
        if (!outcome)
            outcome = state->run->finish();
        if (outcome)
            state->run->abandon();
        keepFreedMemory(false);
        return [this, outcome] {
            m_failure = outcome;
            m_finished = true;
            Q_EMIT finished();
        };
    });
}

std::optional<ExportFailure> ExportTask::runAndWait(std::unique_ptr<BookExport> run, WorkQueue &queue,
                                                    const std::function<void(qsizetype, qsizetype)> &progress)
{
    ExportTask task(std::move(run), queue);
    if (progress)
        connect(&task, &ExportTask::progressed, &task, progress);
    task.start();
    while (!task.isFinished()) {
        queue.waitForIdle();
        // A refused target reports through a queued call, not the queue.
        QCoreApplication::sendPostedEvents(&task, QEvent::MetaCall);
    }
    return task.failure();
}

} // namespace tarnwick
