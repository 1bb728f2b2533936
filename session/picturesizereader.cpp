#include "session/picturesizereader.h"

#include "list/picturelist.h"
#include "queue/workqueue.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// Pictures a worker takes at a time and hands back in one queued call: small
// enough that the list's thread applies a batch well within a frame, large
// enough that 32,767 pictures are not 32,767 events.
constexpr size_t kBatch = 32;

} // namespace

PictureSizeReader::PictureSizeReader(PictureList &list, WorkQueue &queue, QObject *parent)
    : PictureSizeReader(list, queue, HeaderReader(), parent)
{
}

PictureSizeReader::PictureSizeReader(PictureList &list, WorkQueue &queue, HeaderReader readHeader, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_queue(queue)
    , m_readHeader(std::move(readHeader))
{
}

PictureSizeReader::~PictureSizeReader()
{
    m_queue.cancelContext(this);
}

void PictureSizeReader::readAll()
{
    m_queue.cancelContext(this);
    ++m_run;
    const QStringList &names = m_list.names();
    m_total = names.size();
    m_done = 0;
    m_reading = !names.isEmpty();
    post(names);
    if (!m_reading)
        Q_EMIT finished();
}

void PictureSizeReader::readNames(const QStringList &names)
{
    if (names.isEmpty())
        return;
    if (!m_reading) {
        ++m_run;
        m_total = 0;
        m_done = 0;
        m_reading = true;
    }
    m_total += names.size();
    post(names);
}

void PictureSizeReader::post(const QStringList &names)
{
    const QString folder = m_list.folder();
    std::vector<Job> batch;
    const auto post = [&] {
        m_queue.post(this, [this, run = m_run, folder, batch = std::move(batch), read = m_readHeader](
                               const std::atomic_bool &cancelled) -> WorkQueue::Delivery {
            if (cancelled)
                return {};
            return [this, run, folder, results = readBatch(folder, batch, read)] { deliver(run, folder, results); };
        });
        batch.clear();
    };
    for (const QString &name : names) {
        Job job{name, {}, {}, false};
        if (const PictureFacts *known = m_list.findFacts(name)) {
            job.byteSize = known->byteSize;
            job.modified = known->modified;
            job.sizeKnown = known->pixelSize || !known->sizeReason.isEmpty();
        }
        batch.push_back(std::move(job));
        if (batch.size() == kBatch)
            post();
    }
    if (!batch.empty())
        post();
}

void PictureSizeReader::stop()
{
    m_queue.cancelContext(this);
    ++m_run;
    if (!m_reading)
        return;
    m_reading = false;
    Q_EMIT stopped();
}

std::vector<PictureSizeReader::Result> PictureSizeReader::readBatch(const QString &folder,
                                                                     const std::vector<Job> &batch,
                                                                     const HeaderReader &readHeader)
{
    // Names are opened relative to the folder, looked up once a batch.
    const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<Result> results;
    results.reserve(batch.size());
    for (const Job &job : batch) {
        Result result;
        result.name = job.name;
        const QByteArray name = QFile::encodeName(folderFd >= 0 ? job.name : folder + job.name);
        const int base = folderFd >= 0 ? folderFd : AT_FDCWD;
        std::optional<PictureHeader::Stamp> stamp;
        // A known picture is only looked at; a new one is opened once for
        // its stamp and its header together.
        if (job.sizeKnown || readHeader) {
            struct stat info {};
            if (::fstatat(base, name.constData(), &info, 0) == 0) {
                const qint64 ms = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
                stamp = PictureHeader::Stamp{qint64(info.st_size), QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)};
            }
            result.unchanged = job.sizeKnown && stamp && stamp->byteSize == job.byteSize
                && stamp->modified == job.modified;
        }
        if (!result.unchanged) {
            if (readHeader)
                result.header = readHeader(folder + job.name);
            else
                result.header = PictureHeader::readFileAt(base, name, PictureHeader::Reading::PageFacts, &stamp);
        }
        if (stamp) {
            result.byteSize = stamp->byteSize;
            result.modified = stamp->modified;
        }
        results.push_back(std::move(result));
    }
    if (folderFd >= 0)
        ::close(folderFd);
    return results;
}

void PictureSizeReader::deliver(quint64 run, const QString &folder, const std::vector<Result> &results)
{
    // What was read in a folder listed before is no fact of this listing.
    if (folder == m_list.folder()) {
        std::vector<std::pair<QString, PictureFacts>> batch;
        batch.reserve(results.size());
        for (const Result &result : results) {
            if (result.unchanged)
                continue;
            PictureFacts facts;
            facts.byteSize = result.byteSize;
            facts.modified = result.modified;
            facts.pixelSize = result.header.size();
            facts.sizeReason = result.header.reason();
            // A listed picture gone from the folder is not an unreadable one.
            facts.problem = result.byteSize ? pageProblem(result.header)
                                            : std::optional(PageProblem{PageProblem::Kind::NotFound, 1});
            batch.emplace_back(result.name, std::move(facts));
        }
        m_list.setFacts(std::move(batch));
    }
    if (run != m_run || !m_reading)
        return;
    m_done += qsizetype(results.size());
    Q_EMIT progressed(m_done, m_total);
    if (m_done < m_total)
        return;
    m_reading = false;
    Q_EMIT finished();
}

} // namespace tarnwick
