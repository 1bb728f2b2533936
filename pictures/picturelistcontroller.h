#pragma once

#include "pictures/listcommands.h"

#include <QObject>
#include <QStringList>
#include <QUndoStack>

#include <array>
#include <vector>

class QAction;
class QListView;
class QMenu;
class QWidget;

namespace tarnwick {

class LinkLabel;
class PictureListModel;

// Arranges the entries of List1: the five commands (labels, keys and context
// menu), the whole-list orders, drag and drop, and their undo history. Every
// change reads the selection as ranges, replaces the model's names in one
// reset and restores the selection and the current entry with one selection
// each; each change is one step on the undo stack.
class PictureListController : public QObject
{
    Q_OBJECT

public:
    // Sets model on view if it is not already, configures the view as List1
    // and gives it the keys and the context menu.
    PictureListController(QListView *view, PictureListModel *model, QObject *parent = nullptr);
    ~PictureListController() override;

    // Extended selection, uniform item sizes, List1's tooltip, no editing.
    static void configureView(QListView *view);

    // A new list: nothing selected, no current entry, nothing to undo.
    void refill(const QStringList &names);
    ListEditOutcome run(ListCommand command);
    ListEditOutcome arrange(ListOrder order);
    // Arranges the list by a book's pages as one step (see arrangeByPages);
    // the pages the list lacks go to missing.
    ListEditOutcome arrangeByPages(const QStringList &pages, const QString &text, QStringList *missing = nullptr);
    // Moves the selected entries into the gap before row, as a drop does.
    ListEditOutcome moveSelectedTo(int row);

    // The command label (LinkLabel with caption and tooltip) wired to run().
    LinkLabel *createCommandLabel(ListCommand command, QWidget *parent);

    // Adds entries after the last section of the context menu, behind a separator.
    void addMenuSection(const QList<QAction *> &actions);

    QUndoStack *undoStack() { return &m_undo; }
    QMenu *contextMenu() const { return m_menu; }

    int currentRow() const;       // -1 when there is no current entry
    QString currentEntry() const; // "" when there is no current entry
    std::vector<bool> selectedFlags() const;

    // The list as a step leaves it: its names, selected flags and current row.
    struct State
    {
        QStringList names;
        std::vector<bool> selected;
        int current = -1;
    };
    State state() const;
    // Shows a state in the view, keeping the scroll position.
    void show(const State &state);

private:
    // Pushes the step from before to the edit's result, if it changed anything.
    ListEditOutcome commit(const State &before, State after, const ListEdit &edit, const QString &text);
    void createActions();
    void showContextMenu(const QPoint &position);
    // Whether an action would change the list as it stands.
    void updateMenuActions();

    QListView *m_view;
    PictureListModel *m_model;
    QUndoStack m_undo;
    QMenu *m_menu = nullptr;
    std::array<QAction *, 5> m_commandActions{};
    std::array<QAction *, 3> m_orderActions{};
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
};

} // namespace tarnwick
