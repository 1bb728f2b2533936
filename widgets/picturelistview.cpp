#include "widgets/picturelistview.h"

#include <QDrag>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPersistentModelIndex>

namespace tarnwick {

PictureListView::PictureListView(QWidget *parent)
    : QListView(parent)
{
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
}

void PictureListView::keyPressEvent(QKeyEvent *event)
{
    // The Menu key and Shift+F10 open the context menu at the current entry.
    const bool menuKey = (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier)
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && contextMenuPolicy() == Qt::CustomContextMenu) {
        const QModelIndex current = currentIndex();
        const QRect rect = current.isValid() ? visualRect(current) : QRect();
        Q_EMIT customContextMenuRequested(rect.isValid() ? rect.center() : QPoint(0, 0));
        event->accept();
        return;
    }
    // Persistent, so that a key which changes the rows cannot leave a stale row.
    const QPersistentModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        Q_EMIT currentMovedByKey(after);
}

void PictureListView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex pressed = indexAt(event->position().toPoint());
    m_pressedOnSelected = pressed.isValid() && selectionModel() && selectionModel()->isSelected(pressed);
    QListView::mousePressEvent(event);
}

void PictureListView::mouseMoveEvent(QMouseEvent *event)
{
    // Only a press on a selected entry starts a drag; from any other entry
    // the movement extends the selection.
    if (!m_pressedOnSelected && !m_dragFromAnyEntry && (event->buttons() & Qt::LeftButton) && state() == NoState)
        setState(DragSelectingState);
    QListView::mouseMoveEvent(event);
}

void PictureListView::startDrag(Qt::DropActions)
{
    // The selection itself is what moves; the drag only carries the gesture.
    // Qt's own drag would remove the dragged rows after a move drop.
    auto *drag = new QDrag(this);
    drag->setMimeData(model()->mimeData({}));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void PictureListView::dropEvent(QDropEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    setState(NoState);
    viewport()->update();
    dropSelectionAt(event->position().toPoint());
}

void PictureListView::dropSelectionAt(const QPoint &position)
{
    Q_EMIT selectionDropped(dropRowAt(position));
}

int PictureListView::dropRowAt(const QPoint &position) const
{
    // The upper half of an entry drops before it, the lower half after it,
    // below the last entry at the end: where the drop indicator was drawn.
    // In a view that flows across, the left and right halves.
    const QModelIndex target = indexAt(position);
    int row = model()->rowCount();
    if (target.isValid()) {
        const QPoint centre = visualRect(target).center();
        const bool before = flow() == LeftToRight ? position.x() < centre.x() : position.y() < centre.y();
        row = before ? target.row() : target.row() + 1;
    }
    return row;
}

} // namespace tarnwick
