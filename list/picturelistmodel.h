#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include <functional>

#include <vector>

namespace tarnwick {

// The entries of the picture list: bare picture file names in display order.
// A new listing is a model reset; every edit after it reaches the views as
// rows removed, rows inserted or one layout change with the persistent
// indexes carried along, so every view keeps its scroll position.
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

    // A new list: one reset.
    void setNames(const QStringList &names);
    // Puts names in place of the list; origin[newRow] is the row the entry
    // came from, -1 for an entry that is new (a repeat of a row counts as new).
    // Pure removals and pure insertions of a few runs of rows go as rows
    // removed or inserted, anything else as one layout change.
    void changeNames(QStringList names, const std::vector<int> &origin);
    const QStringList &names() const { return m_names; }

    // An entry's accessible name is "第n页 NAME"; a note a view adds to it (why the book will not
    // show that page as it is); empty for most entries. None by default.
    using EntryNote = std::function<QString(const QString &name)>;
    void setAccessibleNote(EntryNote note) { m_accessibleNote = std::move(note); }

private:
    QStringList m_names;
    EntryNote m_accessibleNote;
};

} // namespace tarnwick
