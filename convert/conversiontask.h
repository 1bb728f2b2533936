#pragma once

#include "convert/pictureconversion.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace tarnwick {

class WorkQueue;

// Makes the JPEG copies of a folder's pictures on the session's queue, one
// job a picture; the owner's thread only counts results, so a window stays
// responsive. A cancel stops the pictures not yet put in place and keeps
// those that are. A picture whose decoder does not come back from a hostile
// file in time fails alone: its worker is left to it and its copy, should
// it ever be made, is not put in place; after a cancel such a decoder is
// waited for kCancelWait at most.
class ConversionTask : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kCancelWait{2000};
    // Far more than any real picture needs: a 100-megapixel HEIC decodes in seconds.
    static constexpr std::chrono::milliseconds kMostTimePerPicture{120000};

    // folder ends in "/"; background is the colour what is transparent is laid onto.
    ConversionTask(const QString &folder, std::vector<ConversionItem> items, quint32 background, WorkQueue &queue,
                   QObject *parent = nullptr, std::chrono::milliseconds mostTime = kMostTimePerPicture);
    ~ConversionTask() override;

    // Queues the jobs; finished() follows, also for no pictures at all.
    void start();
    void cancel();

    bool isFinished() const { return m_finished; }
    const std::vector<ConversionItem> &items() const { return m_items; }
    // One a picture, in the order of items(); Cancelled until it is done.
    const std::vector<ConversionResult> &results() const { return m_results; }
    // The copies written, in the order of items().
    QStringList written() const;

    // Runs a whole conversion on the calling thread's queue and waits for
    // it, the thread's events running; for a command. done is called for
    // each picture as its result arrives.
    static std::vector<ConversionResult> runAndWait(const QString &folder, const std::vector<ConversionItem> &items,
                                                    quint32 background, WorkQueue &queue,
                                                    const std::function<void(size_t index)> &done = {});

Q_SIGNALS:
    void pictureDone(size_t index);
    void progressed(qsizetype done, qsizetype total);
    void finished();

private:
    struct Shared;
    void delivered(size_t index, ConversionResult result);
    void finish();
    // Fails the pictures whose decoder has run longer than m_mostTime.
    void watch();

    QString m_folder;
    std::vector<ConversionItem> m_items;
    std::vector<ConversionResult> m_results;
    std::vector<bool> m_delivered;
    quint32 m_background = 0;
    WorkQueue &m_queue;
    std::chrono::milliseconds m_mostTime;
    // Shared with the jobs, which may outlive the task.
    std::shared_ptr<Shared> m_shared;
    QTimer *m_watch = nullptr;
    qsizetype m_done = 0;
    bool m_cancelled = false;
    bool m_finished = false;
};

} // namespace tarnwick
