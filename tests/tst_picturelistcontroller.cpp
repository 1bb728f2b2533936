#include "pictures/linklabel.h"
#include "pictures/picturelistcontroller.h"
#include "pictures/picturelistmodel.h"

#include <QApplication>
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
    QListView *view = nullptr;
    QLineEdit *other = nullptr;
    PictureListModel model;
    std::unique_ptr<PictureListController> controller;

    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        view = new QListView(&window);
        view->setObjectName(QStringLiteral("List1"));
        other = new QLineEdit(&window);
        layout->addWidget(view);
        layout->addWidget(other);
        controller = std::make_unique<PictureListController>(view, &model);
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
        const std::vector<bool> flags = controller->selectedFlags();
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
    void scrollPositionIsKept_data();
    void scrollPositionIsKept();
    void refillClearsSelectionAndCurrent();
    void commands_data();
    void commands();
    void currentFollowsItsEntry_data();
    void currentFollowsItsEntry();
    void removedCurrentIsGone();
    void labelClickRunsCommand_data();
    void labelClickRunsCommand();
};

void tst_PictureListController::refillClearsSelectionAndCurrent()
{
    Window w;
    QVERIFY(w.exposed());
    w.controller->refill(letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(3), QItemSelectionModel::NoUpdate);
    QCOMPARE(w.controller->currentRow(), 3);

    w.controller->refill(letters(QStringLiteral("ABC")));
    QCOMPARE(w.model.names(), letters(QStringLiteral("ABC")));
    QVERIFY(w.selectedRows().isEmpty());
    QVERIFY(!w.view->selectionModel()->hasSelection());
    QCOMPARE(w.controller->currentRow(), -1);
    QCOMPARE(w.controller->currentEntry(), QString());
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
    w.controller->refill(letters(before));
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
    QTest::newRow("kept over remove") << ListCommand::Remove << 4 << 2;
}

void tst_PictureListController::currentFollowsItsEntry()
{
    QFETCH(ListCommand, command);
    QFETCH(int, current);
    QFETCH(int, currentAfter);

    Window w;
    QVERIFY(w.exposed());
    w.controller->refill(letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(current), QItemSelectionModel::NoUpdate);
    const QString entry = w.controller->currentEntry();
    QCOMPARE(entry, letters(QStringLiteral("PQRST")).at(current));

    QVERIFY(w.controller->run(command) != ListEditOutcome::Unchanged);
    QCOMPARE(w.controller->currentRow(), currentAfter);
    QCOMPARE(w.controller->currentEntry(), entry);
}

void tst_PictureListController::removedCurrentIsGone()
{
    Window w;
    QVERIFY(w.exposed());
    w.controller->refill(letters(QStringLiteral("PQRST")));
    w.select({1, 3});
    w.view->selectionModel()->setCurrentIndex(w.model.index(3), QItemSelectionModel::NoUpdate);
    QCOMPARE(w.controller->run(ListCommand::Remove), ListEditOutcome::Removed);
    QCOMPARE(w.controller->currentRow(), -1);
    QCOMPARE(w.controller->currentEntry(), QString());
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

    w.controller->refill(letters(QStringLiteral("PQRST")));
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
    w.controller->refill(names);
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

QTEST_MAIN(tst_PictureListController)
#include "tst_picturelistcontroller.moc"
