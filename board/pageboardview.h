#pragma once

#include "book/booksettings.h"
#include "facts/pageproblem.h"
#include "widgets/picturelistview.h"

#include <QSet>
#include <QString>

#include <optional>

namespace tarnwick {

class EdgeScroller;
class PictureList;
class ThumbnailLoader;

// The page board's view of a PictureList: one square tile per entry in page
// order, wrapping to the view's width, each the page as the book shows it
// (book proportions, background, border, the picture at its place) with the
// page number and file name under it. Thumbnails come from the loader: the
// tiles in view ask for them as they are painted, and what scrolled away
// before its turn is cancelled. Dragging the selection moves it as List1 does;
// a press on a tile that is not selected drags that tile, and a drag held
// near the top or bottom edge scrolls (EdgeScroller). A zoom keeps the
// current tile where it was on screen; Page Up and Page Down move by the
// tiles in view.
class PageBoardView : public PictureListView
{
    Q_OBJECT

public:
    PageBoardView(PictureList &list, ThumbnailLoader &loader, QWidget *parent = nullptr);
    ~PageBoardView() override;

    // Why the book will not show that picture as it is, once its header is read.
    std::optional<PageProblem> problemOf(const QString &name) const;

    // The tile's edge in pixels, kept within 96-512. The current tile, or
    // without one in view the first tile in view, stays at its height on screen.
    int tileSize() const { return m_tileSize; }
    void setTileSize(int pixels);
    // How many tiles stand side by side.
    int columnCount() const;

    int dropRowAt(const QPoint &position) const override;
    // The gap the drop indicator shows while a drag is over the board, -1 without one.
    int dropIndicatorRow() const { return m_dropRow; }
    EdgeScroller *edgeScroller() const { return m_scroller; }
    // A drag of the selection over this point of the viewport: shows the
    // gap and scrolls near an edge.
    void dragOver(const QPoint &position);
    // The thumbnail size the tiles ask for: the freedesktop bucket that holds a tile.
    int thumbnailBucket() const;

    // The inputs the tiles draw the book by; the tiles redraw at once.
    void setBookSettings(const BookSettings &inputs);
    const BookSettings &bookSettings() const { return m_inputs; }

    // The pictures whose thumbnails the tiles asked for and are still waiting for.
    const QSet<QString> &requestedPaths() const { return m_requested; }

Q_SIGNALS:
    // Ctrl+wheel: steps > 0 to grow the tiles, < 0 to shrink them.
    void zoomRequested(int steps);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    friend class PageTileDelegate;
    void updateGrid();
    // Repaints the tiles in view of the pictures by these names; the others
    // are painted with what is known when they come into view.
    void repaintEntries(const QStringList &names);
    // Cancels the thumbnails asked for by tiles that are out of view.
    void dropHiddenRequests();
    QString pathOf(const QString &name) const;

    PictureList &m_list;
    ThumbnailLoader &m_loader;
    BookSettings m_inputs;
    int m_tileSize = 192;
    EdgeScroller *m_scroller = nullptr;
    int m_dropRow = -1;
    // Filled while tiles are painted.
    mutable QSet<QString> m_requested;
};

} // namespace tarnwick
