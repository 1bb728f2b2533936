#include "list/picturelist.h"

#include "list/rowcoding.h"

#include <QSet>

#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace tarnwick {

// One change of the list, kept as what changed rather than as the two lists:
// where each row after the change comes from (runs of rows, so a block moved
// by one place is a few bytes), the names new to the list and the names gone
// from it, the texts a move trimmed, and both selections. Redo and undo
// rebuild the other list from the list as it stands.
class PictureListStep : public ListStep
{
public:
    PictureListStep(PictureList &list, const PictureList::State &before, const PictureList::State &after,
                    const std::vector<int> &origin, StepCompanion companion)
        : m_list(list)
        , m_beforeCount(int(before.names.size()))
        , m_afterCount(int(after.names.size()))
        , m_origin(encodeRowMap(origin))
        , m_beforeSelected(encodeFlags(before.selected))
        , m_beforeCurrent(before.current)
        , m_afterCurrent(after.current)
        , m_beforeFolder(before.folder)
        , m_afterFolder(after.folder)
        , m_companion(std::move(companion))
    {
        std::vector<bool> taken(size_t(m_beforeCount), false);
        bool carried = true;
        for (int row = 0; row < m_afterCount; ++row) {
            const int from = origin[size_t(row)];
            const QString &name = after.names.at(row);
            if (from < 0) {
                m_added.append(name);
            } else {
                taken[size_t(from)] = true;
                const QString &was = before.names.at(from);
                if (name != was)
                    m_retexts.push_back({row, was, name});
            }
            carried = carried && after.selected[size_t(row)] == (from >= 0 && before.selected[size_t(from)]);
        }
        for (int row = 0; row < m_beforeCount; ++row)
            if (!taken[size_t(row)])
                m_removed.append(before.names.at(row));
        // Most steps carry each entry's flag along with it; only the others keep the selection after.
        if (!carried)
            m_afterSelected = encodeFlags(after.selected);
        m_added.squeeze();
        m_removed.squeeze();
        m_retexts.shrink_to_fit();
    }

    void redo() override
    {
        const QStringList &now = m_list.names();
        const std::vector<int> origin = decodeRowMap(m_origin, m_afterCount);
        const std::vector<bool> wasSelected = decodeFlags(m_beforeSelected, m_beforeCount);
        PictureList::State after;
        after.names.reserve(m_afterCount);
        after.selected.assign(size_t(m_afterCount), false);
        qsizetype added = 0;
        for (int row = 0; row < m_afterCount; ++row) {
            const int from = origin[size_t(row)];
            after.names.append(from >= 0 ? now.at(from) : m_added.at(added++));
            after.selected[size_t(row)] = from >= 0 && wasSelected[size_t(from)];
        }
        for (const Retext &retext : m_retexts)
            after.names[retext.row] = retext.after;
        if (!m_afterSelected.isEmpty())
            after.selected = decodeFlags(m_afterSelected, m_afterCount);
        after.current = m_afterCurrent;
        after.folder = m_afterFolder;
        m_list.apply(after, origin);
        if (m_companion.redo)
            m_companion.redo();
    }

    void undo() override
    {
        const QStringList &now = m_list.names();
        const std::vector<int> origin = decodeRowMap(m_origin, m_afterCount);
        // The way back: where each earlier row's entry stands now; a repeat goes.
        std::vector<int> back(size_t(m_beforeCount), -1);
        for (int row = 0; row < m_afterCount; ++row) {
            const int from = origin[size_t(row)];
            if (from >= 0 && back[size_t(from)] < 0)
                back[size_t(from)] = row;
        }
        PictureList::State before;
        before.names.reserve(m_beforeCount);
        qsizetype removed = 0;
        for (const int row : back)
            before.names.append(row >= 0 ? now.at(row) : m_removed.at(removed++));
        for (const Retext &retext : m_retexts) {
            const int from = origin[size_t(retext.row)];
            if (back[size_t(from)] == retext.row)
                before.names[from] = retext.before;
        }
        before.selected = decodeFlags(m_beforeSelected, m_beforeCount);
        before.current = m_beforeCurrent;
        before.folder = m_beforeFolder;
        m_list.apply(before, back);
        if (m_companion.undo)
            m_companion.undo();
    }

private:
    // A row whose text the step changed (a move trims the blanks at both ends).
    struct Retext
    {
        int row; // after the step
        QString before;
        QString after;
    };

