#include "list/listcommands.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tarnwick;

Q_DECLARE_METATYPE(tarnwick::ListCommand)
Q_DECLARE_METATYPE(tarnwick::ListOrder)
Q_DECLARE_METATYPE(tarnwick::ListEditOutcome)

namespace {

std::vector<bool> flagsOf(qsizetype count, const QList<int> &rows)
{
    std::vector<bool> flags(size_t(count), false);
    for (int row : rows)
        flags[size_t(row)] = true;
    return flags;
}

QList<int> rowsOf(const std::vector<bool> &flags)
{
    QList<int> rows;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            rows.append(int(i));
    return rows;
}

// The list box steps taken literally: remove at p, insert the trimmed text at q
// (unselected), then select it.
struct Literal {
    QStringList names;
    std::vector<bool> selected;
    bool moved = false;
    bool removed = false;

    void move(int p, int q)
    {
        const QString text = trimBlanks(names.at(p));
        names.removeAt(p);
        selected.erase(selected.begin() + p);
        names.insert(q, text);
        selected.insert(selected.begin() + q, false);
        selected[size_t(q)] = true;
        moved = true;
    }
};

Literal literalRun(ListCommand command, QStringList names, std::vector<bool> selected)
{
    Literal l{std::move(names), std::move(selected)};
    const int count = int(l.names.size());
    if (count == 0)
        return l;
    const int last = count - 1;
    switch (command) {
    case ListCommand::MoveToTop:
        if (l.selected[0])
            return l;
        for (int i = 0, t = 0; i <= last; ++i)
            if (l.selected[size_t(i)])
                l.move(i, t++);
        break;
    case ListCommand::MoveUp:
        if (l.selected[0])
            return l;
        for (int i = 0; i <= last; ++i)
            if (l.selected[size_t(i)])
                l.move(i, i - 1);
        break;
    case ListCommand::MoveToBottom:
        if (l.selected[size_t(last)])
            return l;
        for (int i = last, k = 0; i >= 0; --i)
            if (l.selected[size_t(i)])
                l.move(i, last - k++);
        break;
    case ListCommand::MoveDown:
        if (l.selected[size_t(last)])
            return l;
        for (int i = last; i >= 0; --i)
            if (l.selected[size_t(i)])
                l.move(i, i + 1);
        break;
    case ListCommand::Remove:
        for (int i = last; i >= 0; --i) {
            if (l.selected[size_t(i)]) {
                l.names.removeAt(i);
                l.selected.erase(l.selected.begin() + i);
                l.removed = true;
            }
        }
        break;
    }
    return l;
}

const ListCommand allCommands[] = {ListCommand::MoveToTop, ListCommand::MoveUp, ListCommand::MoveToBottom,
                                   ListCommand::MoveDown, ListCommand::Remove};

} // namespace

class TestListCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
    void againstLiteralSteps();
    void trimming_data();
    void trimming();
    void removeKeepsTexts();
    void orders_data();
    void orders();
    void dropPosition_data();
    void dropPosition();
    void byPages_data();
    void byPages();
    void moveToPage_data();
    void moveToPage();
};

