#pragma once

#include <QListView>

namespace tarnwick {

// List1's view. Moving the current entry with the keyboard (arrows, Page
// Up/Down, Home/End, typing a name's first letters) counts as a click on the
// entry, as it does in a classic list box, so an open preview follows it.
// Dragging with the left button pressed on a selected entry carries all the
// selected entries to the drop position; pressed on an entry that is not
// selected, it selects a run of entries as a plain list box does.
class PictureListView : public QListView
{
    Q_OBJECT

public:
    explicit PictureListView(QWidget *parent = nullptr);

    // Drops the dragged selection at a point of the viewport.
    void dropSelectionAt(const QPoint &position);
    // The gap a drop at this point of the viewport goes into: the row the
    // first dropped entry will take, the count for after the last entry.
    virtual int dropRowAt(const QPoint &position) const;

    // Whether a press on an entry that is not selected and a drag carry that
    // entry, as in a file manager, instead of selecting a run of entries as
    // a list box does (the default).
    void setDragFromAnyEntry(bool on) { m_dragFromAnyEntry = on; }

Q_SIGNALS:
    // The user moved the current entry to another entry with a key.
    void currentMovedByKey(const QModelIndex &current);
    // The selected entries were dropped into the gap before row (row ==
    // count: after the last entry).
    void selectionDropped(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool m_pressedOnSelected = false;
    bool m_dragFromAnyEntry = false;
};

} // namespace tarnwick