    PictureList &m_list;
    int m_beforeCount;
    int m_afterCount;
    QByteArray m_origin;         // rows after the step -> rows before, -1 for a new entry
    QStringList m_added;         // the new entries' names, in row order
    QStringList m_removed;       // the names of the rows no entry comes from, in row order
    std::vector<Retext> m_retexts;
    QByteArray m_beforeSelected;
    QByteArray m_afterSelected;  // empty: each entry's flag went with it
    int m_beforeCurrent;
    int m_afterCurrent;
    QString m_beforeFolder;
    QString m_afterFolder;
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
    // Facts come for most listed pictures: grown step by step, the table
    // would be rebuilt a dozen times on a large folder.
    m_facts.reserve(names.size());
    m_selection.clear();
    m_model.setNames(names);
}

void PictureList::replaceListing(const QString &folder, const QStringList &names, const QString &text,
                                 StepCompanion companion)
{
    const State before = state();
    State after;
    after.names = names;
    after.selected.assign(size_t(names.size()), false);
    after.folder = folder;
    // Every entry is new: the step keeps both lists, as it must.
    const std::vector<int> origin(size_t(names.size()), -1);
    auto step = std::make_unique<PictureListStep>(*this, before, after, origin, std::move(companion));
    if (m_history)
        m_history->push(text, std::move(step));
    else
        step->redo();
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
    return {names(), selectedFlags(), currentRow(), m_folder};
}

void PictureList::apply(const State &state, const std::vector<int> &origin)
{
    // The selection goes first and comes back in one piece: a selection of
    // thousands of separate rows left in place would be re-mapped range by
    // range through every removal or layout change.
    Q_EMIT stepAboutToApply();
    m_selection.clearSelection();
    const bool allNew = std::all_of(origin.cbegin(), origin.cend(), [](int from) { return from < 0; });
    if (state.folder != m_folder || (allNew && !state.names.isEmpty())) {
        // A list made anew, another folder's with its own facts: one reset
        // for the views.
        if (state.folder != m_folder) {
            m_facts.clear();
            m_facts.reserve(state.names.size());
        }
        m_folder = state.folder;
        m_selection.clear();
        m_model.setNames(state.names);
    } else {
        m_model.changeNames(state.names, origin);
    }

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
    // A change that returns flags or origins not matching its names gets
    // them fitted: a row of unknown origin is new, a missing flag unselected.
    after.selected.resize(size_t(after.names.size()), false);
    edit.origin.resize(size_t(after.names.size()), -1);
    for (int &from : edit.origin)
        if (from >= int(before.names.size()))
            from = -1;
    auto step = std::make_unique<PictureListStep>(*this, before, after, edit.origin, std::move(companion));
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

ListEditOutcome PictureList::moveSelectedToPage(int page)
{
    const State before = state();
    State after = before;
    ListEdit edit = tarnwick::moveSelectedToPage(page, after.names, after.selected);
    return commit(before, std::move(after), std::move(edit), moveToPageText());
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
    const PictureFacts *found = findFacts(name);
    return found ? std::optional<PictureFacts>(*found) : std::nullopt;
}

const PictureFacts *PictureList::findFacts(const QString &name) const
{
    const auto found = m_facts.constFind(name);
    return found != m_facts.cend() ? &*found : nullptr;
}

void PictureList::setFacts(const QString &name, const PictureFacts &facts)
{
    m_facts.insert(name, facts);
    Q_EMIT factsChanged({name});
}

void PictureList::setFacts(std::vector<std::pair<QString, PictureFacts>> batch)
{
    if (batch.empty())
        return;
    QStringList names;
    names.reserve(qsizetype(batch.size()));
    for (auto &[name, facts] : batch) {
        m_facts.emplace(name, std::move(facts));
        names.append(name);
    }
    Q_EMIT factsChanged(names);
}

void PictureList::forgetFacts(const QStringList &names)
{
    if (names.isEmpty())
        return;
    for (const QString &name : names)
        m_facts.remove(name);
    Q_EMIT filesChanged(names);
    Q_EMIT factsChanged(names);
}

} // namespace tarnwick
