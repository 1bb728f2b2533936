#include "book/documenttrash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

std::optional<struct stat> linkStatus(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

// The device of path, or of its nearest existing folder when it is not there yet.
std::optional<dev_t> deviceOf(QString path)
{
    for (;;) {
        if (const auto st = linkStatus(path))
            return st->st_dev;
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            return std::nullopt;
        path = parent;
    }
}

// A folder only the user may enter; an existing one counts only when it is a
// real folder of the user's, not a link to one.
bool privateFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const auto st = linkStatus(path);
    return st && S_ISDIR(st->st_mode) && st->st_uid == ::getuid();
}

QString homeTrash()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
}

// The mount point of the file system that holds folder.
QString topFolder(QString folder, dev_t device)
{
    while (folder != QStringLiteral("/")) {
        const QString parent = QFileInfo(folder).path();
        const auto st = linkStatus(parent);
        if (!st || st->st_dev != device)
            break;
        folder = parent;
    }
    return folder;
}

// The trash for a document on device inside folder, made when missing; empty
// when there is none to use.
QString trashFor(const QString &folder, dev_t device)
{
    const QString home = homeTrash();
    if (deviceOf(home) == device) {
        QDir().mkpath(QFileInfo(home).path());
        return privateFolder(home) ? home : QString();
    }
    const QString top = topFolder(folder, device);
    const QString uid = QString::number(::getuid());
    // A shared .Trash counts only when the administrator made it sticky and
    // it is no link: otherwise another user could read what is put there.
    const QString shared = top + QStringLiteral("/.Trash");
    const auto st = linkStatus(shared);
    if (st && S_ISDIR(st->st_mode) && (st->st_mode & S_ISVTX) && privateFolder(shared + u'/' + uid))
        return shared + u'/' + uid;
    const QString own = top + QStringLiteral("/.Trash-") + uid;
    return privateFolder(own) ? own : QString();
}

QByteArray trashInfo(const QString &absolutePath)
{
    return "[Trash Info]\nPath=" + QFile::encodeName(absolutePath).toPercentEncoding("/")
        + "\nDeletionDate="
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + '\n';
}

// name, then "stem (2).suffix", "stem (3).suffix" ...
QString numberedName(const QString &name, int n)
{
    if (n == 1)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    return info.completeBaseName() + QStringLiteral(" (%1)").arg(n)
        + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

bool writeNew(const QString &path, const QByteArray &bytes, bool *taken)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    *taken = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (::close(fd) != 0 || !written) {
        ::unlink(QFile::encodeName(path).constData());
        return false;
    }
    return true;
}

} // namespace

TrashedDocument TrashedDocument::link(const QString &path)
{
    const QFileInfo document(path);
    const auto st = linkStatus(document.absoluteFilePath());
    if (!st || !S_ISREG(st->st_mode))
        return {};
    const QString trash = trashFor(document.absolutePath(), st->st_dev);
    if (trash.isEmpty())
        return {};
    const QString files = trash + QStringLiteral("/files/");
    const QString info = trash + QStringLiteral("/info/");
    if (!privateFolder(files) || !privateFolder(info))
        return {};

    const QByteArray record = trashInfo(document.absoluteFilePath());
    const QByteArray source = QFile::encodeName(document.absoluteFilePath());
    // The .trashinfo comes first and is made exclusively: it reserves the
    // name against another program trashing a file of the same name.
    for (int n = 1; n < 1000; ++n) {
        const QString name = numberedName(document.fileName(), n);
        TrashedDocument trashed;
        trashed.m_infoPath = info + name + QStringLiteral(".trashinfo");
        trashed.m_filePath = files + name;
        bool taken = false;
        if (!writeNew(trashed.m_infoPath, record, &taken)) {
            if (taken)
                continue;
            return {};
        }
        if (::link(source.constData(), QFile::encodeName(trashed.m_filePath).constData()) == 0)
            return trashed;
        const bool nameTaken = errno == EEXIST;
        ::unlink(QFile::encodeName(trashed.m_infoPath).constData());
        if (!nameTaken)
            return {};
    }
    return {};
}

void TrashedDocument::undo()
{
    if (isEmpty())
        return;
    ::unlink(QFile::encodeName(m_filePath).constData());
    ::unlink(QFile::encodeName(m_infoPath).constData());
    m_filePath.clear();
    m_infoPath.clear();
}

} // namespace tarnwick
