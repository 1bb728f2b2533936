#include "list/picturelist.h"

#include <QSet>

#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace tarnwick {

// One change of the list. Both states are kept whole: the name lists share
// their strings with the model, so a step costs little more than its row
// pointers, and undo gives back exactly the list and selection there were.
class PictureListStep : public ListStep
{
public:
    PictureListStep(PictureList &list, PictureList::State before, PictureList::State after,
                    std::vector<int> origin, StepCompanion companion)
        : m_list(list)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_origin(std::move(origin))
        , m_companion(std::move(companion))
    {
        // The way back: where each earlier row's entry stands after the step.
        m_back.assign(m_before.names.size(), -1);
        std::vector<bool> taken(m_before.names.size(), false);
        for (size_t row = 0; row < m_origin.size(); ++row) {
            const int from = m_origin[row];
            if (from >= 0 && !taken[size_t(from)]) {
                taken[size_t(from)] = true;
                m_back[size_t(from)] = int(row);
            }
        }
    }

    void redo() override
    {
        m_list.apply(m_after, m_origin);
        if (m_companion.redo)
            m_companion.redo();
    }
    void undo() override
    {
        m_list.apply(m_before, m_back);
        if (m_companion.undo)
            m_companion.undo();
    }

private:
    PictureList &m_list;
    PictureList::State m_before;
    PictureList::State m_after;
    std::vector<int> m_origin;
    std::vector<int> m_back;
    StepCompanion m_companion;
};

PictureList::PictureList(QObject *parent)
    : QObject(parent)
{
}

PictureList::~PictureList()
{
    // The steps refer to this list; drop them before it goes.
    if (m_history)
        m_history->clear();
}

void PictureList::setHistory(ListHistory *history)
{
    if (m_history)
        m_history->clear();
    m_history = history;
}

void PictureList::setListing(const QString &folder, const QStringList &names)
{
    if (m_history)
        m_history->clear();
    m_folder = folder;
    m_facts.clear();
    m_selection.clear();
    m_model.setNames(names);
}

std::vector<bool> PictureList::selectedFlags() const
{
    // selection() as ranges: selectedRows() is quadratic in the number of separate rows.
    std::vector<bool> flags(size_t(m_model.rowCount()), false);
    const QItemSelection selection = m_selection.selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent().isValid())
            continue;
        std::fill(flags.begin() + range.top(), flags.begin() + range.bottom() + 1, true);
    }
    return flags;
}

int PictureList::currentRow() const
{
    const QModelIndex current = m_selection.currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString PictureList::currentEntry() const
{
    const int row = currentRow();
    return row >= 0 ? names().at(row) : QString();
}

PictureList::State PictureList::state() const
{
    return {names(), selectedFlags(), currentRow()};
}

void PictureList::apply(const State &state, const std::vector<int> &origin)
{
    // The selection goes first and comes back in one piece: a selection of
    // thousands of separate rows left in place would be re-mapped range by
    // range through every removal or layout change.
    Q_EMIT stepAboutToApply();
    m_selection.clearSelection();
    m_model.changeNames(state.names, origin);

    select(state.selected, state.current);
    Q_EMIT stepApplied();
}

void PictureList::select(const std::vector<bool> &selected, int current)
{
    QItemSelection selection;
    const int count = int(selected.size());
    for (int row = 0; row < count;) {
        if (!selected[size_t(row)]) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < count && selected[size_t(row)])
            ++row;
        selection.append(QItemSelectionRange(m_model.index(first), m_model.index(row - 1)));
    }
    m_selection.select(selection, QItemSelectionModel::ClearAndSelect);
    m_selection.setCurrentIndex(current >= 0 ? m_model.index(current) : QModelIndex(),
                                QItemSelectionModel::NoUpdate);
}

