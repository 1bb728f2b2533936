#pragma once

#include "convert/pictureconversion.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tarnwick {

class WorkQueue;

// Makes the JPEG copies of a folder's pictures on the session's queue, one
// job a picture; the owner's thread only counts results, so a window stays
// responsive. A cancel stops the pictures not yet put in place and keeps
// those that are; a decoder that does not come back from a hostile file
// within kCancelWait of a cancel is left behind, its picture cancelled.
class ConversionTask : public QObject
{
    Q_OBJECT

public:
    // folder ends in "/"; background is the colour what is transparent is laid onto.
    ConversionTask(const QString &folder, std::vector<ConversionItem> items, quint32 background, WorkQueue &queue,
                   QObject *parent = nullptr);
    ~ConversionTask() override;

    static constexpr std::chrono::milliseconds kCancelWait{2000};

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
    // it; for a command without an event loop. done is called for each
    // picture as its result arrives.
    static std::vector<ConversionResult> runAndWait(const QString &folder, const std::vector<ConversionItem> &items,
                                                    quint32 background, WorkQueue &queue,
                                                    const std::function<void(size_t index)> &done = {});

Q_SIGNALS:
    void pictureDone(size_t index);
    void progressed(qsizetype done, qsizetype total);
    void finished();

private:
    void delivered(size_t index, ConversionResult result);
    void finish();

    QString m_folder;
    std::vector<ConversionItem> m_items;
    std::vector<ConversionResult> m_results;
    quint32 m_background = 0;
    WorkQueue &m_queue;
    // Shared with the jobs, which may outlive the task.
    std::shared_ptr<std::atomic_bool> m_stop = std::make_shared<std::atomic_bool>(false);
    qsizetype m_done = 0;
    bool m_finished = false;
};

} // namespace tarnwick
