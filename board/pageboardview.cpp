#include "board/pageboardview.h"

#include "book/boxnumber.h"
#include "book/colourvalue.h"
#include "widgets/qtcolour.h"
#include "book/placement.h"
#include "board/edgescroller.h"
#include "board/pagetile.h"
#include "list/picturelist.h"
#include "thumbnails/thumbnailcache.h"
#include "thumbnails/thumbnailloader.h"

#include <QCursor>
#include <QDragMoveEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

constexpr int kTileMargin = 6;
constexpr int kTextLines = 2;

} // namespace

// Draws one entry as a page tile with its page number and name below.
class PageTileDelegate : public QStyledItemDelegate
{
public:
    explicit PageTileDelegate(PageBoardView &view)
        : QStyledItemDelegate(&view)
        , m_view(view)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        const int side = m_view.m_tileSize + 2 * kTileMargin;
        return {side, side + kTextLines * option.fontMetrics.lineSpacing()};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QRect cell = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        if (selected)
            painter->fillRect(cell, option.palette.brush(QPalette::Highlight));

        const BookSettings &inputs = m_view.m_inputs;
        const QString name = index.data(Qt::DisplayRole).toString();
        const QString path = m_view.pathOf(name);
        const QSize book(readBoxNumber(inputs.bookWidth).value, readBoxNumber(inputs.bookHeight).value);
        const PageRect box{readBoxNumber(inputs.pictureLeft).value, readBoxNumber(inputs.pictureTop).value,
                           readBoxNumber(inputs.pictureWidth).value, readBoxNumber(inputs.pictureHeight).value};
        const std::optional<QSize> pixels = m_view.m_list.facts(name).pixelSize;
        // Until its size is known a fitted picture shows as its box, where
        // the book would put the picture if it filled it.
        const bool placed = inputs.fitMode == FitMode::Stretch || (pixels && !pixels->isEmpty());
        const PageRect place = placed ? placePicture(inputs.fitMode, box, pixels.value_or(QSize())) : box;
        const QRect placement(int(place.left), int(place.top), int(place.width), int(place.height));
        const int tile = m_view.m_tileSize;
        const TileGeometry geometry = tileGeometry(book.isValid() ? book : QSize(), placement, tile);

        TilePicture kind = placed ? TilePicture::Thumbnail : TilePicture::Box;
        QImage thumbnail;
        ThumbnailLoader &loader = m_view.m_loader;
        const int bucket = m_view.thumbnailBucket();
        if (loader.hasFailed(path)) {
            kind = TilePicture::Failed;
        } else if (kind == TilePicture::Thumbnail) {
            thumbnail = loader.thumbnail(path, bucket);
            if (thumbnail.isNull() || loader.isRough(path, bucket)) {
                // Painted means in view: asked for in the order tiles are painted.
                loader.request(path, bucket, 0);
                m_view.m_requested.insert(path);
            }
        }

        painter->translate(cell.left() + (cell.width() - tile) / 2, cell.top() + kTileMargin);
        TileLook look;
        look.background = toQColor(inputs.backgroundColour);
        look.borderOn = inputs.borderOn();
        look.borderColour = toQColor(inputs.borderColour);
        look.outline = option.palette.color(QPalette::Mid);
        paintTilePage(*painter, geometry, look, kind, thumbnail);
        if (const std::optional<PageProblem> problem = m_view.problemOf(name))
            paintProblemBadge(*painter, tile, problem->kind);
        painter->resetTransform();

