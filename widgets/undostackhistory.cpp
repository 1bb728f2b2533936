#include "widgets/undostackhistory.h"

#include <QUndoCommand>

namespace tarnwick {

namespace {

class StepCommand : public QUndoCommand
{
public:
    StepCommand(const QString &text, std::unique_ptr<ListStep> step)
        : QUndoCommand(text)
        , m_step(std::move(step))
    {
    }
    void redo() override { m_step->redo(); }
    void undo() override { m_step->undo(); }

private:
    std::unique_ptr<ListStep> m_step;
};

} // namespace

UndoStackHistory::UndoStackHistory()
{
    m_stack.setUndoLimit(500);
}

UndoStackHistory::~UndoStackHistory()
{
    // The steps refer to their list; they go before anything else does.
    m_stack.clear();
}

void UndoStackHistory::push(const QString &text, std::unique_ptr<ListStep> step)
{
    m_stack.push(new StepCommand(text, std::move(step)));
}

} // namespace tarnwick
