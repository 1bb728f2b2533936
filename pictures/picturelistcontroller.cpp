#include "pictures/picturelistcontroller.h"

#include "pictures/linklabel.h"
#include "pictures/picturelistmodel.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>

namespace tarnwick {

PictureListController::PictureListController(QListView *view, PictureListModel *model, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model)
{
    if (m_view->model() != m_model)
        m_view->setModel(m_model);
    configureView(m_view);
}

void PictureListController::configureView(QListView *view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);
    view->setToolTip(pictureListToolTip());
}

void PictureListController::refill(const QStringList &names)
{
    m_model->setNames(names);
    m_view->selectionModel()->clear();
}

std::vector<bool> PictureListController::selectedFlags() const
{
    // selection() as ranges: selectedRows() is quadratic in the number of separate rows.
    std::vector<bool> flags(size_t(m_model->rowCount()), false);
    const QItemSelection selection = m_view->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            flags[size_t(row)] = true;
    }
    return flags;
}

ListEditOutcome PictureListController::run(ListCommand command)
{
    QStringList names = m_model->names();
    std::vector<bool> flags = selectedFlags();
    const ListEdit edit = applyListCommand(command, names, flags);
    if (edit.outcome == ListEditOutcome::Unchanged)
        return edit.outcome;

    // The current entry follows its entry; it is gone when its entry was removed.
    const int oldCurrent = currentRow();
    int newCurrent = -1;
    if (oldCurrent >= 0) {
        for (size_t row = 0; row < edit.origin.size(); ++row) {
            if (edit.origin[row] == oldCurrent) {
                newCurrent = int(row);
                break;
            }
        }
    }

    // The reset scrolls nowhere by itself, but the layout it drops would: keep the place.
    const int scroll = m_view->verticalScrollBar()->value();
    m_model->setNames(names);

    QItemSelection selection;
    const int count = int(flags.size());
    for (int row = 0; row < count;) {
        if (!flags[size_t(row)]) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < count && flags[size_t(row)])
            ++row;
        selection.append(QItemSelectionRange(m_model->index(first), m_model->index(row - 1)));
    }
    QItemSelectionModel *selectionModel = m_view->selectionModel();
    if (!selection.isEmpty())
        selectionModel->select(selection, QItemSelectionModel::Select);
    if (newCurrent >= 0)
        selectionModel->setCurrentIndex(m_model->index(newCurrent), QItemSelectionModel::NoUpdate);
    m_view->verticalScrollBar()->setValue(scroll);

    if (edit.outcome == ListEditOutcome::Moved)
        m_view->setFocus(Qt::OtherFocusReason);
    return edit.outcome;
}

LinkLabel *PictureListController::createCommandLabel(ListCommand command, QWidget *parent)
{
    auto *label = new LinkLabel(listCommandCaption(command), parent);
    label->setToolTip(listCommandToolTip(command));
    connect(label, &LinkLabel::clicked, this, [this, command] { run(command); });
    return label;
}

int PictureListController::currentRow() const
{
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString PictureListController::currentEntry() const
{
    const int row = currentRow();
    return row >= 0 ? m_model->names().at(row) : QString();
}

} // namespace tarnwick