        const int line = option.fontMetrics.lineSpacing();
        QRect text(cell.left() + 2, cell.top() + 2 * kTileMargin + tile - kTileMargin, cell.width() - 4, line);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(text, Qt::AlignCenter, QString::number(index.row() + 1));
        text.translate(0, line);
        painter->drawText(text, Qt::AlignCenter, option.fontMetrics.elidedText(name, Qt::ElideMiddle, text.width()));
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(cell.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            if (const std::optional<PageProblem> problem = m_view.problemOf(index.data().toString())) {
                QToolTip::showText(event->globalPos(), pageProblemText(*problem), view, option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    PageBoardView &m_view;
};

PageBoardView::PageBoardView(PictureList &list, ThumbnailLoader &loader, QWidget *parent)
    : PictureListView(parent)
    , m_list(list)
    , m_loader(loader)
{
    // A wrapping list, not icon mode: icon mode moves the items themselves
    // on a drop instead of showing where the selection goes.
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new PageTileDelegate(*this));
    // A press on any tile drags it; the board draws its own drop gap, which
    // also shows past the last tile of a line.
    setDragFromAnyEntry(true);
    setDropIndicatorShown(false);
    m_scroller = new EdgeScroller(this);
    connect(m_scroller, &EdgeScroller::scrolled, this, [this] {
        const QPoint at = m_scroller->position();
        if (viewport()->rect().contains(at) && m_dropRow >= 0)
            m_dropRow = dropRowAt(at);
        viewport()->update();
    });
    updateGrid();

    connect(&m_list, &PictureList::factsChanged, this, &PageBoardView::repaintEntries);
    // A screen reader hears the reason with the name of a marked tile.
    m_list.model()->setAccessibleNote([this](const QString &name) {
        const std::optional<PageProblem> problem = problemOf(name);
        return problem ? pageProblemText(*problem) : QString();
    });
    // A rough thumbnail leaves the request standing, to be cancelled when
    // its tile scrolls away before the picture's own thumbnail is made.
    const auto arrived = [this](const QString &path, bool done) {
        if (!(done ? m_requested.remove(path) : m_requested.contains(path)))
            return;
        const QString folder = m_list.folder();
        if (path.startsWith(folder))
            repaintEntries({path.mid(folder.size())});
    };
    connect(&m_loader, &ThumbnailLoader::thumbnailReady, this, [this, arrived](const QString &path, int bucket) {
        arrived(path, !m_loader.isRough(path, bucket));
    });
    connect(&m_loader, &ThumbnailLoader::thumbnailFailed, this, [arrived](const QString &path) { arrived(path, true); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &PageBoardView::dropHiddenRequests);
    connect(m_list.model(), &QAbstractItemModel::modelReset, this, [this] {
        m_loader.cancelAll();
        m_requested.clear();
    });
}

PageBoardView::~PageBoardView()
{
    m_list.model()->setAccessibleNote({});
}

std::optional<PageProblem> PageBoardView::problemOf(const QString &name) const
{
    const std::optional<PictureFacts> facts = m_list.knownFacts(name);
    return facts ? facts->problem : std::nullopt;
}

void PageBoardView::setTileSize(int pixels)
{
    pixels = std::clamp(pixels, kMinTileSize, kMaxTileSize);
    if (pixels == m_tileSize)
        return;
    // The tile the eye is on: the current one while it is in view, else the
    // first in view.
    QPersistentModelIndex anchor = currentIndex();
    if (!anchor.isValid() || !visualRect(anchor).intersects(viewport()->rect()))
        anchor = indexAt(QPoint(gridSize().width() / 2, std::min(gridSize().height() / 2, viewport()->height() / 2)));
    const int anchorTop = anchor.isValid() ? visualRect(anchor).top() : 0;
    const int bucket = thumbnailBucket();
    m_tileSize = pixels;
    if (thumbnailBucket() != bucket) {
        for (const QString &path : std::as_const(m_requested))
            m_loader.cancel(path, bucket);
        m_requested.clear();
    }
    updateGrid();
    if (anchor.isValid())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visualRect(anchor).top() - anchorTop);
    // A current tile grown past the view's bottom is brought back into it.
    if (anchor.isValid() && anchor == currentIndex())
        scrollTo(anchor);
}

int PageBoardView::columnCount() const
{
    const int count = model() ? model()->rowCount() : 0;
    if (count == 0)
        return std::max(1, viewport()->width() / std::max(1, gridSize().width()));
    const int top = visualRect(model()->index(0, 0)).top();
    int columns = 1;
    while (columns < count && visualRect(model()->index(columns, 0)).top() == top)
        ++columns;
    return columns;
}

int PageBoardView::dropRowAt(const QPoint &position) const
{
    const int count = model() ? model()->rowCount() : 0;
    if (count == 0)
        return 0;
    // By the grid, not by the tile under the pointer: the strip right of a
    // line's last tile drops after that tile, below the last line at the end.
    const QSize cell = gridSize();
    const QRect first = visualRect(model()->index(0, 0));
    const int columns = columnCount();
    const int line = std::max(0, int(std::floor(double(position.y() - first.top()) / std::max(1, cell.height()))));
    const qint64 lineStart = qint64(line) * columns;
    if (lineStart >= count)
        return count;
    const int column = int(std::floor(double(position.x() - first.left()) / std::max(1, cell.width())));
    if (column < 0)
        return int(lineStart);
    if (column >= columns)
        return int(std::min<qint64>(count, lineStart + columns));
    const int row = int(lineStart) + column;
    if (row >= count)
        return count;
    return position.x() < visualRect(model()->index(row, 0)).center().x() ? row : row + 1;
}

void PageBoardView::dragOver(const QPoint &position)
{
    m_scroller->track(position);
    const int row = dropRowAt(position);
    if (row != m_dropRow) {
        m_dropRow = row;
        viewport()->update();
    }
}

void PageBoardView::keyPressEvent(QKeyEvent *event)
{
    PictureListView::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Also when the current tile was already the first or last one.
        if (currentIndex().isValid())
            scrollTo(currentIndex());
        break;
    default:
        break;
    }
}

QModelIndex PageBoardView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    if ((action != MovePageUp && action != MovePageDown) || !current.isValid())
        return PictureListView::moveCursor(action, modifiers);
    // A page is the tiles in view: whole lines, at least one.
    const int lines = std::max(1, viewport()->height() / std::max(1, gridSize().height()));
    const int step = lines * columnCount() * (action == MovePageDown ? 1 : -1);
    const int row = std::clamp(current.row() + step, 0, model()->rowCount() - 1);
    // The view turns the page with it, so the current tile keeps its place on screen.
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->value() + (action == MovePageDown ? 1 : -1) * lines * gridSize().height());
    return model()->index(row, 0);
}

