#pragma once

#include "pictures/listcommands.h"

#include <QObject>
#include <QStringList>

class QListView;
class QWidget;

namespace tarnwick {

class LinkLabel;
class PictureListModel;

// Runs the five list commands on List1: reads the selection as ranges, applies the
// command to the whole list, replaces the model's names in one reset and restores
// the selection and the current entry with one selection each.
class PictureListController : public QObject
{
    Q_OBJECT

public:
    // Sets model on view if it is not already and configures the view as List1.
    PictureListController(QListView *view, PictureListModel *model, QObject *parent = nullptr);

    // Extended selection, uniform item sizes, List1's tooltip, no editing.
    static void configureView(QListView *view);

    // A new list: nothing selected, no current entry.
    void refill(const QStringList &names);
    ListEditOutcome run(ListCommand command);

    // The command label (LinkLabel with caption and tooltip) wired to run().
    LinkLabel *createCommandLabel(ListCommand command, QWidget *parent);

    int currentRow() const;       // -1 when there is no current entry
    QString currentEntry() const; // "" when there is no current entry
    std::vector<bool> selectedFlags() const;

private:
    QListView *m_view;
    PictureListModel *m_model;
};

} // namespace tarnwick
