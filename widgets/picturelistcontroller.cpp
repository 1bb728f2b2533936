#include "widgets/picturelistcontroller.h"

#include "widgets/linklabel.h"
#include "list/picturelist.h"
#include "widgets/picturelistview.h"

#include <QAction>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>
#include <memory>

namespace tarnwick {

namespace {

const QString undoText = QStringLiteral(u"撤销(&Z)");
const QString redoText = QStringLiteral(u"重做(&Y)");

constexpr ListOrder menuOrders[] = {ListOrder::Name, ListOrder::Numeric, ListOrder::Reverse};

} // namespace

PictureListController::PictureListController(QListView *view, PictureList &list, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_list(list)
{
    showList(m_view, m_list);
    configureView(m_view);
    createActions();
    if (auto *listView = qobject_cast<PictureListView *>(m_view))
        connect(listView, &PictureListView::selectionDropped, &m_list, &PictureList::moveSelectedTo);
}

PictureListController::~PictureListController() = default;

void PictureListController::showList(QListView *view, PictureList &list)
{
    if (view->model() != list.model())
        view->setModel(list.model());
    // The view's own selection model goes: every view shares the list's.
    QItemSelectionModel *own = view->selectionModel();
    view->setSelectionModel(list.selectionModel());
    if (own && own != list.selectionModel())
        own->deleteLater();
    // Only a view that was updating is turned back on.
    auto paused = std::make_shared<bool>(false);
    QObject::connect(&list, &PictureList::stepAboutToApply, view, [view, paused] {
        *paused = view->updatesEnabled();
        view->setUpdatesEnabled(false);
    });
    QObject::connect(&list, &PictureList::stepApplied, view, [view, paused] {
        if (*paused)
            view->setUpdatesEnabled(true);
    });
}

void PictureListController::configureView(QListView *view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);
    view->setToolTip(pictureListToolTip());
}

void PictureListController::createActions()
{
    m_menu = new QMenu(m_view);
    const auto addAction = [this](const QString &text, const QList<QKeySequence> &keys) {
        auto *action = new QAction(text, m_view);
        action->setShortcuts(keys);
        // The keys act while the list has the focus, and only there.
        action->setShortcutContext(Qt::WidgetShortcut);
        m_view->addAction(action);
        m_menu->addAction(action);
        return action;
    };
    for (const ListCommandEntry &entry : listCommandTable()) {
        QAction *action = addAction(entry.menuText.toString(), {QKeySequence(entry.key)});
        m_commandActions[size_t(entry.command)] = action;
        connect(action, &QAction::triggered, this, [this, command = entry.command] { runAndShow(command); });
        // Moving to a page follows the moves, before remove.
        if (entry.command == ListCommand::MoveToBottom) {
            m_moveToPageAction = addAction(moveToPageMenuText(), {QKeySequence(moveToPageKey())});
            connect(m_moveToPageAction, &QAction::triggered, this, &PictureListController::askAndMoveToPage);
        }
    }
    m_menu->addSeparator();
    m_undoAction = addAction(undoText, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    m_redoAction = addAction(redoText, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                        QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_undoAction, &QAction::triggered, this, [this] {
        if (ListHistory *history = m_list.history())
            history->undo();
    });
    connect(m_redoAction, &QAction::triggered, this, [this] {
        if (ListHistory *history = m_list.history())
            history->redo();
    });
    m_menu->addSeparator();
    for (const ListOrder order : menuOrders) {
        QAction *action = addAction(listOrderMenuText(order), {});
        m_orderActions[size_t(order)] = action;
        connect(action, &QAction::triggered, &m_list, [this, order] { m_list.arrange(order); });
    }

    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &PictureListController::showContextMenu);
}

void PictureListController::addMenuSection(const QList<QAction *> &actions)
{
    m_menu->addSeparator();
    m_menu->addActions(actions);
}

void PictureListController::updateMenuActions()
{
    const PictureList::State now = m_list.state();
    const auto changes = [&now](auto edit) {
        QStringList names = now.names;
        std::vector<bool> selected = now.selected;
        return edit(names, selected).outcome != ListEditOutcome::Unchanged;
    };
    for (const ListCommandEntry &entry : listCommandTable())
        m_commandActions[size_t(entry.command)]->setEnabled(changes(entry.apply));
    for (const ListOrder order : menuOrders)
        m_orderActions[size_t(order)]->setEnabled(changes([order](QStringList &names, std::vector<bool> &flags) {
            return arrangeList(order, names, flags);
        }));
    const qsizetype selectedCount = std::count(now.selected.cbegin(), now.selected.cend(), true);
    m_moveToPageAction->setEnabled(selectedCount > 0 && selectedCount < now.names.size());
    const ListHistory *history = m_list.history();
    m_undoAction->setEnabled(history && history->canUndo());
    m_redoAction->setEnabled(history && history->canRedo());
}

void PictureListController::showContextMenu(const QPoint &position)
{
    updateMenuActions();
    m_menu->exec(m_view->viewport()->mapToGlobal(position));
    // The keys stay live between menus; a command with nothing to do does
    // nothing on its own.
    for (QAction *action : m_menu->actions())
        action->setEnabled(true);
}

ListEditOutcome PictureListController::run(ListCommand command)
{
    // A removal makes another entry current, which would scroll the view to
    // it: the view stays where the user put it.
    const int scroll = m_view->verticalScrollBar()->value();
    const ListEditOutcome outcome = m_list.run(command);
    m_view->verticalScrollBar()->setValue(scroll);
    if (outcome == ListEditOutcome::Moved)
        m_view->setFocus(Qt::OtherFocusReason);
    return outcome;
}

void PictureListController::runAndShow(ListCommand command)
{
    if (run(command) != ListEditOutcome::Moved)
        return;
    showSelected();
}

void PictureListController::askAndMoveToPage()
{
    const std::vector<bool> selected = m_list.selectedFlags();
    const auto first = std::find(selected.cbegin(), selected.cend(), true);
    if (first == selected.cend())
        return;
    const int lastPage = lastPageForSelection(selected);
    bool ok = false;
    const int page = QInputDialog::getInt(m_view->window(), moveToPageText(), moveToPagePrompt(lastPage),
                                          std::min(int(first - selected.cbegin()) + 1, lastPage), 1, lastPage, 1,
                                          &ok);
    if (!ok || m_list.moveSelectedToPage(page) != ListEditOutcome::Moved)
        return;
    m_view->setFocus(Qt::OtherFocusReason);
    showSelected();
}

void PictureListController::showSelected()
{
    // The moved entries are the selected ones: the last, then the first, so
    // the first is in view when they do not all fit.
    const std::vector<bool> moved = m_list.selectedFlags();
    const auto first = std::find(moved.cbegin(), moved.cend(), true);
    const auto last = std::find(moved.crbegin(), moved.crend(), true);
    if (first == moved.cend())
        return;
    m_view->scrollTo(m_list.model()->index(int(moved.crend() - last) - 1));
    m_view->scrollTo(m_list.model()->index(int(first - moved.cbegin())));
}

LinkLabel *PictureListController::createCommandLabel(ListCommand command, QWidget *parent)
{
    auto *label = new LinkLabel(listCommandCaption(command), parent);
    label->setToolTip(listCommandToolTip(command));
    connect(label, &LinkLabel::clicked, this, [this, command] { run(command); });
    return label;
}

} // namespace tarnwick
