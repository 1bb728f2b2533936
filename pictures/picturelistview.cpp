#include "pictures/picturelistview.h"

#include <QContextMenuEvent>
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
    // Shift+F10 opens the context menu like the Menu key does.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier
        && contextMenuPolicy() == Qt::CustomContextMenu) {
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
    if (!m_pressedOnSelected && (event->buttons() & Qt::LeftButton) && state() == NoState)
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
    const QPoint position = event->position().toPoint();
    const QModelIndex target = indexAt(position);
    int row = model()->rowCount();
    if (target.isValid()) {
        const QRect rect = visualRect(target);
        row = position.y() < rect.center().y() ? target.row() : target.row() + 1;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    setState(NoState);
    viewport()->update();
    Q_EMIT selectionDropped(row);
}

} // namespace tarnwick
