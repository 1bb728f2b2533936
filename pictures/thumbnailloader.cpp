#include "pictures/thumbnailloader.h"

#include "pictures/camerathumbnail.h"
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
    // Where the platform has priorities for ordinary threads, the window's
    // thread wins the cores whenever it has work. Linux's ordinary threads
    // have none (Qt leaves them at nice 0); their work is short enough that
    // the window still waits less than 50 ms (bench_pageboard).
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

bool ThumbnailLoader::isRough(const QString &path, int bucket) const
{
    const QString key = keyOf(path, bucket);
    return m_rough.contains(key) && m_memory.contains(key);
}

void ThumbnailLoader::request(const QString &path, int bucket, int priority)
{
    const QString key = keyOf(path, bucket);
    const bool inMemory = m_memory.contains(key);
    if (!inMemory)
        m_rough.remove(key);
    if ((inMemory && !m_rough.contains(key)) || m_failed.contains(path))
        return;
    {
        const QMutexLocker lock(&m_mutex);
        if (m_inFlight.contains(key))
            return;
        // A queued request keeps its step; a rough thumbnail needs only the making.
        Step step = inMemory ? Step::Making : Step::Quick;
        if (const auto queued = m_queued.constFind(key); queued != m_queued.cend()) {
            step = (*queued)->second.step;
            m_queue.erase(*queued);
        }
        queue(key, Request{path, ThumbnailCache::bucketFor(bucket), step}, priority);
        if (m_startPosted)
            return;
        m_startPosted = true;
    }
    QMetaObject::invokeMethod(this, &ThumbnailLoader::startWorkers, Qt::QueuedConnection);
}

// Under m_mutex.
void ThumbnailLoader::queue(const QString &key, Request request, int priority)
{
    const Step step = request.step;
    m_queued.insert(key, m_queue.emplace(Order(step, -priority, m_sequence++), std::move(request)).first);
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
        QString key;
        int priority = 0;
        {
            const QMutexLocker lock(&m_mutex);
            if (m_stopping || m_queue.empty()) {
                --m_running;
                return;
            }
            priority = -std::get<1>(m_queue.begin()->first);
            request = std::move(m_queue.begin()->second);
            m_queue.erase(m_queue.begin());
            key = keyOf(request.path, request.bucket);
            m_queued.remove(key);
            m_inFlight.insert(key);
        }
        if (request.step == Step::Quick && takeQuickStep(key, request, priority))
            continue;
        // The quick step has looked in the cache already.
        ThumbnailCache::Result result = m_cache.make(request.path, request.bucket);
        if (!result.image.isNull())
            result.image = toStoredOrientation(result.image, storedOrientation(request.path));
        QMetaObject::invokeMethod(
            this,
            [this, path = request.path, bucket = request.bucket, image = std::move(result.image),
             failed = result.failed] { deliver(path, bucket, image, failed); },
            Qt::QueuedConnection);
    }
}

bool ThumbnailLoader::takeQuickStep(const QString &key, const Request &request, int priority)
{
    if (QImage cached = m_cache.lookup(request.path, request.bucket); !cached.isNull()) {
        cached = toStoredOrientation(cached, storedOrientation(request.path));
        QMetaObject::invokeMethod(
            this,
            [this, path = request.path, bucket = request.bucket, image = std::move(cached)] {
                deliver(path, bucket, image, false);
            },
            Qt::QueuedConnection);
        return true;
    }
    if (m_cache.hasFailure(request.path)) {
        QMetaObject::invokeMethod(
            this, [this, path = request.path, bucket = request.bucket] { deliver(path, bucket, {}, true); },
            Qt::QueuedConnection);
        return true;
    }
    QImage rough = cameraThumbnail(request.path);
    if (rough.isNull())
        return false;
    {
        // Its making waits behind every quick step; a view that no longer
        // shows the picture cancels it like any other request.
        const QMutexLocker lock(&m_mutex);
        m_inFlight.remove(key);
        if (!m_stopping)
            queue(key, Request{request.path, request.bucket, Step::Making}, priority);
    }
    QMetaObject::invokeMethod(
        this,
        [this, path = request.path, bucket = request.bucket, image = std::move(rough)] {
            deliver(path, bucket, image, false, true);
        },
        Qt::QueuedConnection);
    return true;
}

void ThumbnailLoader::deliver(const QString &path, int bucket, const QImage &image, bool failed, bool rough)
{
    const QString key = keyOf(path, bucket);
    if (rough) {
        // The picture's own thumbnail may have come first, from a request
        // queued again after a cancel.
        if (m_memory.contains(key) && !m_rough.contains(key))
            return;
        m_rough.insert(key);
    } else {
        const QMutexLocker lock(&m_mutex);
        m_inFlight.remove(key);
        m_rough.remove(key);
    }
    if (failed) {
        m_memory.remove(key);
        m_failed.insert(path);
        Q_EMIT thumbnailFailed(path);
        return;
    }
    m_memory.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    Q_EMIT thumbnailReady(path, bucket);
}

} // namespace tarnwick
