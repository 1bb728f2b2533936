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

// Why path cannot serve as a folder of the trash, after making it (0700) when
// it is missing: a link, not a folder, another user's, or not writable. Empty
// when it serves. missing tells that it was not there and could not be made.
QString folderProblem(const QString &path, bool *missing = nullptr)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        if (missing)
            *missing = true;
        return path + QStringLiteral(": ") + qt_error_string(error);
    }
    const auto st = linkStatus(path);
    if (!st)
        return path + QStringLiteral(": ") + qt_error_string(errno);
    if (S_ISLNK(st->st_mode))
        return path + QStringLiteral(": a symbolic link");
    if (!S_ISDIR(st->st_mode))
        return path + QStringLiteral(": not a folder");
    if (st->st_uid != ::getuid())
        return path + QStringLiteral(": another user's folder");
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return path + QStringLiteral(": ") + qt_error_string(errno);
    return {};
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

// The trash for a document on device inside folder, made when missing. A
// refusal when a trash is there that cannot be used; neither when the file
// system has none and none may be made.
struct TrashFolder
{
    QString path;
    QString refusal;
};

TrashFolder trashFor(const QString &folder, dev_t device)
{
    const QString home = homeTrash();
    if (deviceOf(home) == device) {
        const QString parent = QFileInfo(home).path();
        if (!QDir().mkpath(parent))
            return {QString(), parent + QStringLiteral(": cannot be made")};
        const QString problem = folderProblem(home);
        return problem.isEmpty() ? TrashFolder{home, QString()} : TrashFolder{QString(), problem};
    }
    const QString top = topFolder(folder, device);
    const QString uid = QString::number(::getuid());
    // A shared .Trash counts only when the administrator made it sticky and
    // it is no link: otherwise another user could read what is put there.
    const QString shared = top + QStringLiteral("/.Trash");
    const auto st = linkStatus(shared);
    if (st && S_ISDIR(st->st_mode) && (st->st_mode & S_ISVTX) && folderProblem(shared + u'/' + uid).isEmpty())
        return {shared + u'/' + uid, QString()};
    const QString own = top + QStringLiteral("/.Trash-") + uid;
    bool missing = false;
    const QString problem = folderProblem(own, &missing);
    if (problem.isEmpty())
        return {own, QString()};
    // The top of a file system the user may not write has no trash of his.
    if (missing)
        return {};
    return {QString(), problem};
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

TrashedDocument TrashedDocument::refused(const QString &reason)
{
    TrashedDocument trashed;
    trashed.m_refusal = reason;
    return trashed;
}

TrashedDocument TrashedDocument::link(const QString &path)
{
    const QFileInfo document(path);
    const auto st = linkStatus(document.absoluteFilePath());
    if (!st || !S_ISREG(st->st_mode))
        return {};
    const TrashFolder trash = trashFor(document.absolutePath(), st->st_dev);
    if (trash.path.isEmpty())
        return refused(trash.refusal);
    const QString files = trash.path + QStringLiteral("/files");
    const QString info = trash.path + QStringLiteral("/info");
    for (const QString &folder : {files, info}) {
        if (const QString problem = folderProblem(folder); !problem.isEmpty())
            return refused(problem);
    }

    const QByteArray record = trashInfo(document.absoluteFilePath());
    const QByteArray source = QFile::encodeName(document.absoluteFilePath());
    // The .trashinfo comes first and is made exclusively: it reserves the
    // name against another program trashing a file of the same name.
    for (int n = 1; n < 1000; ++n) {
        const QString name = numberedName(document.fileName(), n);
        TrashedDocument trashed;
        trashed.m_infoPath = info + u'/' + name + QStringLiteral(".trashinfo");
        trashed.m_filePath = files + u'/' + name;
        const QByteArray target = QFile::encodeName(trashed.m_filePath);
        bool taken = false;
        if (!writeNew(trashed.m_infoPath, record, &taken)) {
            if (taken)
                continue;
            return refused(trashed.m_infoPath + QStringLiteral(": ") + qt_error_string(errno));
        }
        if (::link(source.constData(), target.constData()) == 0)
            return trashed;
        int error = errno;
        // A file system without hard links (FAT) still has a trash: the
        // document moves there, and back should its replacement fail.
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
            if (linkStatus(trashed.m_filePath)) {
                error = EEXIST;
            } else if (::rename(source.constData(), target.constData()) == 0) {
                trashed.m_original = document.absoluteFilePath();
                return trashed;
            } else {
                error = errno;
            }
        }
        ::unlink(QFile::encodeName(trashed.m_infoPath).constData());
        if (error != EEXIST)
            return refused(trashed.m_filePath + QStringLiteral(": ") + qt_error_string(error));
    }
    return refused(files + QStringLiteral(": ") + qt_error_string(EEXIST));
}

void TrashedDocument::undo()
{
    if (isEmpty())
        return;
    if (m_original.isEmpty())
        ::unlink(QFile::encodeName(m_filePath).constData());
    else
        ::rename(QFile::encodeName(m_filePath).constData(), QFile::encodeName(m_original).constData());
    ::unlink(QFile::encodeName(m_infoPath).constData());
    m_filePath.clear();
    m_infoPath.clear();
    m_original.clear();
}

} // namespace tarnwick
