#include "convert/pictureconversion.h"

#include "book/bookmessages.h"
#include "book/dmlreader.h"
#include "book/staletemporaries.h"
#include "export/pictureconverter.h"
#include "export/picturefile.h"
#include "facts/picturefolder.h"

#include <QFile>
#include <QSet>

#include <algorithm>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// Hidden, so that no listing takes a half-written copy for a picture.
const QByteArray kTemporaryMark = QByteArrayLiteral(".tarnwick-convert-");

QString temporaryPath(const QString &folder, const QString &target)
{
    static std::atomic<quint64> serial = 0;
    return folder + u'.' + target + QString::fromLatin1(kTemporaryMark)
        + QString::number(::getpid()) + u'-' + QString::number(serial++);
}

bool exists(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Renames from to to unless to exists; EEXIST when it does.
int renameNew(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a link fails as well on a taken name.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

ConversionResult failed(const QString &reason)
{
    return {ConversionResult::Kind::Failed, reason};
}

} // namespace

bool PlacementGate::halt()
{
    int open = kOpen;
    return m_state.compare_exchange_strong(open, kHalted) || open == kHalted;
}

bool PlacementGate::claim()
{
    int open = kOpen;
    return m_state.compare_exchange_strong(open, kClaimed);
}

std::vector<ConversionItem> planConversion(const QStringList &pictures)
{
    std::vector<ConversionItem> items;
    items.reserve(size_t(pictures.size()));
    QSet<QString> targets;
    for (const QString &picture : pictures) {
        const QString target = convertedName(picture);
        const bool claimed = targets.contains(target);
        targets.insert(target);
        items.push_back({picture, target, claimed});
    }
    return items;
}

ConversionResult convertOnePicture(const QString &folder, const ConversionItem &item, quint32 background,
                                   PlacementGate &gate)
{
    if (gate.halted())
        return {};
    const QString target = folder + item.target;
    // Nothing is read for a copy that could not be put in place.
    if (item.claimed || exists(target))
        return {ConversionResult::Kind::Skipped, QString()};
    PictureFile file;
    if (const std::optional<QString> failure = file.open(folder + item.source))
        return failed(*failure);
    const QString part = temporaryPath(folder, item.target);
    const QString suffix = item.source.mid(item.source.lastIndexOf(u'.') + 1).toLower();
    if (suffix == u"jpeg" || suffix == u"jpe") {
        if (const std::optional<QString> failure = file.copyTo(part))
            return failed(*failure);
    } else {
        QByteArray bytes;
        if (const std::optional<QString> failure = file.readAll(bytes))
            return failed(*failure);
        QByteArray jpeg;
        QSize size;
        if (const std::optional<QString> failure =
                convertPicture(bytes, kOwnOrientation, QSize(), kConvertedQuality, background, jpeg, size))
            return failed(*failure);
        bytes = QByteArray();
        if (const std::optional<QString> failure = writeNewFile(part, jpeg))
            return failed(*failure);
    }
    if (!gate.claim()) {
        QFile::remove(part);
        return {};
    }
    const int error = renameNew(part, target);
    if (error != 0) {
        QFile::remove(part);
        if (error == EEXIST)
            return {ConversionResult::Kind::Skipped, QString()};
        return failed(qt_error_string(error));
    }
    return {ConversionResult::Kind::Written, QString()};
}

void removeStaleConversionTemporaries(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    removeStaleTemporaries(fd, [](QByteArrayView name) {
        return name.startsWith('.') && name.indexOf(QByteArrayView(kTemporaryMark)) > 0;
    });
    ::close(fd);
}

ListEdit insertAtNamePlaces(QStringList &names, std::vector<bool> &selected, QStringList added)
{
    const QSet<QString> listed(names.cbegin(), names.cend());
    added.removeIf([&](const QString &name) { return listed.contains(name); });
    added.removeDuplicates();
    if (added.isEmpty() || names.size() >= kMostPages)
        return {};
    // Ranks in one name order over both lists.
    const qsizetype count = names.size();
    const std::vector<qsizetype> order = pictureNameOrder(names + added);
    std::vector<qsizetype> rank(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        rank[size_t(order[i])] = qsizetype(i);
    std::vector<qsizetype> newOrder(size_t(added.size()));
    for (qsizetype i = 0; i < added.size(); ++i)
        newOrder[size_t(i)] = i;
    std::sort(newOrder.begin(), newOrder.end(),
              [&](qsizetype a, qsizetype b) { return rank[size_t(count + a)] < rank[size_t(count + b)]; });
    // A longer book could not be read back.
    newOrder.resize(size_t(std::min(added.size(), kMostPages - count)));

    QStringList merged;
    merged.reserve(count + added.size());
    std::vector<int> origin;
    origin.reserve(size_t(count + added.size()));
    size_t next = 0;
    for (qsizetype row = 0; row < count; ++row) {
        while (next < newOrder.size() && rank[size_t(count + newOrder[next])] < rank[size_t(row)]) {
            merged.append(added.at(newOrder[next++]));
            origin.push_back(-1);
        }
        merged.append(names.at(row));
        origin.push_back(int(row));
    }
    for (; next < newOrder.size(); ++next) {
        merged.append(added.at(newOrder[next]));
        origin.push_back(-1);
    }
    names = std::move(merged);
    selected.assign(origin.size(), false);
    for (size_t i = 0; i < origin.size(); ++i)
        selected[i] = origin[i] < 0;
    return {ListEditOutcome::Moved, std::move(origin)};
}

QString conversionReport(const std::vector<ConversionItem> &items, const std::vector<ConversionResult> &results)
{
    qsizetype written = 0;
    QStringList problems;
    for (size_t i = 0; i < results.size() && i < items.size(); ++i) {
        switch (results[i].kind) {
        case ConversionResult::Kind::Written:
            ++written;
            break;
        case ConversionResult::Kind::Skipped:
            problems.append(QStringLiteral(u"%1：已有同名文件%2，已跳过").arg(items[i].source, items[i].target));
            break;
        case ConversionResult::Kind::Failed:
            problems.append(QStringLiteral(u"%1：%2").arg(items[i].source, results[i].reason));
            break;
        case ConversionResult::Kind::Cancelled:
            break;
        }
    }
    QString text = QStringLiteral(u"已转换%1张图片。").arg(written);
    if (!problems.isEmpty())
        text += u'\n' + messages::nameList(QStringLiteral(u"以下图片未转换："), problems);
    return text;
}

} // namespace tarnwick
