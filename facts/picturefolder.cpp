#include "facts/picturefolder.h"

#include "facts/pictureheader.h"

#include <QCollator>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <strings.h>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

bool hasPictureSuffix(const char *name, size_t length)
{
    if (length < 5)
        return false;
    const char *suffix = name + length - 4;
    return strcasecmp(suffix, ".gif") == 0 || strcasecmp(suffix, ".jpg") == 0;
}

// The suffixes of the pictures a conversion turns into JPEG copies.
constexpr const char *kConvertibleSuffixes[] = {".jpeg", ".jpe", ".png", ".webp", ".bmp",
                                                ".tif",  ".tiff", ".heic", ".heif"};

bool hasConvertibleSuffix(const char *name, size_t length)
{
    return std::any_of(std::begin(kConvertibleSuffixes), std::end(kConvertibleSuffixes), [&](const char *suffix) {
        const size_t size = std::strlen(suffix);
        // Something before the dot: ".png" alone is a dot file.
        return length > size && strcasecmp(name + length - size, suffix) == 0;
    });
}

// Code-point order; UTF-16 order differs from it only for surrogates.
bool codePointLess(const QString &a, const QString &b)
{
    return a.toUcs4() < b.toUcs4();
}

// Calls found(name, inode, dirFd, regular, listed) for each picture of a
// folder in the order the folder gives them; listed is false for a picture
// in a format a conversion takes, reported only when others is true. regular
// is false where the entry type does not tell an ordinary file (a link, an
// unknown type): found must stat it.
template <typename Found>
bool forEachPicture(const QString &folder, QString *reason, bool others, Found found)
{
    if (folder.isEmpty())
        return true;
    const auto failed = [reason](int error) {
        if (reason)
            *reason = qt_error_string(error);
        return false;
    };
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return failed(errno);
    const int dirFd = dirfd(dir);
    for (;;) {
        // readdir tells the end of the folder from a read error only by errno.
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry) {
            const int error = errno;
            if (error != 0) {
                closedir(dir);
                return failed(error);
            }
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue;
        const size_t length = std::strlen(name);
        const bool listed = hasPictureSuffix(name, length);
        if (!listed && !(others && hasConvertibleSuffix(name, length)))
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        found(name, quint64(entry->d_ino), dirFd, entry->d_type == DT_REG, listed);
    }
    closedir(dir);
    return true;
}

// A stat of name in the folder, following a link; false unless it is an ordinary file.
bool statFile(int dirFd, const char *name, struct stat &info)
{
    return fstatat(dirFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// The picture names of a folder in the order the folder gives them; others,
// when given, the names of pictures in formats a conversion takes. The entry
// type saves a stat per file; only links and unknown types are looked at,
// and a link counts as the ordinary file it leads to.
std::optional<QStringList> readPictureNames(const QString &folder, QString *reason, QStringList *others = nullptr)
{
    QStringList names;
    const bool read = forEachPicture(folder, reason, others != nullptr,
                                     [&](const char *name, quint64, int dirFd, bool regular, bool listed) {
        struct stat info;
        if (regular || statFile(dirFd, name, info))
            (listed ? names : *others).append(QFile::decodeName(name));
    });
    return read ? std::optional<QStringList>(std::move(names)) : std::nullopt;
}

} // namespace

std::optional<QStringList> listPictures(const QString &folder, QString *reason, QStringList *others)
{
    if (others)
        others->clear();
    std::optional<QStringList> names = readPictureNames(folder, reason, others);
    if (names)
        sortPictureNames(*names);
    if (others)
        sortPictureNames(*others);
    return names;
}

bool isConvertibleName(QStringView name)
{
    return std::any_of(std::begin(kConvertibleSuffixes), std::end(kConvertibleSuffixes), [&](const char *suffix) {
        const auto size = qsizetype(std::strlen(suffix));
        return name.size() > size && name.endsWith(QLatin1StringView(suffix), Qt::CaseInsensitive);
    });
}

QString convertedName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot > 0 ? name.left(dot) : name) + QStringLiteral(".jpg");
}

