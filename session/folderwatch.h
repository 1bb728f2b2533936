#pragma once

#include "facts/picturefolder.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

namespace tarnwick {

class WorkQueue;

// What a reading of a watched folder found since the one before.
struct FolderChange
{
    QStringList added;   // pictures new to the folder and not listed, in name order
    QStringList changed; // listed pictures whose file is another or was written
    QStringList missing; // listed pictures the folder no longer holds
    QStringList present; // listed pictures it holds again (they were missing)
};

// Watches the folder of a list for pictures added, removed and written. The
// system's change events are gathered for a second after the last one (three
// at most after the first), then the folder is read by a job of the queue,
// and compared with the reading before; the window's thread only receives the
// differences. The system reports files added, removed and renamed, not
// files written in place: a reading after its events looks only at the
// pictures new, replaced or written lately (a file written less than two
// seconds before may still be being written without further events: the
// folder is read once more a second later), while the first reading and one
// asked for (the window activated) stat every picture.
class FolderWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kGatherMs = 1000;
    static constexpr int kMostGatherMs = 3000;

    explicit FolderWatch(WorkQueue &queue, QObject *parent = nullptr);
    ~FolderWatch() override;

    // Watches folder (ending in "/"). With known, the pictures listed from
    // it a moment ago: the first reading finds those not among them as new.
    // Without, the first reading only learns what the folder holds.
    void watch(const QString &folder, const std::optional<QStringList> &known);
    void stop();
    QString folder() const { return m_folder; }
    // Neither reading nor gathering changes: what happens to the folder from
    // now on comes in one reading.
    bool isIdle() const { return !m_reading && !m_gather.isActive(); }

    // Reads the folder now with a stat per picture, as when the window is
    // activated: a network share reports no changes (nor does a watch the
    // system refused), and no system reports a picture rewritten in place.
    void readNow();
    // The listed pictures, to tell what is listed from what is only in the folder.
    using Listed = std::function<QStringList()>;
    void setListed(Listed listed) { m_listed = std::move(listed); }

Q_SIGNALS:
    void changed(const FolderChange &change);
    // A reading was compared, whether or not it found a change.
    void read();

private:
    void gather();
    // full: a stat per picture, which finds pictures rewritten in place;
    // else only the new, replaced and lately written pictures are looked at.
    void startReading(bool full);

    WorkQueue &m_queue;
    QFileSystemWatcher m_watcher;
    QTimer m_gather;
    QElapsedTimer m_firstEvent;
    QString m_folder;
    // The last reading; stamps of -1 size not read yet.
    PictureStamps m_stamps;
    bool m_haveStamps = false;
    // The names that the folder lacked at the last reading and that are listed.
    QSet<QString> m_missing;
    Listed m_listed;
    quint64 m_generation = 0;
    bool m_reading = false;
    bool m_readAgain = false;
    bool m_fullAgain = false;
};

} // namespace tarnwick