void TestListCommands::commands_data()
{
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("expectedSelected");
    QTest::addColumn<ListEditOutcome>("outcome");

    const QStringList pqrst{QStringLiteral("P"), QStringLiteral("Q"), QStringLiteral("R"), QStringLiteral("S"),
                            QStringLiteral("T")};
    const auto list = [](const char *letters) {
        QStringList out;
        for (const char *c = letters; *c; ++c)
            out.append(QString(QLatin1Char(*c)));
        return out;
    };
    const auto U = ListEditOutcome::Unchanged;
    const auto M = ListEditOutcome::Moved;
    const auto R = ListEditOutcome::Removed;

    QTest::newRow("PS top: first selected") << ListCommand::MoveToTop << pqrst << QList<int>{0, 3} << pqrst << QList<int>{0, 3} << U;
    QTest::newRow("PS up: first selected") << ListCommand::MoveUp << pqrst << QList<int>{0, 3} << pqrst << QList<int>{0, 3} << U;
    QTest::newRow("PS down") << ListCommand::MoveDown << pqrst << QList<int>{0, 3} << list("QPRTS") << QList<int>{1, 4} << M;
    QTest::newRow("PS bottom") << ListCommand::MoveToBottom << pqrst << QList<int>{0, 3} << list("QRTPS") << QList<int>{3, 4} << M;
    QTest::newRow("QT bottom: last selected") << ListCommand::MoveToBottom << pqrst << QList<int>{1, 4} << pqrst << QList<int>{1, 4} << U;
    QTest::newRow("QT down: last selected") << ListCommand::MoveDown << pqrst << QList<int>{1, 4} << pqrst << QList<int>{1, 4} << U;
    QTest::newRow("QT top") << ListCommand::MoveToTop << pqrst << QList<int>{1, 4} << list("QTPRS") << QList<int>{0, 1} << M;
    QTest::newRow("QT up") << ListCommand::MoveUp << pqrst << QList<int>{1, 4} << list("QPRTS") << QList<int>{0, 3} << M;
    QTest::newRow("QS bottom") << ListCommand::MoveToBottom << pqrst << QList<int>{1, 3} << list("PRTQS") << QList<int>{3, 4} << M;
    QTest::newRow("QR up as a block") << ListCommand::MoveUp << list("PQRS") << QList<int>{1, 2} << list("QRPS") << QList<int>{0, 1} << M;
    QTest::newRow("QR down as a block") << ListCommand::MoveDown << list("PQRS") << QList<int>{1, 2} << list("PSQR") << QList<int>{2, 3} << M;
    QTest::newRow("QS remove") << ListCommand::Remove << list("PQRS") << QList<int>{1, 3} << list("PR") << QList<int>{} << R;
    QTest::newRow("remove all") << ListCommand::Remove << list("PQ") << QList<int>{0, 1} << QStringList{} << QList<int>{} << R;

    for (ListCommand command : allCommands) {
        const QByteArray tag = QByteArray::number(int(command));
        QTest::newRow(("empty " + tag).constData()) << command << QStringList{} << QList<int>{} << QStringList{} << QList<int>{} << U;
        QTest::newRow(("none selected " + tag).constData()) << command << pqrst << QList<int>{} << pqrst << QList<int>{} << U;
        const bool remove = command == ListCommand::Remove;
        QTest::newRow(("single entry " + tag).constData())
            << command << list("P") << QList<int>{0} << (remove ? QStringList{} : list("P"))
            << (remove ? QList<int>{} : QList<int>{0}) << (remove ? R : U);
    }
}

void TestListCommands::commands()
{
    QFETCH(ListCommand, command);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, expectedSelected);
    QFETCH(ListEditOutcome, outcome);

    std::vector<bool> flags = flagsOf(names.size(), selected);
    const ListEdit edit = applyListCommand(command, names, flags);
    QCOMPARE(edit.outcome, outcome);
    QCOMPARE(names, expected);
    QCOMPARE(rowsOf(flags), expectedSelected);
    QCOMPARE(qsizetype(flags.size()), names.size());
}

void TestListCommands::againstLiteralSteps()
{
    QRandomGenerator random(20261207);
    int cases = 0;
    for (int round = 0; round < 1200; ++round) {
        const int count = int(random.bounded(0, 14));
        QStringList names;
        std::vector<bool> flags;
        for (int i = 0; i < count; ++i) {
            QString name = QStringLiteral("n%1.gif").arg(i);
            if (random.bounded(4) == 0)
                name.prepend(QLatin1Char(' '));
            if (random.bounded(4) == 0)
                name.append(QStringLiteral("  "));
            names.append(name);
            flags.push_back(random.bounded(3) == 0);
        }
        for (ListCommand command : allCommands) {
            const Literal expected = literalRun(command, names, flags);
            QStringList gotNames = names;
            std::vector<bool> gotFlags = flags;
            const ListEdit edit = applyListCommand(command, gotNames, gotFlags);
            QCOMPARE(gotNames, expected.names);
            QCOMPARE(gotFlags, expected.selected);
            QCOMPARE(edit.outcome == ListEditOutcome::Moved, expected.moved);
            QCOMPARE(edit.outcome == ListEditOutcome::Removed, expected.removed);
            if (edit.outcome != ListEditOutcome::Unchanged) {
                // origin names where every entry came from.
                QCOMPARE(qsizetype(edit.origin.size()), gotNames.size());
                for (size_t row = 0; row < edit.origin.size(); ++row)
                    QCOMPARE(trimBlanks(names.at(edit.origin[row])), trimBlanks(gotNames.at(qsizetype(row))));
            }
            ++cases;
        }
    }
    QCOMPARE(cases, 6000);
}

