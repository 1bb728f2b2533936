#pragma once

#include "facts/pictureheader.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

class PictureList;
class WorkQueue;

// Fills a PictureList's facts with the pixel size of every listed picture,
// read from the headers by the jobs of a background queue, never on the
// list's own thread. A picture is read once; asked again, a worker only
// compares the file's byte size and modification time with the known facts
// and reads the header again when either differs. The results come back to
// the list's thread in small batches as queued calls and go in through
// PictureList::setFacts, so every view learns of them by factsChanged.
class PictureSizeReader : public QObject
{
    Q_OBJECT

public:
    // What reads one picture's header, for the tests, which hand in a slower
    // one; without one each picture is opened once, relative to its folder.
    using HeaderReader = std::function<PictureHeader(const QString &path)>;

    PictureSizeReader(PictureList &list, WorkQueue &queue, QObject *parent = nullptr);
    PictureSizeReader(PictureList &list, WorkQueue &queue, HeaderReader readHeader, QObject *parent = nullptr);
    ~PictureSizeReader() override;

    // Makes sure of the size of every picture listed now. A run under way
    // gives way to the new one; what it already read is kept. With nothing
    // listed the run is finished at once.
    void readAll();
    // Makes sure of the size of these listed pictures too: they join the run
    // under way, or make one of their own.
    void readNames(const QStringList &names);
    // Drops the run under way; what was read so far is kept.
    void stop();

    // Whether each picture's byte size and modification time are taken as
    // it is read (the default): what a later run compares, and what the
    // window shows. A one-off run without either saves a stat per picture.
    void setStamping(bool stamping) { m_stamping = stamping; }

    bool isReading() const { return m_reading; }
    // The pictures of the current run, and how many of them are known.
    qsizetype total() const { return m_total; }
    qsizetype done() const { return m_done; }

Q_SIGNALS:
    void progressed(qsizetype done, qsizetype total);
    // Every picture of the run has current facts.
    void finished();
    // The run was dropped before it finished.
    void stopped();

private:
    // One listed picture and what the list knew of it when the run began.
    struct Job
    {
        QString name;
        std::optional<qint64> byteSize;
        QDateTime modified;
        bool sizeKnown = false;
    };
    struct Result
    {
        QString name;
        // The file is there: its stat succeeded, or it was read, or its open
        // failed for another reason than its absence.
        bool found = false;
        bool unchanged = false;
        std::optional<qint64> byteSize;
        QDateTime modified;
        PictureHeader header;
    };

    // Reads one batch on a worker; thread-safe.
    static std::vector<Result> readBatch(const QString &folder, std::vector<Job> batch,
                                         const HeaderReader &readHeader, bool stamping);
    void deliver(quint64 run, const QString &folder, std::vector<Result> results);
    // Posts the jobs of the run under way for these names.
    void post(const QStringList &names);

    PictureList &m_list;
    WorkQueue &m_queue;
    const HeaderReader m_readHeader;

    bool m_stamping = true;
    bool m_reading = false;
    qsizetype m_total = 0;
    qsizetype m_done = 0;
    quint64 m_run = 0;
};

} // namespace tarnwick
