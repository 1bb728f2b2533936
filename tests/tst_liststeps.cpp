#include "list/picturelist.h"
#include "widgets/undostackhistory.h"

#include <QTest>

using namespace tarnwick;

namespace {

QStringList split(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char('|'));
}

// Runs one step written as "what:argument": select rows (current the first),
// a list command, an order, a drop, a book's pages, or a change adding names.
ListEditOutcome runStep(PictureList &list, const QString &step)
{
    const QString what = step.section(QLatin1Char(':'), 0, 0);
    const QString argument = step.section(QLatin1Char(':'), 1);
    const QStringList items = argument.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (what == u"select") {
        QStringList names;
        for (const QString &row : items)
            names.append(list.names().at(row.toInt()));
        list.selectNames(names);
        return ListEditOutcome::Unchanged;
    }
    if (what == u"run")
        return list.run(ListCommand(argument.toInt()));
    if (what == u"arrange")
        return list.arrange(ListOrder(argument.toInt()));
    if (what == u"drop")
        return list.moveSelectedTo(argument.toInt());
    if (what == u"pages")
        return list.arrangeByPages(items, QStringLiteral("book"));
    return list.change(QStringLiteral("add"), [&items](QStringList &names, std::vector<bool> &selected) {
        ListEdit edit{ListEditOutcome::Moved, {}};
        for (int row = 0; row < int(names.size()); ++row)
            edit.origin.push_back(row);
        names += items;
        selected.assign(size_t(names.size()), true);
        edit.origin.resize(size_t(names.size()), -1);
        return edit;
    });
}

} // namespace

class tst_ListSteps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrips_data();
    void roundTrips();
};

void tst_ListSteps::roundTrips_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("steps");

    const QStringList plain = split("a.gif|b.gif|c.gif|d.gif|e.gif|f.gif|g.gif|h.gif");
    // run:0 to top, 1 up, 2 to bottom, 3 down, 4 remove; arrange:0 name, 1 numeric, 2 reverse.
    QTest::newRow("block moved by one place") << plain << split("select:1,2,3,4,5,6,7|run:1|run:2|run:0");
    QTest::newRow("scattered moves") << plain
                                     << split("select:1,3,6|run:3|run:3|select:0,2,5|run:1|drop:7|drop:0");
    QTest::newRow("moves trim blanks") << split(" a.gif|b.gif  |c.gif| d.gif |e.gif")
                                       << split("select:0,3|run:3|select:1|run:0|arrange:2");
    QTest::newRow("removals") << plain << split("select:0,2,3,7|run:4|select:1|run:4|select:0,1,2|run:4");
    QTest::newRow("orders") << split("10.jpg|2.jpg|b.jpg|1.jpg|A.jpg|20.jpg")
                            << split("select:1,4|arrange:0|arrange:1|arrange:2|select:2|arrange:1");
    QTest::newRow("book pages with repeats")
        << plain << split("select:2|pages:h.gif,x.gif,a.gif,h.gif,h.gif|run:4|pages:b.gif,b.gif");
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many.append(QStringLiteral("p%1.gif").arg(i));
    QTest::newRow("far moves in a long list") << many << split("select:1,150,299|run:0|arrange:2|drop:200|run:2");
    QTest::newRow("names added") << plain << split("select:4|add:x.gif,y.gif|select:8,9|run:0");
}

// Every step undone gives back exactly the names, selection and current
// entry before it, and redone the ones after it.
void tst_ListSteps::roundTrips()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, steps);
    UndoStackHistory history;
    PictureList list;
    list.setHistory(&history);
    list.setListing(QString(), names);
    QList<PictureList::State> before;
    QList<PictureList::State> after;
    for (const QString &step : steps) {
        const PictureList::State start = list.state();
        if (runStep(list, step) == ListEditOutcome::Unchanged)
            continue;
        before.append(start);
        after.append(list.state());
    }
    QCOMPARE(history.count(), before.size());
    for (int round = 0; round < 2; ++round) {
        for (qsizetype i = before.size() - 1; i >= 0; --i) {
            history.undo();
            QCOMPARE(list.names(), before[i].names);
            QCOMPARE(list.selectedFlags(), before[i].selected);
            QCOMPARE(list.currentRow(), before[i].current);
        }
        for (qsizetype i = 0; i < after.size(); ++i) {
            history.redo();
            QCOMPARE(list.names(), after[i].names);
            QCOMPARE(list.selectedFlags(), after[i].selected);
            QCOMPARE(list.currentRow(), after[i].current);
        }
    }
}

QTEST_APPLESS_MAIN(tst_ListSteps)
#include "tst_liststeps.moc"
