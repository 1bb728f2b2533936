#pragma once

#include <QListView>

namespace tarnwick {

// List1's view. Moving the current entry with the keyboard (arrows, Page
// Up/Down, Home/End, typing a name's first letters) counts as a click on the
// entry, as it does in a classic list box, so an open preview follows it.
class PictureListView : public QListView
{
    Q_OBJECT

public:
    using QListView::QListView;

Q_SIGNALS:
    // The user moved the current entry to another entry with a key.
    void currentMovedByKey(const QModelIndex &current);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace tarnwick
