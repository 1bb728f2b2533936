#pragma once

#include "book/boxnumber.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <vector>

namespace tarnwick {

// The five commands that arrange the picture list.
enum class ListCommand { MoveToTop, MoveUp, MoveToBottom, MoveDown, Remove };

enum class ListEditOutcome {
    Unchanged, // nothing to do: empty list, nothing selected, or the guard at the edge
    Moved,     // entries moved: the list takes the keyboard focus
    Removed,   // entries removed: the focus stays where it was
};

// What a command did. origin[newRow] is the row the entry came from; empty when unchanged.
struct ListEdit {
    ListEditOutcome outcome = ListEditOutcome::Unchanged;
    std::vector<int> origin;
};

// Each command rewrites names and selected (one flag per name) in one O(n) pass.
// A moved entry loses the blanks at both ends and stays selected; remove never alters
// the texts of the entries it keeps.
ListEdit moveToTop(QStringList &names, std::vector<bool> &selected);
ListEdit moveUp(QStringList &names, std::vector<bool> &selected);
ListEdit moveToBottom(QStringList &names, std::vector<bool> &selected);
ListEdit moveDown(QStringList &names, std::vector<bool> &selected);
ListEdit removeSelected(QStringList &names, std::vector<bool> &selected);
ListEdit applyListCommand(ListCommand command, QStringList &names, std::vector<bool> &selected);

// Orders for the whole list: as a fresh scan would list the entries, with
// runs of digits compared as numbers (1, 2, ... 10), or the current order
// backwards. Every entry keeps its text and its selected flag; the outcome is
// Moved, or Unchanged when the list already stands in that order.
enum class ListOrder { Name, Numeric, Reverse };
ListEdit arrangeList(ListOrder order, QStringList &names, std::vector<bool> &selected,
                     const QLocale &locale = QLocale());

// Arranges the list by a book's pages: the pages the list holds come first,
// in the book's order (a page the book shows twice is listed twice); the
// entries the book does not name follow in their current order and are the
// ones selected. The book's pages the list lacks are left out and go to
// missing, each once, in the book's order.
ListEdit arrangeByPages(const QStringList &pages, QStringList &names, std::vector<bool> &selected,
                        QStringList *missing = nullptr);

// Moves the selected entries, in their order, to stand where the gap before
// row is (row == count: the end), as a drag and drop does. They stay
// selected and keep their texts.
ListEdit moveSelectedTo(qsizetype row, QStringList &names, std::vector<bool> &selected);

// Moves the selected entries, together and in their order, so that the first
// of them stands at page (1 = the first) of the resulting list; a page past
// the last place they fit puts them at the end, one before 1 at the start.
// Texts stay as they are; Unchanged when they already stand there.
ListEdit moveSelectedToPage(int page, QStringList &names, std::vector<bool> &selected);
// The last page the selection's first entry can be moved to: count - selected + 1.
int lastPageForSelection(const std::vector<bool> &selected);


// One list command as the window offers it: label caption and tooltip, key
// (while the list has the focus), context-menu text, and what it does.
struct ListCommandEntry
{
    ListCommand command;
    QStringView caption;
    QStringView toolTip;
    QKeyCombination key;
    QStringView menuText;
    ListEdit (*apply)(QStringList &names, std::vector<bool> &selected);
};
// The five commands in the order of the context menu: the moves from top to bottom, then remove.
const std::array<ListCommandEntry, 5> &listCommandTable();
const ListCommandEntry &listCommandEntry(ListCommand command);

// The captions and tooltips of the five command labels, and the picture list's tooltip.
QString listCommandCaption(ListCommand command);
QString listCommandToolTip(ListCommand command);
QString pictureListToolTip();
// The entries of the picture list's context menu, with their access keys.
QString listCommandMenuText(ListCommand command);
QString listOrderMenuText(ListOrder order);

// "Move to page ..." as the list's menu and keys offer it (Ctrl+G): its name
// in the history, menu text, key and the question that asks for the page.
QString moveToPageText();
QString moveToPageMenuText();
QKeyCombination moveToPageKey();
QString moveToPagePrompt(int lastPage);

} // namespace tarnwick
