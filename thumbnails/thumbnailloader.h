#pragma once

#include "thumbnails/thumbnailcache.h"
#include "queue/workqueue.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

namespace tarnwick {

// Thumbnails for a view of many pictures, made by the jobs of the background
// queue. A view asks for the thumbnails it shows with a priority (higher
// first), cancels what scrolled away before its turn, and is told on its own
// thread when a thumbnail is ready. Each job reads the shared cache or makes
// and stores a new thumbnail; the thumbnails in memory are bounded in bytes,
// the least recently used going first, and so is every set the loader keeps.
//
// Thumbnails come in the picture's stored orientation, as the book and the
// preview show it (the cache holds them upright).
//
// Decoding a photo of 12 megapixels takes tens of milliseconds however small
// the thumbnail, so a photo with a camera thumbnail in its EXIF block gets
// that one first, as a rough thumbnail (shown, never stored), and its own
// later: every request's quick step (the cache, the camera's thumbnail) goes
// before any picture is decoded.
class ThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    // memoryBound in bytes must hold one thumbnail of the largest size asked
    // for (4 MiB for 1024), or a thumbnail arrives and is dropped at once.
    ThumbnailLoader(ThumbnailCache cache, qsizetype memoryBound, WorkQueue &queue, QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    // The thumbnail when it is in memory (which makes it the most recently
    // used), else a null image. It may be a rough one.
    QImage thumbnail(const QString &path, int bucket);
    // Whether the thumbnail in memory is the camera's, its own still to come
    // (once requested).
    bool isRough(const QString &path, int bucket) const;
    bool hasFailed(const QString &path) const;

    // Queues a request, or gives a queued one the new priority. Nothing for
    // a thumbnail in memory (unless rough), one being made or a picture that
    // failed.
    void request(const QString &path, int bucket, int priority);
    // Drops a request that has not started; one being made still arrives.
    void cancel(const QString &path, int bucket);
    void cancelAll();
    // The picture was written: its thumbnails in memory, its failure and the
    // thumbnails being made of the old picture are forgotten.
    void forget(const QString &path);

    qsizetype memoryUsed() const { return m_memory.totalCost(); }
    qsizetype memoryBound() const { return m_memory.maxCost(); }
    int queuedCount() const;

    // Most pictures remembered as failed; the oldest are forgotten first.
    static constexpr qsizetype kMostFailures = 4096;

Q_SIGNALS:
    // A thumbnail is in memory: a rough one, or the picture's own.
    void thumbnailReady(const QString &path, int bucket);
    void thumbnailFailed(const QString &path);

private:
    // A request's quick step looks for a thumbnail that is already made;
    // its making step decodes the picture.
    enum class Step { Quick, Making };
    // What a job found.
    struct Found
    {
        QImage image;
        bool failed = false;
        bool rough = false;
    };
    struct Pending
    {
        WorkQueue::JobId job = 0;
        int priority = 0;
    };

    void post(const QString &key, const QString &path, int bucket, Step step, int priority);
    // sequence: when the job was posted, to drop what it made of a picture
    // forgotten since.
    // The queue's priority: every quick step before any making.
    static int queuePriority(Step step, int priority);
    static Found runStep(const ThumbnailCache &cache, const QString &path, int bucket, Step step);
    void deliver(const QString &key, const QString &path, int bucket, quint64 sequence, const Found &found);
    void rememberFailure(const QString &path);

    const ThumbnailCache m_cache;
    // The queue may go first when its owner is destroyed before the view's.
    QPointer<WorkQueue> m_queue;
    QCache<QString, QImage> m_memory;
    // Keys in m_memory whose thumbnail is rough; pruned to what m_memory holds.
    QSet<QString> m_rough;
    QSet<QString> m_failed;
    QList<QString> m_failureOrder;
    // Requests queued or being made, by key.
    QHash<QString, Pending> m_pending;
    quint64 m_sequence = 0;
    // The pictures forgotten while a job for them ran, and the last job posted then.
    QHash<QString, quint64> m_forgotten;
};

} // namespace tarnwick
