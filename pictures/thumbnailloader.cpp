#include "pictures/thumbnailloader.h"

#include "pictures/thumbnailmaker.h"

#include <QMutexLocker>
#include <QThread>

#include <algorithm>

namespace tarnwick {

namespace {

QString keyOf(const QString &path, int bucket)
{
    return QString::number(ThumbnailCache::bucketFor(bucket)) + u'|' + path;
}

} // namespace

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, qsizetype memoryBound, int workers, QObject *parent)
    : QObject(parent)
    , m_cache(std::move(cache))
    , m_workerCount(std::max(1, workers))
    , m_memory(memoryBound)
{
    m_pool.setMaxThreadCount(m_workerCount);
    // The window's thread must win the cores whenever it has work.
    m_pool.setThreadPriority(QThread::LowPriority);
}

ThumbnailLoader::~ThumbnailLoader()
{
    {
        const QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_queued.clear();
    }
    // Results posted meanwhile die with this object.
    m_pool.waitForDone();
}

int ThumbnailLoader::defaultWorkerCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

QImage ThumbnailLoader::thumbnail(const QString &path, int bucket)
{
    const QImage *image = m_memory.object(keyOf(path, bucket));
    return image ? *image : QImage();
}

bool ThumbnailLoader::hasFailed(const QString &path) const
{
    return m_failed.contains(path);
}

void ThumbnailLoader::request(const QString &path, int bucket, int priority)
{
    const QString key = keyOf(path, bucket);
    if (m_memory.contains(key) || m_failed.contains(path))
        return;
    {
        const QMutexLocker lock(&m_mutex);
        if (m_inFlight.contains(key))
            return;
        Request request{path, ThumbnailCache::bucketFor(bucket)};
        if (const auto queued = m_queued.constFind(key); queued != m_queued.cend())
            m_queue.erase(*queued);
        m_queued.insert(key, m_queue.emplace(Order(-priority, m_sequence++), std::move(request)).first);
        if (m_startPosted)
            return;
        m_startPosted = true;
    }
    QMetaObject::invokeMethod(this, &ThumbnailLoader::startWorkers, Qt::QueuedConnection);
}

void ThumbnailLoader::cancel(const QString &path, int bucket)
{
    const QMutexLocker lock(&m_mutex);
    if (const auto queued = m_queued.constFind(keyOf(path, bucket)); queued != m_queued.cend()) {
        m_queue.erase(*queued);
        m_queued.erase(queued);
    }
}

void ThumbnailLoader::cancelAll()
{
    const QMutexLocker lock(&m_mutex);
    m_queue.clear();
    m_queued.clear();
}

int ThumbnailLoader::queuedCount() const
{
    const QMutexLocker lock(&m_mutex);
    return int(m_queue.size());
}

void ThumbnailLoader::startWorkers()
{
    const QMutexLocker lock(&m_mutex);
    m_startPosted = false;
    for (auto waiting = qsizetype(m_queue.size()) - m_running; waiting > 0 && m_running < m_workerCount;
         --waiting) {
        ++m_running;
        m_pool.start([this] { work(); });
    }
}

void ThumbnailLoader::work()
{
    for (;;) {
        Request request;
        {
            const QMutexLocker lock(&m_mutex);
            if (m_stopping || m_queue.empty()) {
                --m_running;
                return;
            }
            request = std::move(m_queue.begin()->second);
            m_queue.erase(m_queue.begin());
            const QString key = keyOf(request.path, request.bucket);
            m_queued.remove(key);
            m_inFlight.insert(key);
        }
        ThumbnailCache::Result result = m_cache.obtain(request.path, request.bucket);
        if (!result.image.isNull())
            result.image = toStoredOrientation(result.image, storedOrientation(request.path));
        QMetaObject::invokeMethod(
            this,
            [this, path = request.path, bucket = request.bucket, image = std::move(result.image),
             failed = result.failed] { deliver(path, bucket, image, failed); },
            Qt::QueuedConnection);
    }
}

void ThumbnailLoader::deliver(const QString &path, int bucket, const QImage &image, bool failed)
{
    const QString key = keyOf(path, bucket);
    {
        const QMutexLocker lock(&m_mutex);
        m_inFlight.remove(key);
    }
    if (failed) {
        m_failed.insert(path);
        Q_EMIT thumbnailFailed(path);
        return;
    }
    m_memory.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    Q_EMIT thumbnailReady(path, bucket);
}

} // namespace tarnwick
