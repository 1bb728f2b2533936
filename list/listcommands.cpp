#include "list/listcommands.h"

#include "facts/picturefolder.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace tarnwick {

namespace {

// Builds the new order: push() appends an old row, moved rows trimmed and selected.
class Reorder
{
public:
    Reorder(const QStringList &names, qsizetype count)
        : m_names(names)
    {
        m_out.reserve(count);
        m_flags.reserve(size_t(count));
        m_origin.reserve(size_t(count));
    }
    void keep(qsizetype row, bool flag)
    {
        m_out.append(m_names.at(row));
        m_flags.push_back(flag);
        m_origin.push_back(int(row));
    }
    void move(qsizetype row)
    {
        m_out.append(trimBlanks(m_names.at(row)));
        m_flags.push_back(true);
        m_origin.push_back(int(row));
    }
    ListEdit finish(QStringList &names, std::vector<bool> &selected, ListEditOutcome outcome)
    {
        names = std::move(m_out);
        selected = std::move(m_flags);
        return {outcome, std::move(m_origin)};
    }

private:
    const QStringList &m_names;
    QStringList m_out;
    std::vector<bool> m_flags;
    std::vector<int> m_origin;
};

bool anySelected(const std::vector<bool> &selected)
{
    for (bool flag : selected)
        if (flag)
            return true;
    return false;
}

// A flag vector shorter than the list counts the missing entries as unselected.
void fitFlags(const QStringList &names, std::vector<bool> &selected)
{
    selected.resize(size_t(names.size()), false);
}

// Puts the entries in the order origin gives (origin[newRow] = old row),
// texts and flags unchanged.
ListEdit reorder(QStringList &names, std::vector<bool> &selected, std::vector<int> origin)
{
    bool same = true;
    for (size_t row = 0; row < origin.size() && same; ++row)
        same = origin[row] == int(row);
    if (same)
        return {};
    Reorder out(names, qsizetype(origin.size()));
    for (const int row : origin)
        out.keep(row, selected[size_t(row)]);
    return out.finish(names, selected, ListEditOutcome::Moved);
}

} // namespace


ListEdit moveToTop(QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    const qsizetype n = names.size();
    if (n == 0 || selected[0] || !anySelected(selected))
        return {};
    Reorder out(names, n);
    for (qsizetype i = 0; i < n; ++i)
        if (selected[size_t(i)])
            out.move(i);
    for (qsizetype i = 0; i < n; ++i)
        if (!selected[size_t(i)])
            out.keep(i, false);
    return out.finish(names, selected, ListEditOutcome::Moved);
}

ListEdit moveToBottom(QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    const qsizetype n = names.size();
    if (n == 0 || selected[size_t(n - 1)] || !anySelected(selected))
        return {};
    Reorder out(names, n);
    for (qsizetype i = 0; i < n; ++i)
        if (!selected[size_t(i)])
            out.keep(i, false);
    for (qsizetype i = 0; i < n; ++i)
        if (selected[size_t(i)])
            out.move(i);
    return out.finish(names, selected, ListEditOutcome::Moved);
}

// Every run of selected entries swaps places with the unselected entry above it.
ListEdit moveUp(QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    const qsizetype n = names.size();
    if (n == 0 || selected[0] || !anySelected(selected))
        return {};
    Reorder out(names, n);
    qsizetype above = 0; // the unselected entry waiting to follow the next run
    for (qsizetype i = 1; i < n; ++i) {
        if (selected[size_t(i)]) {
            out.move(i);
        } else {
            out.keep(above, false);
            above = i;
        }
    }
    out.keep(above, false);
    return out.finish(names, selected, ListEditOutcome::Moved);
}

// Every run of selected entries swaps places with the unselected entry below it.
ListEdit moveDown(QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    const qsizetype n = names.size();
    if (n == 0 || selected[size_t(n - 1)] || !anySelected(selected))
        return {};
    Reorder out(names, n);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (selected[size_t(i)])
            continue;
        out.keep(i, false);
        for (qsizetype r = runStart; r < i; ++r)
            out.move(r);
        runStart = i + 1;
    }
    return out.finish(names, selected, ListEditOutcome::Moved);
}

