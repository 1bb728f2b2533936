#include "pictures/picturelistmodel.h"

#include <QMimeData>

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
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_names.at(index.row());
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

} // namespace tarnwick