void PageBoardView::startDrag(Qt::DropActions supportedActions)
{
    m_scroller->beginDrag();
    PictureListView::startDrag(supportedActions);
    m_scroller->endDrag();
    m_dropRow = -1;
    viewport()->update();
}

void PageBoardView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    dragOver(event->position().toPoint());
}

void PageBoardView::dragLeaveEvent(QDragLeaveEvent *event)
{
    PictureListView::dragLeaveEvent(event);
    m_dropRow = -1;
    // Left across the top or bottom edge, as a quick hand does on its way to
    // the edge: scrolling goes on at full speed while the pointer stays past
    // that edge, until it comes back or the drag ends.
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    const bool pastEdge = (at.y() < 0 || at.y() >= viewport()->height()) && at.x() >= 0 && at.x() < viewport()->width();
    if (m_scroller->dragging() && pastEdge)
        m_scroller->track(at);
    else
        m_scroller->stop();
    viewport()->update();
}

void PageBoardView::dropEvent(QDropEvent *event)
{
    m_scroller->stop();
    m_dropRow = -1;
    PictureListView::dropEvent(event);
}

void PageBoardView::paintEvent(QPaintEvent *event)
{
    PictureListView::paintEvent(event);
    const int count = model() ? model()->rowCount() : 0;
    if (m_dropRow < 0 || count == 0)
        return;
    // A bar in the gap: before the tile it names, or after the last tile
    // of the line when the gap ends a line.
    const int columns = columnCount();
    const bool endsLine = m_dropRow == count || (m_dropRow > 0 && m_dropRow % columns == 0);
    const QRect tile = visualRect(model()->index(endsLine ? m_dropRow - 1 : m_dropRow, 0));
    const int x = endsLine ? tile.right() + 1 : tile.left();
    QPainter painter(viewport());
    painter.fillRect(QRect(x - 2, tile.top() + 2, 4, tile.height() - 4), palette().color(QPalette::Highlight));
}

