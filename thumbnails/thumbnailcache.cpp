#include "thumbnails/thumbnailcache.h"

#include "imaging/thumbnailmaker.h"

#include "book/regularfile.h"
#include "book/staletemporaries.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMutex>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <array>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr std::array<int, 4> kBuckets{128, 256, 512, 1024};

constexpr QFile::Permissions kPrivateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
// Qt maps a PNG quality of 0 to 100 onto zlib levels 9 to 0.
constexpr int kEntryQuality = 67;

constexpr char kTemporaryPrefix[] = ".tarnwick-";

const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");

QString failureFolderName()
{
    return QStringLiteral("fail/tarnwick-" TARNWICK_VERSION);
}

// What identifies the picture's present state in an entry.
struct Stamp
{
    QByteArray uri;
    qint64 mtime = 0;
    qint64 bytes = 0;
    bool exists = false;
};

Stamp stampOf(const QString &path)
{
    const QFileInfo info(path);
    Stamp stamp;
    stamp.uri = ThumbnailCache::uriOf(path);
    stamp.exists = info.exists();
    if (stamp.exists) {
        stamp.mtime = info.lastModified().toSecsSinceEpoch();
        stamp.bytes = info.size();
    }
    return stamp;
}

QString entryName(const QByteArray &uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
}

// A descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A cache folder another user could plant entries, links or FIFOs in is no
// cache of ours: it must be the user's own and writable by nobody else.
bool trustedFolder(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Makes every missing folder from the topmost one down, each private to the
// user; folders that are there keep their modes.
bool makePrivatePath(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath() || !makePrivatePath(parent))
        return false;
    return QDir().mkdir(info.absoluteFilePath(), kPrivateFolder) || QFileInfo(folder).isDir();
}

// Opens relative ("normal", "fail/tarnwick-1.0") below the cache's root, made
// 0700 where missing when create is set. The root may be a link (a cache moved
// to another disk); the folders below it are never followed when they are
// links. Not open when a folder is missing or not trusted.
void openCacheFolder(Descriptor &out, const QString &root, const QString &relative, bool create)
{
    out.reset();
    if (create && !makePrivatePath(root))
        return;
    Descriptor folder(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen() || !trustedFolder(folder.get()))
        return;
    for (const QString &part : relative.split(u'/')) {
        const QByteArray name = QFile::encodeName(part);
        if (create)
            ::mkdirat(folder.get(), name.constData(), 0700);
        folder.reset(::openat(folder.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.isOpen() || !trustedFolder(folder.get()))
            return;
    }
    out.reset(folder.release());
}

// Reads an entry and checks it against the picture. An entry whose header
// claims more than largestEdge pixels a side is refused before it is decoded.
// The text has to come from the read image: QImageReader::text garbles these
// keys.
QImage readValidEntry(const QString &root, const QString &relative, const QString &name, const Stamp &stamp,
                      int largestEdge)
{
    Descriptor folder;
    openCacheFolder(folder, root, relative, false);
    QFile file;
    if (!folder.isOpen() || openRegularFileAt(file, folder.get(), QFile::encodeName(name)))
        return {};
    QImageReader reader(&file, "png");
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.width() > largestEdge || claimed.height() > largestEdge)
        return {};
    QImage entry;
    if (!reader.read(&entry))
        return {};
    if (entry.text(kUriKey) != QString::fromLatin1(stamp.uri))
        return {};
    bool isNumber = false;
    const qint64 mtime = entry.text(kMTimeKey).toLongLong(&isNumber);
    if (!isNumber || mtime != stamp.mtime)
        return {};
    return entry;
}

bool isOurTemporary(QByteArrayView name)
{
    return name.startsWith(kTemporaryPrefix) && name.endsWith(".png");
}

// Once per folder and process, the temporary entries a killed run left.
void removeStaleEntriesOnce(int folder, const QString &path)
{
    static QMutex mutex;
    static QSet<QString> cleaned;
    {
        const QMutexLocker locker(&mutex);
        if (cleaned.contains(path))
            return;
        cleaned.insert(path);
    }
    removeStaleTemporaries(folder, isOurTemporary);
}

// Written to a temporary file beside the entry (private from the start) and
// renamed over it, so a reader never sees half an entry. No QSaveFile: its
// sync to disk costs tens of milliseconds per entry, and a cache entry lost
// in a crash is only made again.
bool writeEntry(const QString &root, const QString &relative, const QString &name, const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // zlib's level 3: a fifth of the default's time on a photo's thumbnail,
    // for about a tenth more bytes.
    writer.setQuality(kEntryQuality);
    if (!writer.write(image))
        return false;
    Descriptor folder;
    openCacheFolder(folder, root, relative, true);
    if (!folder.isOpen())
        return false;
    removeStaleEntriesOnce(folder.get(), root + u'/' + relative);
    const QByteArray temporary = kTemporaryPrefix
        + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".png";
    const int fd = ::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, png);
    if (::close(fd) != 0 || !written
        || ::renameat(folder.get(), temporary.constData(), folder.get(), QFile::encodeName(name).constData()) != 0) {
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return false;
    }
    return true;
}