ListEdit removeSelected(QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    const qsizetype n = names.size();
    if (n == 0 || !anySelected(selected))
        return {};
    Reorder out(names, n);
    for (qsizetype i = 0; i < n; ++i)
        if (!selected[size_t(i)])
            out.keep(i, false);
    return out.finish(names, selected, ListEditOutcome::Removed);
}

ListEdit applyListCommand(ListCommand command, QStringList &names, std::vector<bool> &selected)
{
    return listCommandEntry(command).apply(names, selected);
}

ListEdit arrangeList(ListOrder order, QStringList &names, std::vector<bool> &selected, const QLocale &locale)
{
    fitFlags(names, selected);
    const int n = int(names.size());
    std::vector<int> origin(static_cast<size_t>(n));
    if (order == ListOrder::Reverse) {
        for (int row = 0; row < n; ++row)
            origin[size_t(row)] = n - 1 - row;
    } else {
        const std::vector<qsizetype> sorted =
            pictureNameOrder(names, order == ListOrder::Numeric ? NameOrder::Numeric : NameOrder::Name, locale);
        for (int row = 0; row < n; ++row)
            origin[size_t(row)] = int(sorted[size_t(row)]);
    }
    return reorder(names, selected, std::move(origin));
}

ListEdit arrangeByPages(const QStringList &pages, QStringList &names, std::vector<bool> &selected,
                        QStringList *missing)
{
    fitFlags(names, selected);
    const int count = int(names.size());
    // The first row of each name; further rows of the same name are chained
    // through nextRow in list order. nextTaken[first] is the row the book
    // takes next for that name.
    QHash<QStringView, int> firstRow;
    firstRow.reserve(count);
    std::vector<int> nextRow(size_t(count), -1);
    for (int row = count - 1; row >= 0; --row) {
        const auto first = firstRow.find(QStringView(names.at(row)));
        if (first == firstRow.end()) {
            firstRow.insert(QStringView(names.at(row)), row);
        } else {
            nextRow[size_t(row)] = *first;
            *first = row;
        }
    }
    std::vector<int> nextTaken(static_cast<size_t>(count));
    std::iota(nextTaken.begin(), nextTaken.end(), 0);
    std::vector<bool> used(size_t(count), false);
    std::vector<int> origin;
    origin.reserve(size_t(std::max(names.size(), pages.size())));
    QSet<QString> reported;
    for (const QString &page : pages) {
        const auto found = firstRow.constFind(QStringView(page));
        if (found == firstRow.cend()) {
            if (missing && !reported.contains(page)) {
                reported.insert(page);
                missing->append(page);
            }
            continue;
        }
        int &next = nextTaken[size_t(*found)];
        const int row = next;
        // A page shown again after every row of its name is taken repeats
        // the last of them.
        if (nextRow[size_t(row)] >= 0)
            next = nextRow[size_t(row)];
        used[size_t(row)] = true;
        origin.push_back(row);
    }
    const size_t fromBook = origin.size();
    for (int row = 0; row < int(names.size()); ++row)
        if (!used[size_t(row)])
            origin.push_back(row);

    QStringList arranged;
    arranged.reserve(qsizetype(origin.size()));
    std::vector<bool> flags(origin.size(), false);
    bool same = origin.size() == size_t(names.size());
    for (size_t i = 0; i < origin.size(); ++i) {
        arranged.append(names.at(origin[i]));
        flags[i] = i >= fromBook;
        same = same && origin[i] == int(i) && flags[i] == selected[i];
    }
    if (same)
        return {};
    names = std::move(arranged);
    selected = std::move(flags);
    return {ListEditOutcome::Moved, std::move(origin)};
}

ListEdit moveSelectedTo(qsizetype row, QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    if (!anySelected(selected))
        return {};
    const qsizetype n = names.size();
    row = std::clamp<qsizetype>(row, 0, n);
    std::vector<int> origin;
    origin.reserve(size_t(n));
    const auto unselectedBefore = [&](qsizetype end) {
        for (qsizetype i = 0; i < end; ++i)
            if (!selected[size_t(i)])
                origin.push_back(int(i));
    };
    unselectedBefore(row);
    for (qsizetype i = 0; i < n; ++i)
        if (selected[size_t(i)])
            origin.push_back(int(i));
    for (qsizetype i = row; i < n; ++i)
        if (!selected[size_t(i)])
            origin.push_back(int(i));
    return reorder(names, selected, std::move(origin));
}