int PageBoardView::thumbnailBucket() const
{
    return ThumbnailCache::bucketFor(m_tileSize);
}

void PageBoardView::setBookSettings(const BookSettings &inputs)
{
    m_inputs = inputs;
    viewport()->update();
}

void PageBoardView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0)
            Q_EMIT zoomRequested(delta > 0 ? 1 : -1);
        event->accept();
        return;
    }
    PictureListView::wheelEvent(event);
}

void PageBoardView::updateGrid()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    setGridSize(itemDelegate()->sizeHint(option, {}));
    // A third of a tile, so a drag over the first or last line's middle does not scroll yet.
    m_scroller->setZone(std::max(24, gridSize().height() / 3));
    // The uniform size is measured once; a new tile size must be measured again.
    doItemsLayout();
    viewport()->update();
}

void PageBoardView::repaintEntries(const QStringList &names)
{
    // The tiles in view against the names, never the names against the
    // whole list: a batch costs the few dozen tiles shown.
    const QStringList &listed = m_list.names();
    if (names.isEmpty() || listed.isEmpty() || !isVisible())
        return;
    const QRect shown = viewport()->rect();
    const QSize cell = gridSize();
    const int columns = std::max(1, shown.width() / std::max(1, cell.width()));
    const int last = int(listed.size()) - 1;
    int row = std::clamp((verticalOffset() / std::max(1, cell.height()) - 1) * columns, 0, last);
    while (row > 0 && visualRect(m_list.model()->index(row, 0)).bottom() >= shown.top())
        row = std::max(0, row - columns);
    for (; row <= last; ++row) {
        const QModelIndex index = m_list.model()->index(row, 0);
        const QRect tile = visualRect(index);
        if (tile.top() > shown.bottom())
            break;
        if (tile.intersects(shown) && names.contains(listed.at(row)))
            update(index);
    }
}

void PageBoardView::dropHiddenRequests()
{
    if (m_requested.isEmpty())
        return;
    // The tiles in view, found from the line the scroll position points at:
    // a scroll must not look each waiting picture up in the whole list.
    const QRect shown = viewport()->rect();
    const QStringList &names = m_list.names();
    const QSize cell = gridSize();
    const int columns = std::max(1, shown.width() / std::max(1, cell.width()));
    int row = std::clamp((verticalOffset() / std::max(1, cell.height()) - 1) * columns, 0,
                         std::max(0, int(names.size()) - 1));
    // Back to a row above the view, should the estimate be off.
    while (row > 0 && visualRect(m_list.model()->index(row, 0)).bottom() >= shown.top())
        row = std::max(0, row - columns);
    QSet<QString> inView;
    for (; row < names.size(); ++row) {
        const QRect tile = visualRect(m_list.model()->index(row, 0));
        if (tile.top() > shown.bottom())
            break;
        if (tile.intersects(shown))
            inView.insert(pathOf(names.at(row)));
    }
    const int bucket = thumbnailBucket();
    for (auto it = m_requested.begin(); it != m_requested.end();) {
        if (inView.contains(*it)) {
            ++it;
            continue;
        }
        m_loader.cancel(*it, bucket);
        it = m_requested.erase(it);
    }
}

QString PageBoardView::pathOf(const QString &name) const
{
    return m_list.folder() + name;
}

} // namespace tarnwick
