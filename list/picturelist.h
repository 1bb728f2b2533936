#pragma once

#include "facts/pageproblem.h"
#include "list/listcommands.h"
#include "list/listhistory.h"
#include "list/picturelistmodel.h"

#include <QDateTime>
#include <QHash>
#include <QItemSelectionModel>
#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

// What Tarnwick knows of one listed picture file; fields not known yet are unset.
struct PictureFacts
{
    std::optional<qint64> byteSize;
    QDateTime modified;
    // The picture's pixel size from its header (what the preset and the
    // placement of a page take), once read; sizeReason says why it could not be.
    std::optional<QSize> pixelSize;
    QString sizeReason;
    // Why the book will not show the picture as it is, read with the size.
    std::optional<PageProblem> problem;
};

// Something a list step changes besides the list (the inputs a book sets):
// redo puts it in place, undo takes it back. Both run on the window's thread.
struct StepCompanion
{
    std::function<void()> redo;
    std::function<void()> undo;
};

// The picture list of one window, without a widget: the folder it was made
// from, the names in page order (the model), the one selection model every
// view of the list shares with its current entry, the history that every
// change goes through as one step, and what is known of each listed picture.
// Views only show the model and the selection; they change the list through
// this object.
class PictureList : public QObject
{
    Q_OBJECT

public:
    explicit PictureList(QObject *parent = nullptr);
    ~PictureList() override;

    PictureListModel *model() { return &m_model; }
    QItemSelectionModel *selectionModel() { return &m_selection; }
    // Where every change is recorded as one step; none by default: a change
    // is then made and forgotten. The history is the caller's.
    ListHistory *history() const { return m_history; }
    void setHistory(ListHistory *history);

    // The folder the list was made from, ending in "/"; "" before the first listing.
    QString folder() const { return m_folder; }
    // A new list (a scan): nothing selected, no current entry, nothing to
    // undo, nothing known of the pictures.
    void setListing(const QString &folder, const QStringList &names);
    // A new list as one step, of this folder or another: nothing selected, no
    // current entry, what was known of the pictures forgotten when the folder
    // changes. Undo brings back the folder and the list with its selection
    // and current entry; the companion goes with it.
    void replaceListing(const QString &folder, const QStringList &names, const QString &text,
                        StepCompanion companion = {});
    const QStringList &names() const { return m_model.names(); }

    ListEditOutcome run(ListCommand command);
    ListEditOutcome arrange(ListOrder order);
    // Arranges the list by a book's pages as one step (see arrangeByPages);
    // the pages the list lacks go to missing.
    ListEditOutcome arrangeByPages(const QStringList &pages, const QString &text, QStringList *missing = nullptr);
    // Any other change as one step: change edits the names and selected
    // flags. A companion makes the step also set and take back what goes
    // with the change outside the list (the inputs a book sets); with one, the
    // step is taken even when the list stays as it is.
    using Change = std::function<ListEdit(QStringList &names, std::vector<bool> &selected)>;
    ListEditOutcome change(const QString &text, const Change &change, StepCompanion companion = {});
    // Moves the selected entries into the gap before row, as a drop does.
    ListEditOutcome moveSelectedTo(int row);
    // Moves the selected entries so that the first of them becomes that
    // page (1 = the first), the others following in their order; one step.
    ListEditOutcome moveSelectedToPage(int page);

    int currentRow() const;       // -1 when there is no current entry
    QString currentEntry() const; // "" when there is no current entry
    std::vector<bool> selectedFlags() const;

    // The list as a step leaves it: its names, selected flags and current
    // row, and the folder it was made from.
    struct State
    {
        QStringList names;
        std::vector<bool> selected;
        int current = -1;
        QString folder;
    };
    State state() const;

    // What is known of the picture at row or by that name; the byte size and
    // modification time are read from the file the first time they are asked for.
    PictureFacts facts(int row) const;
    PictureFacts facts(const QString &name) const;
    // What is known of the picture by that name without asking the file
    // system; nothing before anything is.
    std::optional<PictureFacts> knownFacts(const QString &name) const;
    // The same without a copy, for passes over every page: null when nothing
    // is known; valid until the facts next change.
    const PictureFacts *findFacts(const QString &name) const;
    // Selects the entries with these names, the first of them current; no
    // undo step (a check that points the user at entries it found).
    void selectNames(const QStringList &names);

    // Records what was found out about a listed picture.
    void setFacts(const QString &name, const PictureFacts &facts);
    // Records what was found out about a batch of pictures, with one signal.
    void setFacts(std::vector<std::pair<QString, PictureFacts>> batch);
    // The files by these names changed: what was known of them is forgotten,
    // to be read again.
    void forgetFacts(const QStringList &names);

Q_SIGNALS:
    // What is known of the pictures by these names changed.
    void factsChanged(const QStringList &names);
    // The listed files by these names changed on disk; their facts are
    // forgotten and a view's picture of them is old.
    void filesChanged(const QStringList &names);
    // A step is about to put its list in place, and has done so. A view
    // repaints once afterwards instead of the region of every selection
    // range the step takes away and gives back.
    void stepAboutToApply();
    void stepApplied();

private:
    friend class PictureListStep;
    // Changes the list from one state to another; origin maps the new rows to
    // the old ones.
    void apply(const State &state, const std::vector<int> &origin);
    // Puts a whole selection and the current entry in place at once.
    void select(const std::vector<bool> &selected, int current);
    ListEditOutcome commit(const State &before, State after, ListEdit edit, const QString &text,
                           StepCompanion companion = {});

    QString m_folder;
    PictureListModel m_model;
    QItemSelectionModel m_selection{&m_model};
    ListHistory *m_history = nullptr;
    mutable QHash<QString, PictureFacts> m_facts;
};

} // namespace tarnwick
