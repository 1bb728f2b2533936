#include "board/frmpageboard.h"

#include "board/boardnotice.h"
#include "board/boardplacement.h"
#include "board/pageboardview.h"
#include "list/picturelist.h"
#include "widgets/picturelistcontroller.h"
#include "thumbnails/thumbnailcache.h"
#include "thumbnails/thumbnailloader.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QItemSelectionModel>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

namespace tarnwick {

namespace {

const QString sizeKey = QStringLiteral("board/size");
const QString tileSizeKey = QStringLiteral("board/tileSize");
const QString placeKey = QStringLiteral("board/place");
const QSize defaultSize(900, 640);
const QSize smallestSize(200, 160);
// Enough for a screen of the largest tiles, and a bound on the whole list's
// thumbnails however far it is scrolled.
constexpr qsizetype thumbnailMemory = 96 * 1024 * 1024;

} // namespace

frmPageBoard::frmPageBoard(PictureList &list, WorkQueue &queue, const QString &settingsPath,
                           const QString &thumbnailRoot, QWidget *owner)
    // A dialog, not a plain window: only a dialog is made transient for its owner on X11.
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_list(list)
    , m_settingsPath(settingsPath)
{
    setObjectName(QStringLiteral("frmPageBoard"));
    m_loader = new ThumbnailLoader(ThumbnailCache(thumbnailRoot), thumbnailMemory, queue, this);
    m_view = new PageBoardView(list, *m_loader, this);
    m_view->setObjectName(QStringLiteral("PageBoard"));
    m_view->setAccessibleName(QStringLiteral(u"页面总览"));
    m_controller = new PictureListController(m_view, list, this);
    m_problemNotice = new BoardNotice(QStringLiteral(u"导出电子书文件夹…"), this);
    m_problemNotice->setObjectName(QStringLiteral("problemNotice"));
    connect(m_problemNotice, &BoardNotice::buttonClicked, this, &frmPageBoard::exportRequested);
    m_convertNotice = new BoardNotice(QStringLiteral(u"转换为JPEG…"), this);
    m_convertNotice->setObjectName(QStringLiteral("convertNotice"));
    connect(m_convertNotice, &BoardNotice::buttonClicked, this, &frmPageBoard::convertRequested);
    m_joinedNotice = new BoardNotice(QString(), this);
    m_joinedNotice->setObjectName(QStringLiteral("joinedNotice"));
    // Any later step (an undo of the addition too) makes the count old.
    connect(&m_list, &PictureList::stepApplied, m_joinedNotice, [this] { m_joinedNotice->setText(QString()); });
    // A written picture's thumbnail is made again.
    connect(&m_list, &PictureList::filesChanged, this, [this](const QStringList &names) {
        for (const QString &name : names)
            m_loader->forget(m_list.folder() + name);
        m_view->viewport()->update();
    });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_joinedNotice);
    layout->addWidget(m_problemNotice);
    layout->addWidget(m_convertNotice);
    layout->addWidget(m_view);
    connect(&m_list, &PictureList::factsChanged, this, &frmPageBoard::noteFacts);
    connect(m_list.model(), &QAbstractItemModel::modelReset, this, &frmPageBoard::recountProblems);
    connect(m_list.model(), &QAbstractItemModel::rowsRemoved, this, &frmPageBoard::recountProblems);
    connect(m_list.model(), &QAbstractItemModel::rowsInserted, this, &frmPageBoard::recountProblems);
    recountProblems();

    const QSettings stored(m_settingsPath, QSettings::IniFormat);
    resize(stored.value(sizeKey, defaultSize).toSize().expandedTo(smallestSize));
    if (stored.contains(placeKey))
        m_place = stored.value(placeKey).toPoint();
    m_view->setTileSize(stored.value(tileSizeKey, kDefaultTileSize).toInt());

    setWindowTitle(titleFor(m_list.folder()));
    connect(m_list.model(), &QAbstractItemModel::modelReset, this,
            [this] { setWindowTitle(titleFor(m_list.folder())); });

