#include "pictures/picturelistview.h"

#include <QPersistentModelIndex>

namespace tarnwick {

void PictureListView::keyPressEvent(QKeyEvent *event)
{
    // Persistent, so that a key which changes the rows cannot leave a stale row.
    const QPersistentModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        Q_EMIT currentMovedByKey(after);
}

} // namespace tarnwick
