#include "pictures/picturelistcontroller.h"

#include "pictures/linklabel.h"
#include "pictures/picturelistmodel.h"
#include "pictures/picturelistview.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QUndoCommand>

namespace tarnwick {

namespace {

const QString undoText = QStringLiteral(u"撤销(&Z)");
const QString redoText = QStringLiteral(u"重做(&Y)");

// One change of the list. Both states are kept whole: the name lists share
// their strings with the model, so a step costs little more than its row
// pointers, and undo gives back exactly the list and selection there were.
class ListStep : public QUndoCommand
{
public:
    ListStep(PictureListController &controller, PictureListController::State before,
             PictureListController::State after, const QString &text)
        : QUndoCommand(text)
        , m_controller(controller)
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
    }

    void redo() override { m_controller.show(m_after); }
    void undo() override { m_controller.show(m_before); }

private:
    PictureListController &m_controller;
    PictureListController::State m_before;
    PictureListController::State m_after;
};

// Where the entry at oldRow stands after an edit; -1 when it is gone.
int followRow(const std::vector<int> &origin, int oldRow)
{
    if (oldRow < 0)
        return -1;
    for (size_t row = 0; row < origin.size(); ++row)
        if (origin[row] == oldRow)
            return int(row);
    return -1;
}

// The menu lists the moves from top to bottom, then remove.
constexpr ListCommand menuCommands[] = {ListCommand::MoveToTop, ListCommand::MoveUp, ListCommand::MoveDown,
                                        ListCommand::MoveToBottom, ListCommand::Remove};
constexpr ListOrder menuOrders[] = {ListOrder::Name, ListOrder::Numeric, ListOrder::Reverse};

QKeySequence commandShortcut(ListCommand command)
{
    switch (command) {
    case ListCommand::MoveToTop:
        return QKeySequence(Qt::ALT | Qt::Key_Home);
    case ListCommand::MoveUp:
        return QKeySequence(Qt::ALT | Qt::Key_Up);
    case ListCommand::MoveToBottom:
        return QKeySequence(Qt::ALT | Qt::Key_End);
    case ListCommand::MoveDown:
        return QKeySequence(Qt::ALT | Qt::Key_Down);
    case ListCommand::Remove:
        return QKeySequence(Qt::Key_Delete);
    }
    return {};
}

} // namespace

PictureListController::PictureListController(QListView *view, PictureListModel *model, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model)
{
    if (m_view->model() != m_model)
        m_view->setModel(m_model);
    configureView(m_view);
    // Each step holds the row pointers of two lists: bound the history.
    m_undo.setUndoLimit(500);
    createActions();
    if (auto *listView = qobject_cast<PictureListView *>(m_view))
        connect(listView, &PictureListView::selectionDropped, this, &PictureListController::moveSelectedTo);
}

