#include "widgets/linklabel.h"
#include "list/picturelist.h"
#include "widgets/undostackhistory.h"
#include "widgets/picturelistcontroller.h"
#include "list/picturelistmodel.h"
#include "widgets/picturelistview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QRandomGenerator>
#include <QTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace tarnwick;

Q_DECLARE_METATYPE(tarnwick::ListCommand)
Q_DECLARE_METATYPE(tarnwick::ListEditOutcome)

namespace {

// A shown window with List1 and a line edit to hold the focus elsewhere.
struct Window {
    QWidget window;
    PictureListView *view = nullptr;
    QLineEdit *other = nullptr;
    UndoStackHistory history;
    PictureList list;
    PictureListModel &model = *list.model();
    std::unique_ptr<PictureListController> controller;

    Window()
    {
        list.setHistory(&history);
        auto *layout = new QVBoxLayout(&window);
        view = new PictureListView(&window);
        view->setObjectName(QStringLiteral("List1"));
        other = new QLineEdit(&window);
        layout->addWidget(view);
        layout->addWidget(other);
        controller = std::make_unique<PictureListController>(view, list);
        window.resize(300, 400);
        window.show();
    }

    bool exposed() { return QTest::qWaitForWindowExposed(&window); }

    void select(const QList<int> &rows)
    {
        QItemSelectionModel *selection = view->selectionModel();
        for (int row : rows)
            selection->select(model.index(row), QItemSelectionModel::Select);
    }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        const std::vector<bool> flags = list.selectedFlags();
        for (size_t i = 0; i < flags.size(); ++i)
            if (flags[i])
                rows.append(int(i));
        return rows;
    }

    void focusElsewhere()
    {
        window.activateWindow();
        other->setFocus(Qt::OtherFocusReason);
    }
};

QStringList letters(const QString &text)
{
    QStringList names;
    for (QChar c : text)
        names.append(QString(c));
    return names;
}

} // namespace

class tst_PictureListController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void undoRedoReplaysRecordedLists();
    void keysRunTheLabelCommands_data();
    void keysRunTheLabelCommands();
    void undoAndRedoKeys();
    void contextMenu();
    void dragMovesTheSelection();
    void dragFromUnselectedEntrySelectsARun();
    void scrollPositionIsKept_data();
    void scrollPositionIsKept();
    void refillClearsSelectionAndCurrent();
    void commands_data();
    void commands();
    void currentFollowsItsEntry_data();
    void currentFollowsItsEntry();
    void keyMovesScrollIntoView_data();
    void keyMovesScrollIntoView();
    void secondViewKeepsItsPlace();
    void removeLeavesNextEntryCurrent_data();
    void removeLeavesNextEntryCurrent();
    void labelClickRunsCommand_data();
    void labelClickRunsCommand();
};

void tst_PictureListController::refillClearsSelectionAndCurrent()
{
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(3), QItemSelectionModel::NoUpdate);
    QCOMPARE(w.list.currentRow(), 3);

    w.list.setListing(QString(), letters(QStringLiteral("ABC")));
    QCOMPARE(w.model.names(), letters(QStringLiteral("ABC")));
    QVERIFY(w.selectedRows().isEmpty());
    QVERIFY(!w.view->selectionModel()->hasSelection());
    QCOMPARE(w.list.currentRow(), -1);
    QCOMPARE(w.list.currentEntry(), QString());
}

