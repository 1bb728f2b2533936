#include "preview/previewcoordinator.h"

#include "list/picturelist.h"
#include "widgets/picturelistview.h"
#include "preview/frmshowpic.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace tarnwick {

namespace {

// Puts a top-level window's frame, title bar included, at corner.
//
// move() alone is not enough on X11. It turns the corner into a place for
// the client area with the frame margins the widget has cached, and that
// cache is refreshed only when the window is moved or resized. If the first
// such event was handled before the window manager had framed the window,
// the cached margins stay zero; move() then asks for the client area at the
// corner, with static gravity, and the title bar ends up above the screen.
// A frame position reaches the window manager as one (north-west gravity),
// whatever Qt knows of the margins. move() still comes first because it
// updates pos() at once, and the new preview is placed from pos() before the
// window manager has answered.
void moveFrameTo(QWidget *window, QPoint corner)
{
    window->move(corner);
    if (QWindow *handle = window->windowHandle())
        handle->setFramePosition(corner);
}

// Up, Down, Page Up, Page Down, Home and End, plain or from the keypad. With
// Alt they are List1's move commands, and with Shift or Ctrl they extend the
// selection: changes to the book's order and selection are made in the list,
// where the user sees them, not from the preview.
bool isListNavigationKey(const QKeyEvent &event)
{
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (event.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isFormLoaded(const QString &name)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->isVisible() && window->objectName() == name)
            return true;
    }
    return false;
}

PreviewCoordinator::PreviewCoordinator(QWidget *mainWindow, QCheckBox *check2, PictureListView *list1,
                                       PictureList &pictures, PreviewHost &host, QObject *parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
    , m_check2(check2)
    , m_list1(list1)
    , m_pictures(pictures)
    , m_host(host)
{
    // stateChanged, unlike clicked, also reports changes made in code: the
    // preview's own closing unticks the box and relies on this to close it.
    connect(m_check2, &QCheckBox::stateChanged, this, &PreviewCoordinator::check2Clicked);
    connect(m_list1, &QListView::clicked, this, &PreviewCoordinator::list1Clicked);
    connect(m_list1, &PictureListView::currentMovedByKey, this, &PreviewCoordinator::list1Clicked);
    // The preview shows the list's current entry, however it became current:
    // from the board, by a removal, an undo or a move.
    connect(m_pictures.selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PreviewCoordinator::followCurrentEntry);
    connect(&m_pictures, &PictureList::stepApplied, this, &PreviewCoordinator::followCurrentEntry);
}

PreviewCoordinator::~PreviewCoordinator()
{
    delete m_preview.data();
}

bool PreviewCoordinator::previewLoaded() const
{
    return isFormLoaded(frmShowPic::windowName());
}

void PreviewCoordinator::check2Clicked()
{
    // A partly checked box counts as unticked.
    if (m_check2->checkState() == Qt::Checked) {
        if (m_pictures.currentRow() < 0)
            return;
        // The new preview is placed from the main window's moved position.
        moveFrameTo(m_mainWindow, QPoint(0, 0));
        showPreview();
        m_preview->FormLoad();
    } else if (previewLoaded()) {
        closePreview();
    }
}

void PreviewCoordinator::list1Clicked()
{
    if (m_check2->checkState() != Qt::Checked)
        return;
    if (!previewLoaded() || !m_preview)
        showPreview();
    m_preview->FormLoad();
}

void PreviewCoordinator::followCurrentEntry()
{
    if (m_check2->checkState() != Qt::Checked || !m_preview || !previewLoaded())
        return;
    const QString current = m_pictures.currentEntry();
    if (!current.isEmpty() && current != m_preview->shownEntry())
        m_preview->FormLoad();
}

void PreviewCoordinator::showCurrentEntry()
{
    if (m_check2->checkState() == Qt::Checked)
        list1Clicked();
    else
        m_check2->setCheckState(Qt::Checked);
}

void PreviewCoordinator::mainWindowClosing()
{
    if (previewLoaded())
        closePreview();
}

bool PreviewCoordinator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == m_preview.data() && m_list1->isEnabled()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isListNavigationKey(*key)) {
            // List1 handles the key as if it had been pressed there: it moves
            // the current entry and the selection, and its moved-by-key signal
            // loads the preview. The preview keeps the focus.
            QKeyEvent forwarded(QEvent::KeyPress, key->key(), key->modifiers(), key->text(),
                                key->isAutoRepeat(), ushort(key->count()));
            QCoreApplication::sendEvent(m_list1, &forwarded);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PreviewCoordinator::showPreview()
{
    // A hidden preview has been closed and is waiting for its deferred
    // deletion; it must not come back, so a fresh one takes its place.
    if (m_preview && m_preview->isHidden()) {
        m_preview->deleteLater();
        m_preview.clear();
    }
    if (!m_preview) {
        m_preview = new frmShowPic(m_host);
        m_preview->installEventFilter(this);
    }
    m_preview->show();
}

void PreviewCoordinator::closePreview()
{
    if (m_preview)
        m_preview->close();
}

} // namespace tarnwick
