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
constexpr size_t kBatch = 64;

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
        // The names move from job to result to the list: a worker never
        // counts a reference of a string the list's thread also holds.
        m_queue.post(this, [this, run = m_run, folder, batch = std::move(batch), read = m_readHeader,
                            stamping = m_stamping](const std::atomic_bool &cancelled) mutable -> WorkQueue::Delivery {
            if (cancelled)
                return {};
            return [this, run, folder, results = readBatch(folder, std::move(batch), read, stamping)]() mutable {
                deliver(run, folder, std::move(results));
            };
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
                                                                     std::vector<Job> batch,
                                                                     const HeaderReader &readHeader,
                                                                     bool stamping)
{
    // Names are opened relative to the folder, looked up once a batch.
    const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int base = folderFd >= 0 ? folderFd : AT_FDCWD;
    std::vector<Result> results(batch.size());
    // The ordinary files whose headers are read together at the end.
    std::vector<size_t> unread;
    std::vector<QByteArray> unreadNames;
    std::vector<qint64> unreadSizes;
    for (size_t i = 0; i < batch.size(); ++i) {
        Job &job = batch[i];
        Result &result = results[i];
        result.name = std::move(job.name);
        QByteArray name = QFile::encodeName(folderFd >= 0 ? result.name : folder + result.name);
        if (!stamping && !readHeader) {
            unread.push_back(i);
            unreadNames.push_back(std::move(name));
            unreadSizes.push_back(-1);
            continue;
        }
        // The stamp is taken before the file is read: a file changed in
        // between then looks changed to the next run, which reads it again.
        struct stat info {};
        if (::fstatat(base, name.constData(), &info, 0) == 0) {
            result.found = true;
            const qint64 ms = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
            // UTC: a local time would look up the time zone, under a lock, for each file.
            result.byteSize = qint64(info.st_size);
            result.modified = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
            result.unchanged = job.sizeKnown && result.byteSize == job.byteSize && result.modified == job.modified;
        }
        if (result.unchanged)
            continue;
        if (readHeader) {
            result.header = readHeader(folder + result.name);
        } else if (!result.found || S_ISREG(info.st_mode)) {
            // Without a stat the reading tells whether the file is gone.
            unread.push_back(i);
            unreadNames.push_back(std::move(name));
            unreadSizes.push_back(result.found ? qint64(info.st_size) : -1);
        } else {
            // No ordinary file: reading it on its own says what it is.
            result.header = PictureHeader::readFileAt(base, name);
        }
    }
    std::vector<bool> present;
    std::vector<PictureHeader> headers = PictureHeader::readFilesAt(base, unreadNames, unreadSizes,
                                                                    PictureHeader::Reading::PageFacts, &present);
    for (size_t i = 0; i < unread.size(); ++i) {
        Result &result = results[unread[i]];
        result.header = std::move(headers[i]);
        result.found = result.found || present[i];
    }
    if (folderFd >= 0)
        ::close(folderFd);
    return results;
}

void PictureSizeReader::deliver(quint64 run, const QString &folder, std::vector<Result> results)
{
    // What was read in a folder listed before is no fact of this listing.
    if (folder == m_list.folder()) {
        std::vector<std::pair<QString, PictureFacts>> batch;
        batch.reserve(results.size());
        for (Result &result : results) {
            if (result.unchanged)
                continue;
            PictureFacts facts;
            facts.byteSize = result.byteSize;
            facts.modified = result.modified;
            facts.pixelSize = result.header.size();
            facts.sizeReason = result.header.reason();
            // A listed picture gone from the folder is not an unreadable one.
            facts.problem = result.found ? pageProblem(result.header)
                                            : std::optional(PageProblem{PageProblem::Kind::NotFound, 1});
            batch.emplace_back(std::move(result.name), std::move(facts));
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