void tst_PictureListController::commands_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<ListEditOutcome>("outcome");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QList<int>>("selectedAfter");

    QTest::newRow("to bottom") << "PQRST" << QList<int>{1, 3} << ListCommand::MoveToBottom
                               << ListEditOutcome::Moved << "PRTQS" << QList<int>{3, 4};
    QTest::newRow("to top") << "PQRST" << QList<int>{1, 3} << ListCommand::MoveToTop
                            << ListEditOutcome::Moved << "QSPRT" << QList<int>{0, 1};
    QTest::newRow("up") << "PQRST" << QList<int>{1, 3} << ListCommand::MoveUp
                        << ListEditOutcome::Moved << "QPSRT" << QList<int>{0, 2};
    QTest::newRow("down") << "PQRST" << QList<int>{1, 3} << ListCommand::MoveDown
                          << ListEditOutcome::Moved << "PRQTS" << QList<int>{2, 4};
    QTest::newRow("remove") << "PQRST" << QList<int>{1, 3} << ListCommand::Remove
                            << ListEditOutcome::Removed << "PRT" << QList<int>{};
    QTest::newRow("top already first") << "PQRST" << QList<int>{0} << ListCommand::MoveToTop
                                       << ListEditOutcome::Unchanged << "PQRST" << QList<int>{0};
    QTest::newRow("bottom already last") << "PQRST" << QList<int>{4} << ListCommand::MoveToBottom
                                         << ListEditOutcome::Unchanged << "PQRST" << QList<int>{4};
    QTest::newRow("nothing selected") << "PQRST" << QList<int>{} << ListCommand::MoveUp
                                      << ListEditOutcome::Unchanged << "PQRST" << QList<int>{};
    QTest::newRow("remove nothing") << "PQRST" << QList<int>{} << ListCommand::Remove
                                    << ListEditOutcome::Unchanged << "PQRST" << QList<int>{};
    QTest::newRow("empty list") << "" << QList<int>{} << ListCommand::MoveDown
                                << ListEditOutcome::Unchanged << "" << QList<int>{};
}

void tst_PictureListController::commands()
{
    QFETCH(QString, before);
    QFETCH(QList<int>, selected);
    QFETCH(ListCommand, command);
    QFETCH(ListEditOutcome, outcome);
    QFETCH(QString, after);
    QFETCH(QList<int>, selectedAfter);

    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(before));
    w.select(selected);
    w.focusElsewhere();
    QTRY_VERIFY(w.other->hasFocus());

    QCOMPARE(w.controller->run(command), outcome);
    QCOMPARE(w.model.names(), letters(after));
    QCOMPARE(w.selectedRows(), selectedAfter);
    // The view's own selection agrees with the flags, row by row.
    for (int row = 0; row < w.model.rowCount(); ++row)
        QCOMPARE(w.view->selectionModel()->isSelected(w.model.index(row)), selectedAfter.contains(row));

    if (outcome == ListEditOutcome::Moved) {
        QTRY_VERIFY(w.view->hasFocus());
    } else {
        QCoreApplication::processEvents();
        QVERIFY(w.other->hasFocus());
        QVERIFY(!w.view->hasFocus());
    }
}

void tst_PictureListController::currentFollowsItsEntry_data()
{
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("currentAfter");

    // P Q R S T with Q and S selected.
    QTest::newRow("selected to bottom") << ListCommand::MoveToBottom << 3 << 4;
    QTest::newRow("unselected pushed up") << ListCommand::MoveToBottom << 4 << 2;
    QTest::newRow("selected to top") << ListCommand::MoveToTop << 3 << 1;
    QTest::newRow("unselected pushed down") << ListCommand::MoveToTop << 0 << 2;
}

void tst_PictureListController::currentFollowsItsEntry()
{
    QFETCH(ListCommand, command);
    QFETCH(int, current);
    QFETCH(int, currentAfter);

    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(current), QItemSelectionModel::NoUpdate);
    const QString entry = w.list.currentEntry();
    QCOMPARE(entry, letters(QStringLiteral("PQRST")).at(current));

    QVERIFY(w.controller->run(command) != ListEditOutcome::Unchanged);
    QCOMPARE(w.list.currentRow(), currentAfter);
    QCOMPARE(w.list.currentEntry(), entry);
}

void tst_PictureListController::keyMovesScrollIntoView_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("shownFirst");
    QTest::addColumn<int>("movedTo");
    QTest::newRow("Alt+End") << int(Qt::Key_End) << 10 << 0 << 399;
    QTest::newRow("Alt+Home") << int(Qt::Key_Home) << 390 << 380 << 0;
}

