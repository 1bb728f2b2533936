#pragma once

#include "list/listhistory.h"

#include <QUndoStack>

namespace tarnwick {

// A list's history on Qt's undo stack, bounded to the last 500 steps.
class UndoStackHistory : public ListHistory
{
public:
    UndoStackHistory();
    ~UndoStackHistory() override;

    QUndoStack *stack() { return &m_stack; }

    void push(const QString &text, std::unique_ptr<ListStep> step) override;
    void clear() override { m_stack.clear(); }
    void beginGroup(const QString &text) override { m_stack.beginMacro(text); }
    void endGroup() override { m_stack.endMacro(); }
    void undo() override { m_stack.undo(); }
    void redo() override { m_stack.redo(); }
    bool canUndo() const override { return m_stack.canUndo(); }
    bool canRedo() const override { return m_stack.canRedo(); }
    int count() const override { return m_stack.count(); }

private:
    QUndoStack m_stack;
};

} // namespace tarnwick
