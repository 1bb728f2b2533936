#pragma once

#include "export/bookexport.h"

#include <QObject>

#include <memory>
#include <optional>

namespace tarnwick {

class WorkQueue;

// Runs one BookExport on the session's queue: its pictures as jobs of their
// own, then the document and the rename (or, after a failure or a cancel,
// the clean-up) as a last job. The owner's thread only counts results, so a
// window stays responsive. A failure stops the pictures not yet started.
class ExportTask : public QObject
{
    Q_OBJECT

public:
    ExportTask(std::unique_ptr<BookExport> run, WorkQueue &queue, QObject *parent = nullptr);
    ~ExportTask() override;

    // Checks the target and queues the jobs; finished() follows, also when
    // the target is refused at once.
    void start();
    // Stops the export; finished() follows once the running jobs have stopped.
    void cancel();

    bool isFinished() const { return m_finished; }
    // Nothing after a finished export; else why it stopped.
    const std::optional<ExportFailure> &failure() const { return m_failure; }
    QString target() const;

    // Runs the whole export on the calling thread's queue and waits for it;
    // for a command without an event loop.
    static std::optional<ExportFailure> runAndWait(std::unique_ptr<BookExport> run, WorkQueue &queue,
                                                   const std::function<void(qsizetype, qsizetype)> &progress = {});

Q_SIGNALS:
    void progressed(qsizetype done, qsizetype total);
    void finished();

private:
    struct State;
    void pictureDone();
    void conclude();

    std::shared_ptr<State> m_state;
    WorkQueue &m_queue;
    qsizetype m_done = 0;
    bool m_finished = false;
    std::optional<ExportFailure> m_failure;
};

} // namespace tarnwick