void tst_PictureListController::keyMovesScrollIntoView()
{
    QFETCH(int, key);
    QFETCH(int, selected);
    QFETCH(int, shownFirst);
    QFETCH(int, movedTo);
    Window w;
    QVERIFY(w.exposed());
    QStringList names;
    for (int i = 0; i < 400; ++i)
        names.append(QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    w.list.setListing(QString(), names);
    w.select({selected});
    w.view->scrollTo(w.model.index(shownFirst), QAbstractItemView::PositionAtTop);
    w.view->setFocus();
    QTest::keyClick(w.view, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(w.model.names().at(movedTo), names.at(selected));
    QVERIFY(w.view->viewport()->rect().contains(w.view->visualRect(w.model.index(movedTo))));
}

// A second view of the same list, as the page board is, shares the selection
// and keeps its own scroll position through a move made in List1 and its undo.
void tst_PictureListController::secondViewKeepsItsPlace()
{
    Window w;
    QListView second;
    PictureListController::showList(&second, w.list);
    w.window.layout()->addWidget(&second);
    QVERIFY(w.exposed());
    QStringList names;
    for (int i = 0; i < 400; ++i)
        names.append(QString::number(i));
    w.list.setListing(QString(), names);
    QCOMPARE(second.selectionModel(), w.view->selectionModel());
    second.scrollTo(w.model.index(100), QAbstractItemView::PositionAtTop);
    const int scroll = second.verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    w.select({200, 202});
    w.view->setFocus();
    QTest::keyClick(w.view, Qt::Key_Down, Qt::AltModifier);
    QApplication::processEvents();
    QCOMPARE(w.model.names().at(201), QStringLiteral("200"));
    QCOMPARE(second.verticalScrollBar()->value(), scroll);
    QCOMPARE(w.selectedRows(), (QList<int>{201, 203}));
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);
    QApplication::processEvents();
    QCOMPARE(second.verticalScrollBar()->value(), scroll);
    QCOMPARE(w.selectedRows(), (QList<int>{200, 202}));
}

void tst_PictureListController::removeLeavesNextEntryCurrent_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("left");

    // P Q R S T; the entry that took the first removed one's place, else the
    // new last; the next key goes on from there.
    QTest::newRow("in the middle") << QList<int>{1, 3} << 1 << int(Qt::Key_End) << "PR";
    QTest::newRow("at the end") << QList<int>{3, 4} << 2 << int(Qt::Key_Home) << "QR";
    QTest::newRow("everything") << QList<int>{0, 1, 2, 3, 4} << -1 << int(Qt::Key_End) << "";
}

// As in a file manager: after Delete the keys go on from where the removed
// entries were; Delete, End, Delete takes the last entry, not the first.
void tst_PictureListController::removeLeavesNextEntryCurrent()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, current);
    QFETCH(int, key);
    QFETCH(QString, left);
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select(selected);
    w.view->setFocus();
    QTest::keyClick(w.view, Qt::Key_Delete);
    QCOMPARE(w.list.currentRow(), current);
    QCOMPARE(w.selectedRows(), QList<int>());
    QTest::keyClick(w.view, Qt::Key(key));
    QTest::keyClick(w.view, Qt::Key_Delete);
    QCOMPARE(w.model.names(), letters(left));
}

void tst_PictureListController::labelClickRunsCommand_data()
{
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<QString>("after");

    QTest::newRow("to top") << ListCommand::MoveToTop << "QSPRT";
    QTest::newRow("up") << ListCommand::MoveUp << "QPSRT";
    QTest::newRow("to bottom") << ListCommand::MoveToBottom << "PRTQS";
    QTest::newRow("down") << ListCommand::MoveDown << "PRQTS";
    QTest::newRow("remove") << ListCommand::Remove << "PRT";
}

void tst_PictureListController::labelClickRunsCommand()
{
    QFETCH(ListCommand, command);
    QFETCH(QString, after);

    Window w;
    LinkLabel *label = w.controller->createCommandLabel(command, &w.window);
    w.window.layout()->addWidget(label);
    QVERIFY(w.exposed());
    QTRY_VERIFY(label->isVisible());
    QCOMPARE(label->text(), listCommandCaption(command));
    QCOMPARE(label->toolTip(), listCommandToolTip(command));

    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    QSignalSpy clicked(label, &LinkLabel::clicked);
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(w.model.names(), letters(after));
}

