#include "board/pageboardview.h"

#include "book/boxnumber.h"
#include "book/colourvalue.h"
#include "widgets/qtcolour.h"
#include "book/placement.h"
#include "board/pagetile.h"
#include "list/picturelist.h"
#include "thumbnails/thumbnailcache.h"
#include "thumbnails/thumbnailloader.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

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
    const int bucket = thumbnailBucket();
    m_tileSize = pixels;
    if (thumbnailBucket() != bucket) {
        for (const QString &path : std::as_const(m_requested))
            m_loader.cancel(path, bucket);
        m_requested.clear();
    }
    updateGrid();
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