void TestListCommands::trimming_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading blank") << QStringLiteral(" x.gif") << QStringLiteral("x.gif");
    QTest::newRow("both ends") << QStringLiteral("  x y.gif   ") << QStringLiteral("x y.gif");
    QTest::newRow("tab kept") << QStringLiteral("\tx.gif") << QStringLiteral("\tx.gif");
    QTest::newRow("ideographic space kept") << QStringLiteral(u"\u3000x.gif") << QStringLiteral(u"\u3000x.gif");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QString();
    QTest::newRow("nothing to trim") << QStringLiteral("x.gif") << QStringLiteral("x.gif");
}

void TestListCommands::trimming()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(trimBlanks(text), expected);

    // Every move trims the entry it moves.
    for (ListCommand command : {ListCommand::MoveToTop, ListCommand::MoveUp}) {
        QStringList names{QStringLiteral("a.gif"), text};
        std::vector<bool> flags{false, true};
        applyListCommand(command, names, flags);
        QCOMPARE(names, (QStringList{expected, QStringLiteral("a.gif")}));
    }
    for (ListCommand command : {ListCommand::MoveToBottom, ListCommand::MoveDown}) {
        QStringList names{text, QStringLiteral("a.gif")};
        std::vector<bool> flags{true, false};
        applyListCommand(command, names, flags);
        QCOMPARE(names, (QStringList{QStringLiteral("a.gif"), expected}));
    }
}

void TestListCommands::removeKeepsTexts()
{
    QStringList names{QStringLiteral(" a.gif "), QStringLiteral("b.gif"), QStringLiteral("  c.gif")};
    std::vector<bool> flags{false, true, false};
    removeSelected(names, flags);
    QCOMPARE(names, (QStringList{QStringLiteral(" a.gif "), QStringLiteral("  c.gif")}));

    // Unselected entries pushed aside by a move keep their blanks too.
    names = QStringList{QStringLiteral(" a.gif "), QStringLiteral(" b.gif")};
    flags = {false, true};
    moveUp(names, flags);
    QCOMPARE(names, (QStringList{QStringLiteral("b.gif"), QStringLiteral(" a.gif ")}));
}

void TestListCommands::orders_data()
{
    QTest::addColumn<ListOrder>("order");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    const auto split = [](const char16_t *text) { return QString::fromUtf16(text).split(u' '); };
    QTest::newRow("scans named by number") << ListOrder::Numeric << split(u"10.jpg 2.jpg 1.jpg 11.jpg 3.jpg")
                                           << split(u"1.jpg 2.jpg 3.jpg 10.jpg 11.jpg");
    QTest::newRow("same, by name") << ListOrder::Name << split(u"10.jpg 2.jpg 1.jpg 11.jpg 3.jpg")
                                   << split(u"1.jpg 10.jpg 11.jpg 2.jpg 3.jpg");
    QTest::newRow("prefix and number") << ListOrder::Numeric << split(u"page10.gif page2.gif Page1.gif")
                                       << split(u"Page1.gif page2.gif page10.gif");
    // Leading zeros do not count in the numeric order; names equal to it go
    // by code point, whatever order they came in.
    QTest::newRow("leading zeros") << ListOrder::Numeric << split(u"a1.jpg a001.jpg a01.jpg a2.jpg")
                                   << split(u"a001.jpg a01.jpg a1.jpg a2.jpg");
    QTest::newRow("several digit runs") << ListOrder::Numeric << split(u"v2p1.jpg v1p10.jpg v1p2.jpg v10p1.jpg")
                                        << split(u"v1p2.jpg v1p10.jpg v2p1.jpg v10p1.jpg");
    QTest::newRow("digits before letters") << ListOrder::Numeric << split(u"b.jpg 9.jpg a10.jpg 10.jpg")
                                           << split(u"9.jpg 10.jpg a10.jpg b.jpg");
    QTest::newRow("case is a tie") << ListOrder::Numeric << split(u"b.jpg A.jpg a.jpg B.jpg")
                                   << split(u"A.jpg a.jpg B.jpg b.jpg");
    QTest::newRow("chinese names") << ListOrder::Numeric << split(u"第10页.jpg 第2页.jpg 封面.jpg 1.jpg")
                                   << split(u"1.jpg 第2页.jpg 第10页.jpg 封面.jpg");
    QTest::newRow("reverse") << ListOrder::Reverse << split(u"b.jpg a.jpg c.jpg") << split(u"c.jpg a.jpg b.jpg");
}