// A command keeps the list where the user scrolled it, also when the edit
// happens far from the rows in view.
void tst_PictureListController::scrollPositionIsKept_data()
{
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<int>("row");
    QTest::newRow("down, in view") << ListCommand::MoveDown << 160;
    QTest::newRow("to top, far below") << ListCommand::MoveToTop << 390;
    QTest::newRow("remove, far above") << ListCommand::Remove << 3;
    QTest::newRow("to bottom, in view") << ListCommand::MoveToBottom << 155;
}

void tst_PictureListController::scrollPositionIsKept()
{
    QFETCH(ListCommand, command);
    QFETCH(int, row);
    Window w;
    QVERIFY(w.exposed());
    QStringList names;
    for (int i = 0; i < 400; ++i)
        names.append(QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    w.list.setListing(QString(), names);
    w.view->scrollTo(w.model.index(150), QAbstractItemView::PositionAtTop);
    const int scroll = w.view->verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    // As a click leaves it: the entry selected and current.
    w.view->selectionModel()->setCurrentIndex(w.model.index(row), QItemSelectionModel::Select);
    w.view->verticalScrollBar()->setValue(scroll);
    QVERIFY(w.controller->run(command) != ListEditOutcome::Unchanged);
    QCOMPARE(w.view->verticalScrollBar()->value(), scroll);
    // Still so once the view has laid itself out again.
    QApplication::processEvents();
    QCOMPARE(w.view->verticalScrollBar()->value(), scroll);
}

// Random sequences of commands, orders and drops, with the selection changed
// between them; undoing every step gives back each recorded list and
// selection in turn, and redoing gives them forward again.
void tst_PictureListController::undoRedoReplaysRecordedLists()
{
    Window w;
    QVERIFY(w.exposed());
    QRandomGenerator random(1207);
    for (int round = 0; round < 20; ++round) {
        w.list.setListing(QString(), letters(QStringLiteral("ABCDEFGHIJKL")));
        QVERIFY(!w.history.stack()->canUndo());
        QList<PictureList::State> before;
        QList<PictureList::State> after;
        for (int step = 0; step < 25; ++step) {
            w.view->selectionModel()->clear();
            const int count = w.model.rowCount();
            QList<int> rows;
            for (int row = 0; row < count; ++row)
                if (random.bounded(3) == 0)
                    rows.append(row);
            w.select(rows);
            const PictureList::State start = w.list.state();
            const int what = int(random.bounded(9));
            ListEditOutcome outcome;
            if (what < 5)
                outcome = w.controller->run(ListCommand(what));
            else if (what < 8)
                outcome = w.list.arrange(ListOrder(what - 5));
            else
                outcome = w.list.moveSelectedTo(int(random.bounded(count + 1)));
            if (outcome == ListEditOutcome::Unchanged) {
                QCOMPARE(w.list.state().names, start.names);
                continue;
            }
            before.append(start);
            after.append(w.list.state());
        }
        QUndoStack *stack = w.history.stack();
        QCOMPARE(stack->count(), before.size());
        for (qsizetype i = before.size() - 1; i >= 0; --i) {
            stack->undo();
            QCOMPARE(w.model.names(), before[i].names);
            QCOMPARE(w.list.selectedFlags(), before[i].selected);
        }
        for (qsizetype i = 0; i < after.size(); ++i) {
            stack->redo();
            QCOMPARE(w.model.names(), after[i].names);
            QCOMPARE(w.list.selectedFlags(), after[i].selected);
        }
    }
}

void tst_PictureListController::keysRunTheLabelCommands_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("after");
    QTest::newRow("Alt+Home") << QKeyCombination(Qt::AltModifier, Qt::Key_Home) << "QSPRT";
    QTest::newRow("Alt+Up") << QKeyCombination(Qt::AltModifier, Qt::Key_Up) << "QPSRT";
    QTest::newRow("Alt+End") << QKeyCombination(Qt::AltModifier, Qt::Key_End) << "PRTQS";
    QTest::newRow("Alt+Down") << QKeyCombination(Qt::AltModifier, Qt::Key_Down) << "PRQTS";
    QTest::newRow("Delete") << QKeyCombination(Qt::NoModifier, Qt::Key_Delete) << "PRT";
}

