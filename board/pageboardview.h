#pragma once

#include "book/booksettings.h"
#include "widgets/picturelistview.h"

#include <QSet>
#include <QString>

namespace tarnwick {

class PictureList;
class ThumbnailLoader;

// The page board's view of a PictureList: one square tile per entry in page
// order, wrapping to the view's width, each the page as the book shows it
// (book proportions, background, border, the picture at its place) with the
// page number and file name under it. Thumbnails come from the loader: the
// tiles in view ask for them as they are painted, and what scrolled away
// before its turn is cancelled. Dragging the selection moves it as List1 does.
class PageBoardView : public PictureListView
{
    Q_OBJECT

public:
    PageBoardView(PictureList &list, ThumbnailLoader &loader, QWidget *parent = nullptr);

    // The tile's edge in pixels, kept within 96-512.
    int tileSize() const { return m_tileSize; }
    void setTileSize(int pixels);
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

private:
    friend class PageTileDelegate;
    void updateGrid();
    void repaintEntry(const QString &name);
    // Cancels the thumbnails asked for by tiles that are out of view.
    void dropHiddenRequests();
    QString pathOf(const QString &name) const;

    PictureList &m_list;
    ThumbnailLoader &m_loader;
    BookSettings m_inputs;
    int m_tileSize = 192;
    // Filled while tiles are painted.
    mutable QSet<QString> m_requested;
};

} // namespace tarnwick