// The orders keep every entry's selected flag with its entry, and the sorted
// ones never depend on the order they start from.
void TestListCommands::orders()
{
    QFETCH(ListOrder, order);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    const QLocale zh(QLocale::Chinese, QLocale::China);
    const QString marked = names.at(1);
    QStringList list = names;
    std::vector<bool> flags(size_t(list.size()), false);
    flags[1] = true;
    const ListEdit edit = arrangeList(order, list, flags, zh);
    QCOMPARE(list, expected);
    QCOMPARE(rowsOf(flags), QList<int>{int(expected.indexOf(marked))});
    QCOMPARE(edit.outcome, ListEditOutcome::Moved);
    // Arranged again: unchanged for a sort, back to the start for reverse.
    QCOMPARE(arrangeList(order, list, flags, zh).outcome,
             order == ListOrder::Reverse ? ListEditOutcome::Moved : ListEditOutcome::Unchanged);
    if (order != ListOrder::Reverse) {
        QStringList backwards(names.crbegin(), names.crend());
        std::vector<bool> none;
        arrangeList(order, backwards, none, zh);
        QCOMPARE(backwards, expected);
    }
}

void TestListCommands::dropPosition_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two to the top") << QList<int>{1, 3} << 0 << "QSPRT";
    QTest::newRow("two to the end") << QList<int>{0, 2} << 5 << "QSTPR";
    QTest::newRow("into the middle") << QList<int>{0, 4} << 3 << "QRPTS";
    QTest::newRow("onto itself") << QList<int>{1, 2} << 2 << "PQRST";
    QTest::newRow("just below itself") << QList<int>{1, 2} << 3 << "PQRST";
    QTest::newRow("nothing selected") << QList<int>{} << 0 << "PQRST";
}

void TestListCommands::dropPosition()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, row);
    QFETCH(QString, expected);
    QStringList names;
    for (const QChar c : QStringLiteral("PQRST"))
        names.append(QString(c));
    std::vector<bool> flags = flagsOf(5, selected);
    const ListEdit edit = moveSelectedTo(row, names, flags);
    QCOMPARE(names.join(QString()), expected);
    QCOMPARE(edit.outcome, expected == u"PQRST" ? ListEditOutcome::Unchanged : ListEditOutcome::Moved);
    // The moved entries stay selected.
    QList<int> stillSelected;
    for (int r : selected)
        stillSelected.append(int(names.indexOf(QString(QChar(u"PQRST"[r])))));
    std::sort(stillSelected.begin(), stillSelected.end());
    QCOMPARE(rowsOf(flags), stillSelected);
}

// Each letter is one name, in the list and in the book.
void TestListCommands::byPages_data()
{
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("missing");
    QTest::newRow("book first, the rest after") << "PQRST" << "SQX" << "SQPRT" << QList<int>{2, 3, 4} << "X";
    QTest::newRow("already so") << "PQ" << "PQ" << "PQ" << QList<int>{} << "";
    QTest::newRow("a page twice") << "PQR" << "RPR" << "RPRQ" << QList<int>{3} << "";
    QTest::newRow("a name listed twice") << "PQP" << "PP" << "PPQ" << QList<int>{2} << "";
    QTest::newRow("more copies than listed") << "PQP" << "PPPQ" << "PPPQ" << QList<int>{} << "";
    QTest::newRow("a renamed picture") << "PQRS" << "RXQP" << "RQPS" << QList<int>{3} << "X";
    QTest::newRow("missing, each once") << "PQ" << "XQYX" << "QP" << QList<int>{1} << "XY";
    QTest::newRow("nothing of the book") << "PQ" << "XY" << "PQ" << QList<int>{0, 1} << "XY";
    QTest::newRow("empty book") << "PQ" << "" << "PQ" << QList<int>{0, 1} << "";
    QTest::newRow("empty list") << "" << "PQ" << "" << QList<int>{} << "PQ";
}

