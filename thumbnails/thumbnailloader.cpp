#include "thumbnails/thumbnailloader.h"

#include "imaging/camerathumbnail.h"
#include "imaging/thumbnailmaker.h"

#include <algorithm>

namespace tarnwick {

namespace {

QString keyOf(const QString &path, int bucket)
{
    return QString::number(ThumbnailCache::bucketFor(bucket)) + u'|' + path;
}

} // namespace

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, qsizetype memoryBound, WorkQueue &queue, QObject *parent)
    : QObject(parent)
    , m_cache(std::move(cache))
    , m_queue(&queue)
    , m_memory(memoryBound)
{
}

ThumbnailLoader::~ThumbnailLoader()
{
    if (m_queue)
        m_queue->cancelContext(this);
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

int ThumbnailLoader::queuePriority(Step step, int priority)
{
    // Views give priorities of a few thousand at most.
    constexpr int kQuickFirst = 1 << 24;
    const int bounded = std::clamp(priority, -kQuickFirst / 2, kQuickFirst / 2);
    return step == Step::Quick ? bounded + kQuickFirst : bounded;
}

void ThumbnailLoader::request(const QString &path, int bucket, int priority)
{
    const QString key = keyOf(path, bucket);
    const bool inMemory = m_memory.contains(key);
    if (!inMemory)
        m_rough.remove(key);
    if ((inMemory && !m_rough.contains(key)) || m_failed.contains(path))
        return;
    if (const auto pending = m_pending.find(key); pending != m_pending.end()) {
        // A queued request takes the new priority, keeping its step; one
        // being made arrives as it is.
        const Step step = inMemory ? Step::Making : Step::Quick;
        if (m_queue && m_queue->setPriority(pending->job, queuePriority(step, priority)))
            pending->priority = priority;
        return;
    }
    // A rough thumbnail needs only the making.
    post(key, path, bucket, inMemory ? Step::Making : Step::Quick, priority);
}

void ThumbnailLoader::post(const QString &key, const QString &path, int bucket, Step step, int priority)
{
    if (!m_queue)
        return;
    const int stored = ThumbnailCache::bucketFor(bucket);
    const WorkQueue::JobId job = m_queue->post(
        this,
        [this, cache = m_cache, key, path, stored, step,
         sequence = ++m_sequence](const std::atomic_bool &cancelled) -> WorkQueue::Delivery {
            if (cancelled)
                return {};
            return [this, key, path, stored, sequence, found = runStep(cache, path, stored, step)] {
                deliver(key, path, stored, sequence, found);
            };
        },
        queuePriority(step, priority));
    m_pending.insert(key, {job, priority});
}

ThumbnailLoader::Found ThumbnailLoader::runStep(const ThumbnailCache &cache, const QString &path, int bucket,
                                                Step step)
{
    Found found;
    if (step == Step::Quick) {
        if (QImage cached = cache.lookup(path, bucket); !cached.isNull()) {
            found.image = toStoredOrientation(cached, storedOrientation(path));
            return found;
        }
        if (cache.hasFailure(path)) {
            found.failed = true;
            return found;
        }
        // Its making then waits behind every quick step.
        if (QImage rough = cameraThumbnail(path); !rough.isNull()) {
            found.image = std::move(rough);
            found.rough = true;
            return found;
        }
    }
    // The quick step has looked in the cache already.
    ThumbnailCache::Result result = cache.make(path, bucket);
    found.failed = result.failed;
    if (!result.image.isNull())
        found.image = toStoredOrientation(result.image, storedOrientation(path));
    return found;
}

void ThumbnailLoader::cancel(const QString &path, int bucket)
{
    const auto pending = m_pending.constFind(keyOf(path, bucket));
    if (pending == m_pending.cend() || !m_queue || !m_queue->isQueued(pending->job))
        return;
    m_queue->cancel(pending->job);
    m_pending.erase(pending);
}

void ThumbnailLoader::cancelAll()
{
    if (!m_queue)
        return;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (m_queue->isQueued(it->job)) {
            m_queue->cancel(it->job);
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
}

int ThumbnailLoader::queuedCount() const
{
    return m_queue ? m_queue->queuedCount(this) : 0;
}

void ThumbnailLoader::forget(const QString &path)
{
    for (const int bucket : {128, 256, 512, 1024}) {
        const QString key = keyOf(path, bucket);
        if (const auto pending = m_pending.constFind(key); pending != m_pending.cend()) {
            if (m_queue && m_queue->isQueued(pending->job))
                m_queue->cancel(pending->job);
            else
                m_forgotten.insert(path, m_sequence); // being made of the old picture
            m_pending.erase(pending);
        }
        m_memory.remove(key);
        m_rough.remove(key);
    }
    if (m_failed.remove(path))
        m_failureOrder.removeOne(path);
}

void ThumbnailLoader::deliver(const QString &key, const QString &path, int bucket, quint64 sequence,
                              const Found &found)
{
    if (const auto forgotten = m_forgotten.find(path); forgotten != m_forgotten.end()) {
        if (sequence <= *forgotten)
            return;
        m_forgotten.erase(forgotten);
    }
    const int priority = m_pending.value(key).priority;
    m_pending.remove(key);
    if (found.rough) {
        // The picture's own thumbnail may have come first, from a request
        // queued again after a cancel.
        if (m_memory.contains(key) && !m_rough.contains(key))
            return;
        m_rough.insert(key);
        // A view that no longer shows the picture cancels its making like
        // any other request.
        post(key, path, bucket, Step::Making, priority);
    } else {
        m_rough.remove(key);
    }
    if (found.failed) {
        m_memory.remove(key);
        rememberFailure(path);
        Q_EMIT thumbnailFailed(path);
        return;
    }
    m_memory.insert(key, new QImage(found.image), std::max<qsizetype>(1, found.image.sizeInBytes()));
    // Rough keys whose thumbnails left memory are forgotten with them.
    if (m_rough.size() > 2 * m_memory.count() + 64) {
        for (auto it = m_rough.begin(); it != m_rough.end();)
            it = m_memory.contains(*it) ? std::next(it) : m_rough.erase(it);
    }
    Q_EMIT thumbnailReady(path, bucket);
}

void ThumbnailLoader::rememberFailure(const QString &path)
{
    if (m_failed.contains(path))
        return;
    m_failed.insert(path);
    m_failureOrder.append(path);
    if (m_failureOrder.size() > kMostFailures)
        m_failed.remove(m_failureOrder.takeFirst());
}

} // namespace tarnwick
