#include "book/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

std::optional<QString> adopt(QFile &file, int fd, QIODevice::OpenMode mode)
{
    if (fd < 0)
        return qt_error_string(errno);
    struct stat info {};
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        return stated ? notRegularFileReason() : qt_error_string(error);
    }
    if (!file.open(fd, mode | QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return std::nullopt;
}

} // namespace

bool writeAll(int fd, const char *data, qint64 length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, size_t(length));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

QString notRegularFileReason()
{
    return QStringLiteral("not a regular file");
}

std::optional<QString> openRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    return adopt(file, ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC), mode);
}

std::optional<QString> openRegularFileAt(QFile &file, int folder, const QByteArray &name, QIODevice::OpenMode mode)
{
    return adopt(file, ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC), mode);
}

} // namespace tarnwick