PictureListController::~PictureListController()
{
    // The steps refer to this controller; drop them before it goes.
    m_undo.clear();
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
    for (const ListCommand command : menuCommands) {
        QAction *action = addAction(listCommandMenuText(command), {commandShortcut(command)});
        m_commandActions[size_t(command)] = action;
        connect(action, &QAction::triggered, this, [this, command] { run(command); });
    }
    m_menu->addSeparator();
    m_undoAction = addAction(undoText, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    m_redoAction = addAction(redoText, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                        QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_undoAction, &QAction::triggered, &m_undo, &QUndoStack::undo);
    connect(m_redoAction, &QAction::triggered, &m_undo, &QUndoStack::redo);
    m_menu->addSeparator();
    for (const ListOrder order : menuOrders) {
        QAction *action = addAction(listOrderMenuText(order), {});
        m_orderActions[size_t(order)] = action;
        connect(action, &QAction::triggered, this, [this, order] { arrange(order); });
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
    const State now = state();
    const auto changes = [&now](auto edit) {
        QStringList names = now.names;
        std::vector<bool> selected = now.selected;
        return edit(names, selected).outcome != ListEditOutcome::Unchanged;
    };
    for (const ListCommand command : menuCommands)
        m_commandActions[size_t(command)]->setEnabled(changes([command](QStringList &names, std::vector<bool> &flags) {
            return applyListCommand(command, names, flags);
        }));
    for (const ListOrder order : menuOrders)
        m_orderActions[size_t(order)]->setEnabled(changes([order](QStringList &names, std::vector<bool> &flags) {
            return arrangeList(order, names, flags);
        }));
    m_undoAction->setEnabled(m_undo.canUndo());
    m_redoAction->setEnabled(m_undo.canRedo());
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

void PictureListController::refill(const QStringList &names)
{
    m_undo.clear();
    m_model->setNames(names);
    m_view->selectionModel()->clear();
}

std::vector<bool> PictureListController::selectedFlags() const
{
    // selection() as ranges: selectedRows() is quadratic in the number of separate rows.
    std::vector<bool> flags(size_t(m_model->rowCount()), false);
    const QItemSelection selection = m_view->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            flags[size_t(row)] = true;
    }
    return flags;
}

PictureListController::State PictureListController::state() const
{
    return {m_model->names(), selectedFlags(), currentRow()};
}

void PictureListController::show(const State &state)
{
    // The reset scrolls nowhere by itself, but the layout it drops would: keep the place.
    const int scroll = m_view->verticalScrollBar()->value();
    // The whole list is new: one repaint afterwards instead of the region of
    // every restored selection range (16,384 of them take 30 ms).
    m_view->setUpdatesEnabled(false);
    m_model->setNames(state.names);

    QItemSelection selection;
    const int count = int(state.selected.size());
    for (int row = 0; row < count;) {
        if (!state.selected[size_t(row)]) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < count && state.selected[size_t(row)])
            ++row;
        selection.append(QItemSelectionRange(m_model->index(first), m_model->index(row - 1)));
    }
    QItemSelectionModel *selectionModel = m_view->selectionModel();
    if (!selection.isEmpty())
        selectionModel->select(selection, QItemSelectionModel::Select);
    if (state.current >= 0)
        selectionModel->setCurrentIndex(m_model->index(state.current), QItemSelectionModel::NoUpdate);
    m_view->verticalScrollBar()->setValue(scroll);
    m_view->setUpdatesEnabled(true);
}

ListEditOutcome PictureListController::commit(const State &before, State after, const ListEdit &edit,
                                              const QString &text)
{
    if (edit.outcome == ListEditOutcome::Unchanged)
        return edit.outcome;
    // The current entry follows its entry; it is gone when its entry was removed.
    after.current = followRow(edit.origin, before.current);
    m_undo.push(new ListStep(*this, before, std::move(after), text));
    if (edit.outcome == ListEditOutcome::Moved)
        m_view->setFocus(Qt::OtherFocusReason);
    return edit.outcome;
}

ListEditOutcome PictureListController::run(ListCommand command)
{
    const State before = state();
    State after = before;
    const ListEdit edit = applyListCommand(command, after.names, after.selected);
    return commit(before, std::move(after), edit, listCommandCaption(command));
}

ListEditOutcome PictureListController::arrange(ListOrder order)
{
    const State before = state();
    State after = before;
    const ListEdit edit = arrangeList(order, after.names, after.selected);
    return commit(before, std::move(after), edit, listOrderMenuText(order));
}

ListEditOutcome PictureListController::arrangeByPages(const QStringList &pages, const QString &text,
                                                     QStringList *missing)
{
    const State before = state();
    State after = before;
    const ListEdit edit = tarnwick::arrangeByPages(pages, after.names, after.selected, missing);
    return commit(before, std::move(after), edit, text);
}

ListEditOutcome PictureListController::moveSelectedTo(int row)
{
    const State before = state();
    State after = before;
    const ListEdit edit = tarnwick::moveSelectedTo(row, after.names, after.selected);
    return commit(before, std::move(after), edit, QString());
}

LinkLabel *PictureListController::createCommandLabel(ListCommand command, QWidget *parent)
{
    auto *label = new LinkLabel(listCommandCaption(command), parent);
    label->setToolTip(listCommandToolTip(command));
    connect(label, &LinkLabel::clicked, this, [this, command] { run(command); });
    return label;
}

int PictureListController::currentRow() const
{
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString PictureListController::currentEntry() const
{
    const int row = currentRow();
    return row >= 0 ? m_model->names().at(row) : QString();
}

} // namespace tarnwick
