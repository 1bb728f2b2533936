#include "pictures/picturesizereader.h"

#include "pictures/picturelist.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

namespace tarnwick {

namespace {

// Pictures a worker takes at a time and hands back in one queued call: small
// enough that the list's thread applies a batch well within a frame, large
// enough that 32,767 pictures are not 32,767 events.
constexpr size_t kBatch = 32;

} // namespace

PictureSizeReader::PictureSizeReader(PictureList &list, int threads, QObject *parent)
    : PictureSizeReader(list, threads, &PictureHeader::readFile, parent)
{
}

PictureSizeReader::PictureSizeReader(PictureList &list, int threads, HeaderReader readHeader, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_threadCount(std::max(1, threads))
    , m_readHeader(std::move(readHeader))
{
    m_pool.setMaxThreadCount(m_threadCount);
    // The window's thread must win the cores whenever it has work.
    m_pool.setThreadPriority(QThread::LowPriority);
}

PictureSizeReader::~PictureSizeReader()
{
    {
        const QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    // Batches posted meanwhile die with this object.
    m_pool.waitForDone();
}

void PictureSizeReader::readAll()
{
    const QStringList &names = m_list.names();
    std::vector<Job> jobs;
    jobs.reserve(size_t(names.size()));
    for (const QString &name : names) {
        Job job{name, {}, {}, false};
        if (const std::optional<PictureFacts> known = m_list.knownFacts(name)) {
            job.byteSize = known->byteSize;
            job.modified = known->modified;
            job.sizeKnown = known->pixelSize || !known->sizeReason.isEmpty();
        }
        jobs.push_back(std::move(job));
    }
    m_total = qsizetype(jobs.size());
    m_done = 0;
    m_reading = !jobs.empty();
    int starting = 0;
    {
        const QMutexLocker lock(&m_mutex);
        ++m_run;
        m_folder = m_list.folder();
        const auto batches = int((jobs.size() + kBatch - 1) / kBatch);
        m_jobs = std::move(jobs);
        m_next = 0;
        starting = std::max(0, std::min(m_threadCount - m_running, batches));
        m_running += starting;
    }
    for (int i = 0; i < starting; ++i)
        m_pool.start([this] { work(); });
    if (!m_reading)
        Q_EMIT finished();
}

void PictureSizeReader::stop()
{
    {
        const QMutexLocker lock(&m_mutex);
        ++m_run;
        m_jobs.clear();
        m_next = 0;
    }
    if (!m_reading)
        return;
    m_reading = false;
    Q_EMIT stopped();
}

void PictureSizeReader::work()
{
    for (;;) {
        std::vector<Job> batch;
        quint64 run = 0;
        QString folder;
        {
            const QMutexLocker lock(&m_mutex);
            if (m_stopping || m_next >= m_jobs.size()) {
                --m_running;
                return;
            }
            const size_t end = std::min(m_jobs.size(), m_next + kBatch);
            batch.assign(m_jobs.begin() + qsizetype(m_next), m_jobs.begin() + qsizetype(end));
            m_next = end;
            run = m_run;
            folder = m_folder;
        }
        std::vector<Result> results;
        results.reserve(batch.size());
        for (const Job &job : batch) {
            Result result;
            result.name = job.name;
            const QString path = folder + job.name;
            const QFileInfo info(path);
            if (info.exists()) {
                result.byteSize = info.size();
                result.modified = info.lastModified();
            }
            result.unchanged = job.sizeKnown && result.byteSize && result.byteSize == job.byteSize
                && result.modified == job.modified;
            if (!result.unchanged)
                result.header = m_readHeader(path);
            results.push_back(std::move(result));
        }
        QMetaObject::invokeMethod(
            this, [this, run, folder, results = std::move(results)] { deliver(run, folder, results); },
            Qt::QueuedConnection);
    }
}

void PictureSizeReader::deliver(quint64 run, const QString &folder, const std::vector<Result> &results)
{
    // What was read in a folder listed before is no fact of this listing.
    if (folder == m_list.folder()) {
        for (const Result &result : results) {
            if (result.unchanged)
                continue;
            PictureFacts facts;
            facts.byteSize = result.byteSize;
            facts.modified = result.modified;
            facts.pixelSize = result.header.size();
            facts.sizeReason = result.header.reason();
            m_list.setFacts(result.name, facts);
        }
    }
    // m_run changes on this thread only.
    if (run != m_run || !m_reading)
        return;
    m_done += qsizetype(results.size());
    Q_EMIT progressed(m_done, m_total);
    if (m_done < m_total)
        return;
    m_reading = false;
    Q_EMIT finished();
}

} // namespace tarnwick
