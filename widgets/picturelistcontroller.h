#pragma once

#include "list/listcommands.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <vector>

class QAction;
class QListView;
class QMenu;
class QWidget;

namespace tarnwick {

class LinkLabel;
class PictureList;

// Gives a view of a PictureList the list's keys, context menu and command
// labels: every command, order, drop and undo goes to the list, which runs it
// as one step. Moves made with a key or from the menu scroll the moved
// entries into view; a label click leaves the view where the user put it.
class PictureListController : public QObject
{
    Q_OBJECT

public:
    // Shows list in view (its model and its shared selection model),
    // configures the view as List1 and gives it the keys and the context menu.
    PictureListController(QListView *view, PictureList &list, QObject *parent = nullptr);
    ~PictureListController() override;

    // Extended selection, uniform item sizes, List1's tooltip, no editing.
    static void configureView(QListView *view);
    // Shows list's model and selection in view.
    static void showList(QListView *view, PictureList &list);

    // Runs a command; a move gives the view the keyboard focus.
    ListEditOutcome run(ListCommand command);

    // The command label (LinkLabel with caption and tooltip) wired to run().
    LinkLabel *createCommandLabel(ListCommand command, QWidget *parent);

    // Adds entries after the last section of the context menu, behind a separator.
    void addMenuSection(const QList<QAction *> &actions);

    QMenu *contextMenu() const { return m_menu; }

    // 移到第…页 (Ctrl+G): asks for the page and moves the selection there as one step.
    void askAndMoveToPage();
    QAction *moveToPageAction() const { return m_moveToPageAction; }

private:
    void createActions();
    void showContextMenu(const QPoint &position);
    // Whether an action would change the list as it stands.
    void updateMenuActions();
    // A move by key or menu: runs it and shows the moved entries.
    void runAndShow(ListCommand command);
    // Scrolls the selected entries into view, the first of them last.
    void showSelected();

    QListView *m_view;
    PictureList &m_list;
    QMenu *m_menu = nullptr;
    std::array<QAction *, 5> m_commandActions{};
    std::array<QAction *, 3> m_orderActions{};
    QAction *m_moveToPageAction = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
};

} // namespace tarnwick
