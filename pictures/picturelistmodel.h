#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace tarnwick {

// The entries of the picture list: bare picture file names in display order. Every change
// replaces the whole list with one model reset, so a 32,767-entry reorder costs
// one relayout instead of one per entry.
class PictureListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit PictureListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Entries are dragged within the list only: the drag carries no data, the
    // view moves its selected entries to the drop position.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    Qt::DropActions supportedDropActions() const override;

    void setNames(const QStringList &names);
    const QStringList &names() const { return m_names; }

private:
    QStringList m_names;
};

} // namespace tarnwick
