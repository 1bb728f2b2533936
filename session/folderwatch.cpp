#include "session/folderwatch.h"

#include "queue/workqueue.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace tarnwick {

namespace {

// The reading goes before the thumbnails and sizes queued meanwhile: what it
// finds is shown at once, and it is one job.
constexpr int kReadingPriority = 1 << 28;

// A file written this recently may still be being written.
constexpr qint64 kFreshNs = 2'000'000'000;

struct Reading
{
    bool readable = false;
    PictureStamps stamps;
    FolderChange change;
    QSet<QString> missing;
    bool fresh = false;
};

// full: a stat per picture; else only the pictures new, replaced or written lately.
Reading readFolder(const QString &folder, const PictureStamps &before, bool compare, bool full,
                   const QStringList &listed, const QSet<QString> &wasMissing)
{
    Reading reading;
    const qint64 freshFrom = QDateTime::currentMSecsSinceEpoch() * 1'000'000 - kFreshNs;
    std::optional<PictureStamps> now =
        stampPictures(folder, nullptr, full || !compare ? nullptr : &before, freshFrom);
    const QSet<QString> listedSet(listed.cbegin(), listed.cend());
    reading.readable = now.has_value();
    if (!now) {
        // Everything listed is gone with the folder; what was read stays
        // known, so that the folder coming back adds nothing.
        reading.stamps = before;
        reading.missing = listedSet;
    } else {
        reading.stamps = std::move(*now);
        for (auto it = reading.stamps.cbegin(); it != reading.stamps.cend(); ++it) {
            reading.fresh = reading.fresh || it->modifiedNs >= freshFrom;
            if (!compare)
                continue;
            const auto was = before.constFind(it.key());
            const bool listedName = listedSet.contains(it.key());
            if (was == before.cend()) {
                if (!listedName)
                    reading.change.added.append(it.key());
                else if (!wasMissing.contains(it.key()))
                    reading.change.changed.append(it.key()); // placed before it was read
            } else if (listedName && was->size >= 0 && *was != *it) {
                reading.change.changed.append(it.key());
            }
        }
        for (const QString &name : listedSet)
            if (!reading.stamps.contains(name))
                reading.missing.insert(name);
    }
    for (const QString &name : reading.missing)
        if (!wasMissing.contains(name))
            reading.change.missing.append(name);
    for (const QString &name : wasMissing)
        if (!reading.missing.contains(name) && listedSet.contains(name))
            reading.change.present.append(name);
    sortPictureNames(reading.change.added);
    return reading;
}

} // namespace

FolderWatch::FolderWatch(WorkQueue &queue, QObject *parent)
    : QObject(parent)
    , m_queue(queue)
{
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, [this] { startReading(false); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatch::gather);
}

FolderWatch::~FolderWatch()
{
    m_queue.cancelContext(this);
}

void FolderWatch::watch(const QString &folder, const std::optional<QStringList> &known)
{
    stop();
    m_folder = folder;
    if (folder.isEmpty())
        return;
    // The system's path has no "/" at its end; the root is "/" itself.
    const QString path = folder.size() > 1 && folder.endsWith(u'/') ? folder.chopped(1) : folder;
    m_watcher.addPath(path);
    if (known) {
        m_stamps.reserve(known->size());
        for (const QString &name : *known)
            m_stamps.insert(name, PictureStamp{});
    }
    m_haveStamps = known.has_value();
    startReading(true);
}

void FolderWatch::stop()
{
    m_queue.cancelContext(this);
    ++m_generation;
    m_reading = false;
    m_readAgain = false;
    m_fullAgain = false;
    m_gather.stop();
    if (const QStringList watched = m_watcher.directories(); !watched.isEmpty())
        m_watcher.removePaths(watched);
    m_folder.clear();
    m_stamps.clear();
    m_haveStamps = false;
    m_missing.clear();
}

void FolderWatch::readNow()
{
    m_gather.stop();
    startReading(true);
}

void FolderWatch::gather()
{
    // Each event puts the reading off by a second, but never more than three
    // after the first: a folder that is written for minutes is still shown.
    if (!m_gather.isActive())
        m_firstEvent.start();
    const qint64 left = kMostGatherMs - m_firstEvent.elapsed();
    if (left > 0)
        m_gather.start(int(std::min<qint64>(kGatherMs, left)));
}

void FolderWatch::startReading(bool full)
{
    if (m_folder.isEmpty())
        return;
    if (m_reading) {
        m_readAgain = true;
        m_fullAgain = m_fullAgain || full;
        return;
    }
    m_reading = true;
    // A folder deleted and made again is watched again.
    if (m_watcher.directories().isEmpty() && QFileInfo(m_folder).isDir())
        m_watcher.addPath(m_folder.size() > 1 ? m_folder.chopped(1) : m_folder);
    const QStringList listed = m_listed ? m_listed() : QStringList();
    m_queue.post(this, [this, generation = m_generation, folder = m_folder, before = m_stamps,
                        compare = m_haveStamps, full, listed, missing = m_missing](
                           const std::atomic_bool &cancelled) -> WorkQueue::Delivery {
        if (cancelled)
            return {};
        return [this, generation, reading = readFolder(folder, before, compare, full, listed, missing)]() mutable {
            if (generation != m_generation)
                return;
            m_reading = false;
            m_stamps = std::move(reading.stamps);
            m_haveStamps = true;
            m_missing = std::move(reading.missing);
            const FolderChange &change = reading.change;
            if (!change.added.isEmpty() || !change.changed.isEmpty() || !change.missing.isEmpty()
                || !change.present.isEmpty())
                Q_EMIT changed(change);
            Q_EMIT read();
            if (std::exchange(m_readAgain, false))
                startReading(std::exchange(m_fullAgain, false));
            else if (reading.fresh && !m_gather.isActive())
                gather();
        };
    }, kReadingPriority);
}

} // namespace tarnwick