    const auto shortcut = [this](const QKeySequence &keys, auto slot) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_F4), [this] { close(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    shortcut(QKeySequence::ZoomIn, [this] { zoom(1); });
    // Ctrl+plus without Shift, as the key is labelled on most keyboards.
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoom(1); });
    shortcut(QKeySequence::ZoomOut, [this] { zoom(-1); });
    connect(m_view, &PageBoardView::zoomRequested, this, &frmPageBoard::zoom);
    connect(m_view, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        m_list.selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        Q_EMIT pageActivated();
    });
}

frmPageBoard::~frmPageBoard()
{
    // The quit command ends the program without closing its windows.
    if (isVisible())
        saveLayout();
}

QString frmPageBoard::titleFor(const QString &folder)
{
    return QStringLiteral(u"页面总览 - ") + folder;
}

void frmPageBoard::setBookSettings(const BookSettings &inputs)
{
    m_view->setBookSettings(inputs);
}

int frmPageBoard::tileSize() const
{
    return m_view->tileSize();
}

void frmPageBoard::zoom(int steps)
{
    m_view->setTileSize(m_view->tileSize() + steps * kTileStep);
}

void frmPageBoard::noteFacts(const QStringList &names)
{
    const qsizetype before = m_problems.size();
    for (const QString &name : names) {
        if (m_view->problemOf(name))
            m_problems.insert(name);
        else
            m_problems.remove(name);
    }
    if (m_problems.size() != before)
        showProblemCount();
}

void frmPageBoard::recountProblems()
{
    m_problems.clear();
    for (const QString &name : m_list.names()) {
        if (m_view->problemOf(name))
            m_problems.insert(name);
    }
    showProblemCount();
}

void frmPageBoard::showProblemCount()
{
    m_problemNotice->setText(m_problems.isEmpty()
                                 ? QString()
                                 : QStringLiteral(u"有%1页在电子书中无法正常显示").arg(m_problems.size()));
}

void frmPageBoard::setUnlistedPictureCount(qsizetype count)
{
    m_convertNotice->setText(count > 0 ? QStringLiteral(u"目录中还有%1张其他格式的图片未列出").arg(count) : QString());
}

void frmPageBoard::showJoined(int count)
{
    m_joinedNotice->setText(QStringLiteral(u"新增%1张图片").arg(count));
}

void frmPageBoard::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        placeOnScreen();
    QWidget::showEvent(event);
}

void frmPageBoard::placeOnScreen()
{
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect ownerFrame = owner ? owner->frameGeometry() : QRect();
    // Before its first showing the window's frame is not known: the owner's
    // frame, a window of the same desktop, stands in for it.
    QMargins frame(0, 0, 0, 0);
    if (owner && owner->isVisible()) {
        const QRect inner = owner->geometry();
        frame = QMargins(inner.left() - ownerFrame.left(), inner.top() - ownerFrame.top(),
                         ownerFrame.right() - inner.right(), ownerFrame.bottom() - inner.bottom());
    }
    const QSize outer = size().grownBy(frame);
    // The screen the remembered place is on, else the owner's.
    QScreen *screen = m_place ? QGuiApplication::screenAt(QRect(*m_place, outer).center()) : nullptr;
    if (!screen)
        screen = owner ? owner->screen() : this->screen();
    if (!screen)
        return;
    const QRect placed = placeBoardWindow(screen->availableGeometry(), ownerFrame, outer, m_place,
                                          smallestSize.grownBy(frame));
    resize(placed.size().shrunkBy(frame));
    move(placed.topLeft());
}

void frmPageBoard::closeEvent(QCloseEvent *event)
{
    // A closed board makes no thumbnails; the open one asks again.
    m_loader->cancelAll();
    m_place = pos();
    saveLayout();
    event->accept();
}

void frmPageBoard::saveLayout() const
{
    QSettings stored(m_settingsPath, QSettings::IniFormat);
    stored.setValue(sizeKey, size());
    stored.setValue(placeKey, pos());
    stored.setValue(tileSizeKey, m_view->tileSize());
}

} // namespace tarnwick