// Each key does what its label does, selection and current entry included,
// while the list has the focus; elsewhere it does nothing.
void tst_PictureListController::keysRunTheLabelCommands()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, after);
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(3), QItemSelectionModel::NoUpdate);
    w.focusElsewhere();
    QTRY_VERIFY(w.other->hasFocus());
    QTest::keyClick(w.other, key.key(), key.keyboardModifiers());
    QCOMPARE(w.model.names(), letters(QStringLiteral("PQRST")));

    // What the label's command leaves, then undone.
    ListCommand command = ListCommand::MoveToTop;
    for (const ListCommand c : {ListCommand::MoveToTop, ListCommand::MoveUp, ListCommand::MoveToBottom,
                                ListCommand::MoveDown, ListCommand::Remove}) {
        QStringList names = letters(QStringLiteral("PQRST"));
        std::vector<bool> flags{false, true, false, true, false};
        applyListCommand(c, names, flags);
        if (names.join(QString()) == after)
            command = c;
    }
    w.controller->run(command);
    const PictureList::State byLabel = w.list.state();
    w.history.stack()->undo();
    w.focusElsewhere();

    w.view->setFocus();
    QTRY_VERIFY(w.view->hasFocus());
    QTest::keyClick(w.view, key.key(), key.keyboardModifiers());
    const PictureList::State byKey = w.list.state();
    QCOMPARE(byKey.names.join(QString()), after);
    QCOMPARE(byKey.names, byLabel.names);
    QCOMPARE(byKey.selected, byLabel.selected);
    QCOMPARE(byKey.current, byLabel.current);
}

void tst_PictureListController::undoAndRedoKeys()
{
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.view->setFocus();
    QTRY_VERIFY(w.view->hasFocus());
    w.select({4});
    QTest::keyClick(w.view, Qt::Key_Home, Qt::AltModifier);
    w.view->selectionModel()->clear();
    w.select({0, 1});
    QTest::keyClick(w.view, Qt::Key_Delete);
    QCOMPARE(w.model.names(), letters(QStringLiteral("QRS")));
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.model.names(), letters(QStringLiteral("TPQRS")));
    QCOMPARE(w.selectedRows(), (QList<int>{0, 1}));
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.model.names(), letters(QStringLiteral("PQRST")));
    QCOMPARE(w.selectedRows(), QList<int>{4});
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.model.names(), letters(QStringLiteral("TPQRS")));
    QTest::keyClick(w.view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.model.names(), letters(QStringLiteral("QRS")));
    // A new list starts a new history.
    w.list.setListing(QString(), letters(QStringLiteral("AB")));
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.model.names(), letters(QStringLiteral("AB")));
}

