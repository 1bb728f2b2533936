#include "pictures/picturelistmodel.h"

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
    return QAbstractListModel::flags(index) | Qt::ItemNeverHasChildren;
}

void PictureListModel::setNames(const QStringList &names)
{
    beginResetModel();
    m_names = names;
    endResetModel();
}

} // namespace tarnwick