int lastPageForSelection(const std::vector<bool> &selected)
{
    const auto count = std::count(selected.cbegin(), selected.cend(), true);
    return int(qsizetype(selected.size()) - count + 1);
}

ListEdit moveSelectedToPage(int page, QStringList &names, std::vector<bool> &selected)
{
    fitFlags(names, selected);
    if (!anySelected(selected))
        return {};
    const qsizetype n = names.size();
    // The gap among the entries that stay where the selection goes in.
    const qsizetype gap = std::clamp<qsizetype>(qsizetype(page) - 1, 0, lastPageForSelection(selected) - 1);
    std::vector<int> origin;
    origin.reserve(size_t(n));
    qsizetype row = 0;
    for (qsizetype kept = 0; row < n && kept < gap; ++row) {
        if (!selected[size_t(row)]) {
            origin.push_back(int(row));
            ++kept;
        }
    }
    for (qsizetype i = 0; i < n; ++i)
        if (selected[size_t(i)])
            origin.push_back(int(i));
    for (; row < n; ++row)
        if (!selected[size_t(row)])
            origin.push_back(int(row));
    return reorder(names, selected, std::move(origin));
}

const std::array<ListCommandEntry, 5> &listCommandTable()
{
    static const std::array<ListCommandEntry, 5> table = {{
        {ListCommand::MoveToTop, u"上移到顶部", u"将选择的项移动到列表的顶部", Qt::ALT | Qt::Key_Home,
         u"上移到顶部(&T)", moveToTop},
        {ListCommand::MoveUp, u"上移一行", u"将选择的项分别上移一行", Qt::ALT | Qt::Key_Up, u"上移一行(&U)", moveUp},
        {ListCommand::MoveDown, u"下移一行", u"将选择的项分别下移一行", Qt::ALT | Qt::Key_Down,
         u"下移一行(&D)", moveDown},
        {ListCommand::MoveToBottom, u"下移到底部", u"将选择的项移动到列表的底部", Qt::ALT | Qt::Key_End,
         u"下移到底部(&B)", moveToBottom},
        {ListCommand::Remove, u"移  除", u"将选择的项从列表中移除", QKeyCombination(Qt::Key_Delete), u"移除(&R)",
         removeSelected},
    }};
    return table;
}

const ListCommandEntry &listCommandEntry(ListCommand command)
{
    const auto &table = listCommandTable();
    return *std::find_if(table.cbegin(), table.cend(),
                         [command](const ListCommandEntry &entry) { return entry.command == command; });
}

QString listCommandCaption(ListCommand command)
{
    return listCommandEntry(command).caption.toString();
}

QString listCommandToolTip(ListCommand command)
{
    return listCommandEntry(command).toolTip.toString();
}

QString listCommandMenuText(ListCommand command)
{
    return listCommandEntry(command).menuText.toString();
}

QString listOrderMenuText(ListOrder order)
{
    switch (order) {
    case ListOrder::Name:
        return QStringLiteral(u"按文件名排列(&N)");
    case ListOrder::Numeric:
        return QStringLiteral(u"按数字顺序排列(&S)");
    case ListOrder::Reverse:
        return QStringLiteral(u"倒序排列(&V)");
    }
    return {};
}

QString moveToPageText()
{
    return QStringLiteral(u"移到第…页");
}

QString moveToPageMenuText()
{
    return QStringLiteral(u"移到第…页(&G)");
}

QKeyCombination moveToPageKey()
{
    return Qt::CTRL | Qt::Key_G;
}

QString moveToPagePrompt(int lastPage)
{
    return QStringLiteral(u"将选择的项移到第几页（1–%1）：").arg(lastPage);
}

QString pictureListToolTip()
{
    return QStringLiteral(u"按住Crtl键或鼠标左键不放可以选择多项");
}

} // namespace tarnwick
