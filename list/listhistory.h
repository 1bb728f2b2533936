#pragma once

#include <QString>

#include <memory>

namespace tarnwick {

// One change of a picture list that can be taken back and made again.
class ListStep
{
public:
    virtual ~ListStep() = default;
    virtual void redo() = 0;
    virtual void undo() = 0;
};

// Where a PictureList records its steps for undo. The window's history is
// Qt's undo stack; a list without one (tarnwick-make's) makes each change
// and forgets it, and needs no GUI library for it.
class ListHistory
{
public:
    virtual ~ListHistory() = default;
    // Makes the step (redo) and records it under text.
    virtual void push(const QString &text, std::unique_ptr<ListStep> step) = 0;
    virtual void clear() = 0;
    // The steps pushed between these two are one step, undone and redone
    // together, named text.
    virtual void beginGroup(const QString &text) = 0;
    virtual void endGroup() = 0;
    virtual void undo() = 0;
    virtual void redo() = 0;
    virtual bool canUndo() const = 0;
    virtual bool canRedo() const = 0;
    virtual int count() const = 0;
};

// Makes the steps pushed while it lives one step of history (none: nothing).
class ListStepGroup
{
public:
    ListStepGroup(ListHistory *history, const QString &text)
        : m_history(history)
    {
        if (m_history)
            m_history->beginGroup(text);
    }
    ~ListStepGroup()
    {
        if (m_history)
            m_history->endGroup();
    }
    ListStepGroup(const ListStepGroup &) = delete;
    ListStepGroup &operator=(const ListStepGroup &) = delete;

private:
    ListHistory *m_history;
};

} // namespace tarnwick