void TestListCommands::byPages()
{
    QFETCH(QString, names);
    QFETCH(QString, pages);
    QFETCH(QString, expected);
    QFETCH(QList<int>, selected);
    QFETCH(QString, missing);
    const auto letters = [](const QString &text) {
        QStringList list;
        for (const QChar c : text)
            list.append(QString(c));
        return list;
    };
    const QStringList before = letters(names);
    QStringList list = before;
    std::vector<bool> flags(size_t(list.size()), false);
    QStringList gone;
    const ListEdit edit = arrangeByPages(letters(pages), list, flags, &gone);
    QCOMPARE(list.join(QString()), expected);
    QCOMPARE(rowsOf(flags), selected);
    QCOMPARE(gone.join(QString()), missing);
    const bool unchanged = list == before && selected.isEmpty();
    QCOMPARE(edit.outcome, unchanged ? ListEditOutcome::Unchanged : ListEditOutcome::Moved);
    // origin names the row each entry came from.
    if (!unchanged) {
        QCOMPARE(edit.origin.size(), size_t(list.size()));
        for (size_t i = 0; i < edit.origin.size(); ++i)
            QCOMPARE(list.at(qsizetype(i)), before.at(edit.origin[i]));
    }
}

void TestListCommands::moveToPage_data()
{
    QTest::addColumn<QString>("names"); // one letter an entry
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QList<int>>("expectedSelected");
    QTest::addColumn<int>("lastPage");

    QTest::newRow("one entry to page 2") << "PQRST" << QList<int>{4} << 2 << "PTQRS" << QList<int>{1} << 5;
    QTest::newRow("one entry down to page 4") << "PQRST" << QList<int>{0} << 4 << "QRSPT" << QList<int>{3} << 5;
    QTest::newRow("scattered, gathered at page 2 in order") << "PQRST" << QList<int>{0, 2, 4} << 2 << "QPRTS"
                                                           << QList<int>{1, 2, 3} << 3;
    QTest::newRow("scattered to page 1") << "PQRST" << QList<int>{1, 3} << 1 << "QSPRT" << QList<int>{0, 1} << 4;
    QTest::newRow("a block to its last page") << "PQRST" << QList<int>{0, 1} << 4 << "RSTPQ" << QList<int>{3, 4} << 4;
    QTest::newRow("page past the end: last") << "PQRST" << QList<int>{1, 2} << 99 << "PSTQR" << QList<int>{3, 4} << 4;
    QTest::newRow("page 0: first") << "PQRST" << QList<int>{3} << 0 << "SPQRT" << QList<int>{0} << 5;
    QTest::newRow("already there") << "PQRST" << QList<int>{2, 3} << 3 << "PQRST" << QList<int>{2, 3} << 4;
    QTest::newRow("nothing selected") << "PQRST" << QList<int>{} << 1 << "PQRST" << QList<int>{} << 6;
    QTest::newRow("everything selected") << "PQR" << QList<int>{0, 1, 2} << 2 << "PQR" << QList<int>{0, 1, 2} << 1;
}

// The first selected entry becomes the page asked for in the resulting list,
// the others follow it in their order, the rest keep theirs.
void TestListCommands::moveToPage()
{
    QFETCH(QString, names);
    QFETCH(QList<int>, selected);
    QFETCH(int, page);
    QFETCH(QString, expected);
    QFETCH(QList<int>, expectedSelected);
    QFETCH(int, lastPage);

    QStringList list;
    for (const QChar c : names)
        list.append(QString(c));
    std::vector<bool> flags = flagsOf(list.size(), selected);
    QCOMPARE(lastPageForSelection(flags), lastPage);
    const ListEdit edit = moveSelectedToPage(page, list, flags);
    QCOMPARE(list.join(QString()), expected);
    QCOMPARE(rowsOf(flags), expectedSelected);
    QCOMPARE(edit.outcome, expected == names ? ListEditOutcome::Unchanged : ListEditOutcome::Moved);
}

QTEST_APPLESS_MAIN(TestListCommands)
#include "tst_listcommands.moc"
