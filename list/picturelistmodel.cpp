#include "list/picturelistmodel.h"

#include <QMimeData>

#include <algorithm>

namespace tarnwick {

PictureListModel::PictureListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int PictureListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant PictureListModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString &name = m_names.at(index.row());
    if (role == Qt::AccessibleTextRole) {
        // The page number first: a screen reader names the entry by where it
        // stands in the book, which the name alone does not tell.
        const QString page = QStringLiteral(u"第%1页 %2").arg(index.row() + 1).arg(name);
        const QString note = m_accessibleNote ? m_accessibleNote(name) : QString();
        return note.isEmpty() ? page : page + QStringLiteral(u"，") + note;
    }
    return name;
}

Qt::ItemFlags PictureListModel::flags(const QModelIndex &index) const
{
    // Drops go between entries, never onto one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractListModel::flags(index) | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
}

QStringList PictureListModel::mimeTypes() const
{
    return {QStringLiteral("application/x-tarnwick-pages")};
}

QMimeData *PictureListModel::mimeData(const QModelIndexList &) const
{
    auto *data = new QMimeData;
    data->setData(mimeTypes().constFirst(), QByteArray());
    return data;
}

bool PictureListModel::dropMimeData(const QMimeData *, Qt::DropAction, int, int, const QModelIndex &)
{
    return false;
}

Qt::DropActions PictureListModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

void PictureListModel::setNames(const QStringList &names)
{
    beginResetModel();
    m_names = names;
    endResetModel();
}

void PictureListModel::changeNames(QStringList names, const std::vector<int> &origin)
{
    const int oldCount = int(m_names.size());
    const int newCount = int(names.size());
    // target[oldRow]: where an old entry stands now, -1 when it is gone.
    std::vector<int> target(size_t(oldCount), -1);
    bool inOrder = true;
    int lastKept = -1;
    int kept = 0;
    for (int row = 0; row < newCount; ++row) {
        const int from = origin[size_t(row)];
        if (from < 0 || target[size_t(from)] >= 0)
            continue;
        target[size_t(from)] = row;
        inOrder = inOrder && from > lastKept;
        lastKept = from;
        ++kept;
    }

    // Each run of removed or inserted rows is one round through every view
    // and persistent index; past a few dozen, one layout change costs less.
    constexpr int mostRuns = 64;
    const auto runs = [&origin, &target, newCount, oldCount](bool removal) {
        int count = 0;
        bool inRun = false;
        for (int row = 0; row < (removal ? oldCount : newCount); ++row) {
            const bool changed = removal ? target[size_t(row)] < 0
                                         : origin[size_t(row)] < 0 || target[size_t(origin[size_t(row)])] != row;
            count += changed && !inRun;
            inRun = changed;
        }
        return count;
    };

    if (inOrder && kept == newCount && kept < oldCount && runs(true) <= mostRuns) {
        // Removal only: the runs of removed rows from the bottom up.
        for (int row = oldCount - 1; row >= 0;) {
            if (target[size_t(row)] >= 0) {
                --row;
                continue;
            }
            const int last = row;
            while (row >= 0 && target[size_t(row)] < 0)
                --row;
            beginRemoveRows(QModelIndex(), row + 1, last);
            m_names.remove(row + 1, last - row);
            endRemoveRows();
        }
        m_names = std::move(names);
        return;
    }
    if (inOrder && kept == oldCount && kept < newCount && runs(false) <= mostRuns) {
        // Insertion only: the runs of new rows from the top down.
        for (int row = 0; row < newCount;) {
            const int from = origin[size_t(row)];
            if (from >= 0 && target[size_t(from)] == row) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < newCount && !(origin[size_t(row)] >= 0 && target[size_t(origin[size_t(row)])] == row))
                ++row;
            beginInsertRows(QModelIndex(), first, row - 1);
            m_names.insert(first, row - first, QString());
            std::copy(names.cbegin() + first, names.cbegin() + row, m_names.begin() + first);
            endInsertRows();
        }
        m_names = std::move(names);
        return;
    }

    // Rows that are gone take their persistent indexes with them.
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_names = std::move(names);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex &index : persistent) {
        const int row = index.row() < oldCount ? target[size_t(index.row())] : -1;
        moved.append(row >= 0 ? createIndex(row, 0) : QModelIndex());
    }
    changePersistentIndexList(persistent, moved);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace tarnwick
