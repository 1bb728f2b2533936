#pragma once

#include "pictures/thumbnailcache.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <map>
#include <tuple>
#include <utility>

namespace tarnwick {

// Thumbnails for a view of many pictures, made off the window's thread. A view
// asks for the thumbnails it shows with a priority (higher first), cancels
// what scrolled away before its turn, and is told on its own thread when a
// thumbnail is ready. A bounded pool of low-priority workers reads the shared
// cache or makes and stores new thumbnails; the thumbnails in memory are
// bounded in bytes, the least recently used going first.
//
// Thumbnails come in the picture's stored orientation, as the book and the
// preview show it (the cache holds them upright). Requests made during one
// turn of the event loop are sorted by priority before any of them starts.
//
// Decoding a photo of 12 megapixels takes tens of milliseconds however small
// the thumbnail, so a photo with a camera thumbnail in its EXIF block gets
// that one first, as a rough thumbnail (shown, never stored), and its own
// later: every request's quick step (the cache, the camera's thumbnail) runs
// before any picture is decoded.
class ThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    // memoryBound in bytes must hold one thumbnail of the largest size asked
    // for (4 MiB for 1024), or a thumbnail arrives and is dropped at once.
    ThumbnailLoader(ThumbnailCache cache, qsizetype memoryBound, int workers = defaultWorkerCount(),
                    QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    // Every core but never more than four: each worker decodes whole
    // pictures, which pays on two cores, while the window's thread mostly
    // waits.
    static int defaultWorkerCount();

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

    qsizetype memoryUsed() const { return m_memory.totalCost(); }
    qsizetype memoryBound() const { return m_memory.maxCost(); }
    int queuedCount() const;

Q_SIGNALS:
    // A thumbnail is in memory: a rough one, or the picture's own.
    void thumbnailReady(const QString &path, int bucket);
    void thumbnailFailed(const QString &path);

private:
    // A request's quick step looks for a thumbnail that is already made;
    // its making step decodes the picture.
    enum class Step { Quick, Making };
    struct Request
    {
        QString path;
        int bucket = 0;
        Step step = Step::Quick;
    };
    // Quick steps first, then the highest priority, then the order of asking.
    using Order = std::tuple<Step, int, quint64>;
    using Queue = std::map<Order, Request>;

    void startWorkers();
    void work();
    void queue(const QString &key, Request request, int priority);
    // Looks for a made thumbnail; true when the request is done with.
    bool takeQuickStep(const QString &key, const Request &request, int priority);
    void deliver(const QString &path, int bucket, const QImage &image, bool failed, bool rough = false);

    const ThumbnailCache m_cache;
    const int m_workerCount;
    QThreadPool m_pool;
    QCache<QString, QImage> m_memory;
    QSet<QString> m_failed;
    // Keys in m_memory whose thumbnail is rough (and perhaps evicted).
    QSet<QString> m_rough;

    // Shared with the workers, under m_mutex.
    mutable QMutex m_mutex;
    Queue m_queue;
    QHash<QString, Queue::iterator> m_queued;
    QSet<QString> m_inFlight;
    quint64 m_sequence = 0;
    int m_running = 0;
    bool m_startPosted = false;
    bool m_stopping = false;
};

} // namespace tarnwick