void PictureList::selectNames(const QStringList &wanted)
{
    const QSet<QString> set(wanted.cbegin(), wanted.cend());
    const QStringList &list = names();
    std::vector<bool> selected(size_t(list.size()));
    int current = -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        selected[size_t(i)] = set.contains(list.at(i));
        if (selected[size_t(i)] && current < 0)
            current = int(i);
    }
    Q_EMIT stepAboutToApply();
    select(selected, current);
    Q_EMIT stepApplied();
}

ListEditOutcome PictureList::commit(const State &before, State after, ListEdit edit, const QString &text,
                                    StepCompanion companion)
{
    if (edit.outcome == ListEditOutcome::Unchanged && !companion.redo)
        return edit.outcome;
    if (edit.outcome == ListEditOutcome::Unchanged) {
        edit.origin.resize(before.names.size());
        std::iota(edit.origin.begin(), edit.origin.end(), 0);
    }
    if (edit.outcome == ListEditOutcome::Removed) {
        // As a file manager does: the entry that took the first removed
        // entry's place, or the new last one, is current and not selected.
        const auto first = std::find(before.selected.cbegin(), before.selected.cend(), true);
        after.current = std::min(int(first - before.selected.cbegin()), int(after.names.size()) - 1);
    } else {
        // The current entry follows its entry.
        const auto found = std::find(edit.origin.cbegin(), edit.origin.cend(), before.current);
        after.current = before.current >= 0 && found != edit.origin.cend() ? int(found - edit.origin.cbegin()) : -1;
    }
    auto step = std::make_unique<PictureListStep>(*this, before, std::move(after), std::move(edit.origin),
                                                  std::move(companion));
    if (m_history)
        m_history->push(text, std::move(step));
    else
        step->redo();
    return edit.outcome;
}

ListEditOutcome PictureList::run(ListCommand command)
{
    const State before = state();
    State after = before;
    ListEdit edit = applyListCommand(command, after.names, after.selected);
    return commit(before, std::move(after), std::move(edit), listCommandCaption(command));
}

ListEditOutcome PictureList::arrange(ListOrder order)
{
    const State before = state();
    State after = before;
    ListEdit edit = arrangeList(order, after.names, after.selected);
    return commit(before, std::move(after), std::move(edit), listOrderMenuText(order));
}

ListEditOutcome PictureList::arrangeByPages(const QStringList &pages, const QString &text, QStringList *missing)
{
    return change(text, [&pages, missing](QStringList &names, std::vector<bool> &selected) {
        return tarnwick::arrangeByPages(pages, names, selected, missing);
    });
}

ListEditOutcome PictureList::change(const QString &text, const Change &change, StepCompanion companion)
{
    const State before = state();
    State after = before;
    ListEdit edit = change(after.names, after.selected);
    if (edit.outcome == ListEditOutcome::Unchanged)
        after = before;
    return commit(before, std::move(after), std::move(edit), text, std::move(companion));
}

ListEditOutcome PictureList::moveSelectedTo(int row)
{
    const State before = state();
    State after = before;
    ListEdit edit = tarnwick::moveSelectedTo(row, after.names, after.selected);
    return commit(before, std::move(after), std::move(edit), QString());
}

PictureFacts PictureList::facts(int row) const
{
    return row >= 0 && row < names().size() ? facts(names().at(row)) : PictureFacts();
}

PictureFacts PictureList::facts(const QString &name) const
{
    auto found = m_facts.find(name);
    if (found == m_facts.end()) {
        // Never a file of the working folder.
        if (m_folder.isEmpty())
            return {};
        const QFileInfo info(m_folder + name);
        PictureFacts read;
        if (info.exists()) {
            read.byteSize = info.size();
            read.modified = info.lastModified();
        }
        found = m_facts.insert(name, read);
    }
    return *found;
}

std::optional<PictureFacts> PictureList::knownFacts(const QString &name) const
{
    const auto found = m_facts.constFind(name);
    return found != m_facts.cend() ? std::optional<PictureFacts>(*found) : std::nullopt;
}

void PictureList::setFacts(const QString &name, const PictureFacts &facts)
{
    m_facts.insert(name, facts);
    Q_EMIT factsChanged(name);
}

} // namespace tarnwick