void setStampText(QImage &image, const Stamp &stamp)
{
    image.setText(kUriKey, QString::fromLatin1(stamp.uri));
    image.setText(kMTimeKey, QString::number(stamp.mtime));
}

} // namespace

ThumbnailCache::ThumbnailCache(QString root)
    : m_root(std::move(root))
{
}

QString ThumbnailCache::defaultRoot()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/thumbnails");
}

int ThumbnailCache::bucketFor(int pixels)
{
    for (int bucket : kBuckets) {
        if (pixels <= bucket)
            return bucket;
    }
    return kBuckets.back();
}

QString ThumbnailCache::folderName(int bucket)
{
    switch (bucketFor(bucket)) {
    case 128:
        return QStringLiteral("normal");
    case 256:
        return QStringLiteral("large");
    case 512:
        return QStringLiteral("x-large");
    default:
        return QStringLiteral("xx-large");
    }
}

QByteArray ThumbnailCache::uriOf(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    return QByteArrayLiteral("file://") + bytes.toPercentEncoding("!*'()/:@&=+$,");
}

QString ThumbnailCache::entryPath(const QString &path, int bucket) const
{
    return m_root + u'/' + folderName(bucket) + u'/' + entryName(uriOf(path));
}

QString ThumbnailCache::failurePath(const QString &path) const
{
    return m_root + u'/' + failureFolderName() + u'/' + entryName(uriOf(path));
}

QImage ThumbnailCache::lookup(const QString &path, int bucket) const
{
    const Stamp stamp = stampOf(path);
    if (!stamp.exists)
        return {};
    bucket = bucketFor(bucket);
    const QString name = entryName(stamp.uri);
    for (int size : kBuckets) {
        if (size < bucket)
            continue;
        QImage entry = readValidEntry(m_root, folderName(size), name, stamp, size);
        if (entry.isNull())
            continue;
        if (entry.width() > bucket || entry.height() > bucket)
            entry = entry.scaled(bucket, bucket, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return entry;
    }
    return {};
}

bool ThumbnailCache::hasFailure(const QString &path) const
{
    const Stamp stamp = stampOf(path);
    return stamp.exists
        && !readValidEntry(m_root, failureFolderName(), entryName(stamp.uri), stamp, kBuckets.front()).isNull();
}

bool ThumbnailCache::store(const QString &path, int bucket, const QImage &thumbnail, QSize pictureSize) const
{
    const Stamp stamp = stampOf(path);
    if (!stamp.exists || thumbnail.isNull())
        return false;
    QImage entry = thumbnail;
    setStampText(entry, stamp);
    entry.setText(QStringLiteral("Thumb::Size"), QString::number(stamp.bytes));
    entry.setText(QStringLiteral("Thumb::Image::Width"), QString::number(pictureSize.width()));
    entry.setText(QStringLiteral("Thumb::Image::Height"), QString::number(pictureSize.height()));
    entry.setText(QStringLiteral("Software"), QStringLiteral("Tarnwick " TARNWICK_VERSION));
    return writeEntry(m_root, folderName(bucket), entryName(stamp.uri), entry);
}

bool ThumbnailCache::storeFailure(const QString &path) const
{
    const Stamp stamp = stampOf(path);
    if (!stamp.exists)
        return false;
    QImage entry(1, 1, QImage::Format_ARGB32);
    entry.fill(Qt::transparent);
    setStampText(entry, stamp);
    return writeEntry(m_root, failureFolderName(), entryName(stamp.uri), entry);
}

ThumbnailCache::Result ThumbnailCache::obtain(const QString &path, int bucket) const
{
    bucket = bucketFor(bucket);
    if (QImage cached = lookup(path, bucket); !cached.isNull())
        return {cached, false};
    if (hasFailure(path))
        return {{}, true};
    return make(path, bucket);
}

ThumbnailCache::Result ThumbnailCache::make(const QString &path, int bucket) const
{
    bucket = bucketFor(bucket);
    const qint64 mtime = stampOf(path).mtime;
    const MadeThumbnail made = makeThumbnail(path, bucket);
    // A picture that changed while it was read gets no entry under its new
    // time; the next request makes one.
    const bool unchanged = stampOf(path).mtime == mtime;
    if (made.image.isNull()) {
        if (unchanged)
            storeFailure(path);
        return {{}, true};
    }
    // A cache that cannot be written still leaves a thumbnail to show.
    if (unchanged)
        store(path, bucket, made.image, made.pictureSize);
    return {made.image, false};
}

} // namespace tarnwick