// The menu opens from the right button, the Menu key and Shift+F10, in its
// order, with only the entries enabled that would change something.
void tst_PictureListController::contextMenu()
{
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), QStringList{QStringLiteral("10.jpg"), QStringLiteral("2.jpg"), QStringLiteral("3.jpg")});
    w.select({0});
    w.view->setFocus();
    QTRY_VERIFY(w.view->hasFocus());

    QStringList shown;
    QStringList enabled;
    const auto readMenuThenClose = [&] {
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            shown.clear();
            enabled.clear();
            for (QAction *action : menu->actions()) {
                const QString text = action->isSeparator() ? QStringLiteral("-") : action->text();
                shown.append(text + (action->shortcut().isEmpty() ? QString() : u' ' + action->shortcut().toString()));
                if (action->isEnabled() && !action->isSeparator())
                    enabled.append(action->text());
            }
            menu->close();
        });
    };
    const QPoint onEntry = w.view->visualRect(w.model.index(0)).center();
    readMenuThenClose();
    QContextMenuEvent rightButton(QContextMenuEvent::Mouse, onEntry, w.view->viewport()->mapToGlobal(onEntry));
    QApplication::sendEvent(w.view->viewport(), &rightButton);
    QCOMPARE(shown, (QStringList{QStringLiteral(u"上移到顶部(&T) Alt+Home"), QStringLiteral(u"上移一行(&U) Alt+Up"),
                                 QStringLiteral(u"下移一行(&D) Alt+Down"), QStringLiteral(u"下移到底部(&B) Alt+End"),
                                 QStringLiteral(u"移到第…页(&G) Ctrl+G"), QStringLiteral(u"移除(&R) Del"), QStringLiteral("-"),
                                 QStringLiteral(u"撤销(&Z) Ctrl+Z"), QStringLiteral(u"重做(&Y) Ctrl+Shift+Z"),
                                 QStringLiteral("-"), QStringLiteral(u"按文件名排列(&N)"),
                                 QStringLiteral(u"按数字顺序排列(&S)"), QStringLiteral(u"倒序排列(&V)")}));
    // The first entry is selected: nothing moves up; 10 2 3 is already in
    // name order; nothing to undo yet.
    QCOMPARE(enabled, (QStringList{QStringLiteral(u"下移一行(&D)"), QStringLiteral(u"下移到底部(&B)"),
                                   QStringLiteral(u"移到第…页(&G)"), QStringLiteral(u"移除(&R)"), QStringLiteral(u"按数字顺序排列(&S)"),
                                   QStringLiteral(u"倒序排列(&V)")}));
    // Between menus the keys stay live, also those the menu showed disabled.
    w.window.activateWindow();
    w.view->setFocus();
    QTRY_VERIFY(w.view->hasFocus());
    w.view->selectionModel()->clear();
    w.select({2});
    QTest::keyClick(w.view, Qt::Key_Home, Qt::AltModifier);
    QCOMPARE(w.model.names().first(), QStringLiteral("3.jpg"));
    QTest::keyClick(w.view, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(w.model.names().first(), QStringLiteral("10.jpg"));

    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}) {
        w.window.activateWindow();
        w.view->setFocus();
        QTRY_VERIFY(w.view->hasFocus());
        shown.clear();
        readMenuThenClose();
        QTest::keyClick(w.view, key.key(), key.keyboardModifiers());
        QVERIFY2(!shown.isEmpty(), qPrintable(QKeySequence(key).toString()));
        QVERIFY(enabled.contains(QStringLiteral(u"撤销(&Z)")));
    }
}

// A press on a selected entry and a movement start a drag; the drop (which
// the offscreen platform cannot deliver: the real drag runs in the
// end-to-end test) carries every selected entry, in order, to the gap under
// the pointer as one step, and they stay selected.
void tst_PictureListController::dragMovesTheSelection()
{
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({0, 2});
    QWidget *viewport = w.view->viewport();
    const QPoint from = w.view->visualRect(w.model.index(2)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, QApplication::startDragDistance() + 2));
    QTest::mouseMove(viewport, from + QPoint(0, 2 * QApplication::startDragDistance() + 4));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from);
    QVERIFY(w.view->findChild<QDrag *>());
    QCOMPARE(w.selectedRows(), (QList<int>{0, 2}));

    const QRect s = w.view->visualRect(w.model.index(3));
    w.view->dropSelectionAt(QPoint(s.center().x(), s.bottom() - 1)); // the lower half of S: after it
    QCOMPARE(w.model.names().join(QString()), QStringLiteral("QSPRT"));
    QCOMPARE(w.selectedRows(), (QList<int>{2, 3}));
    w.view->dropSelectionAt(QPoint(s.center().x(), w.view->visualRect(w.model.index(0)).top() + 1));
    QCOMPARE(w.model.names().join(QString()), QStringLiteral("PRQST"));
    QCOMPARE(w.history.stack()->count(), 2);
    w.history.stack()->undo();
    w.history.stack()->undo();
    QCOMPARE(w.model.names().join(QString()), QStringLiteral("PQRST"));
    QCOMPARE(w.selectedRows(), (QList<int>{0, 2}));
}

void tst_PictureListController::dragFromUnselectedEntrySelectsARun()
{
    Window w;
    QVERIFY(w.exposed());
    w.list.setListing(QString(), letters(QStringLiteral("PQRST")));
    w.select({4});
    QWidget *viewport = w.view->viewport();
    const QPoint from = w.view->visualRect(w.model.index(1)).center();
    const QPoint to = w.view->visualRect(w.model.index(3)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, (from + to) / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    QCOMPARE(w.model.names().join(QString()), QStringLiteral("PQRST"));
    QCOMPARE(w.selectedRows(), (QList<int>{1, 2, 3}));
}

QTEST_MAIN(tst_PictureListController)
#include "tst_picturelistcontroller.moc"