QStringList vanishedPictures(const QString &folder, const QStringList &names)
{
    // One listing, a few system calls for the whole folder, instead of a
    // stat per picture; only names missing from it are looked at.
    const std::optional<QStringList> listed = readPictureNames(folder, nullptr);
    if (!listed)
        return names;
    const QSet<QString> present(listed->cbegin(), listed->cend());
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return names;
    QStringList vanished;
    for (const QString &name : names) {
        if (present.contains(name))
            continue;
        struct stat info;
        if (fstatat(dirFd, QFile::encodeName(name).constData(), &info, 0) != 0 || !S_ISREG(info.st_mode))
            vanished.append(name);
    }
    ::close(dirFd);
    return vanished;
}

std::optional<PictureStamps> stampPictures(const QString &folder, QString *reason, const PictureStamps *earlier,
                                           qint64 statFromNs)
{
    PictureStamps stamps;
    if (earlier)
        stamps.reserve(earlier->size());
    const bool read = forEachPicture(folder, reason, false,
                                     [&](const char *name, quint64 inode, int dirFd, bool regular, bool) {
        const QString decoded = QFile::decodeName(name);
        if (earlier) {
            const auto was = earlier->constFind(decoded);
            // The same file, not written lately: as it was.
            if (was != earlier->cend() && was->inode == inode && was->size >= 0 && was->modifiedNs < statFromNs) {
                struct stat info;
                if (regular || statFile(dirFd, name, info))
                    stamps.insert(decoded, *was);
                return;
            }
        }
        struct stat info;
        if (!statFile(dirFd, name, info))
            return;
        const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamps.insert(decoded, PictureStamp{qint64(info.st_size), modified, inode});
    });
    return read ? std::optional<PictureStamps>(std::move(stamps)) : std::nullopt;
}

std::vector<qsizetype> pictureNameOrder(const QStringList &names, NameOrder kind, const QLocale &locale)
{
    // The C locale's sort keys are case-sensitive although its compare() is
    // not; Tarnwick speaks Chinese, so it collates as zh_CN there.
    const QLocale collation = locale.language() == QLocale::C
        ? QLocale(QLocale::Chinese, QLocale::China)
        : locale;
    const auto makeCollator = [&] {
        QCollator collator(collation);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(kind == NameOrder::Numeric);
        return collator;
    };

    // Sort keys once per name, then compare keys only.
    std::vector<std::optional<QCollatorSortKey>> keys(size_t(names.size()));
    std::vector<qsizetype> order(size_t(names.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    const auto less = [&](qsizetype a, qsizetype b) {
        const int c = keys[size_t(a)]->compare(*keys[size_t(b)]);
        if (c != 0)
            return c < 0;
        return codePointLess(names.at(a), names.at(b));
    };
    // Each half keyed and sorted on its own core, then merged: a big folder's
    // keys and sort are most of the time a listing takes.
    const auto keyAndSort = [&](size_t begin, size_t end) {
        const QCollator collator = makeCollator();
        for (size_t i = begin; i < end; ++i)
            keys[i].emplace(collator.sortKey(names.at(qsizetype(i))));
        std::sort(order.begin() + qsizetype(begin), order.begin() + qsizetype(end), less);
    };
    constexpr size_t kSplitFrom = 4096;
    if (order.size() < kSplitFrom || std::thread::hardware_concurrency() < 2) {
        keyAndSort(0, order.size());
        return order;
    }
    const size_t middle = order.size() / 2;
    std::thread firstHalf(keyAndSort, 0, middle);
    keyAndSort(middle, order.size());
    firstHalf.join();
    std::vector<qsizetype> merged(order.size());
    std::merge(order.begin(), order.begin() + qsizetype(middle), order.begin() + qsizetype(middle), order.end(),
               merged.begin(), less);
    return merged;
}

void sortPictureNames(QStringList &names, const QLocale &locale)
{
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype i : pictureNameOrder(names, NameOrder::Name, locale))
        sorted.append(names.at(i));
    names = std::move(sorted);
}

std::optional<QSize> readPictureSize(const QString &path)
{
    return PictureHeader::readFile(path).size();
}

QString folderText(const QString &chosenPath)
{
    if (chosenPath.isEmpty() || chosenPath.endsWith(u'/'))
        return chosenPath;
    return chosenPath + u'/';
}

} // namespace tarnwick
