#include "app/typedlengthlimit.h"

#include <QLineEdit>

namespace tarnwick {

TypedLengthLimit::TypedLengthLimit(QLineEdit *edit, int limit)
    : QObject(edit)
    , m_edit(edit)
    , m_limit(limit)
    , m_lastText(edit->text())
{
    // The edit's own text, not the signal's argument: after a refused edit the
    // signal still carries the refused text.
    connect(edit, &QLineEdit::textChanged, this, [this] { m_lastText = m_edit->text(); });
    // textEdited comes before textChanged, so m_lastText still holds the text
    // before the user's edit here.
    connect(edit, &QLineEdit::textEdited, this, &TypedLengthLimit::onTextEdited);
}

void TypedLengthLimit::onTextEdited(const QString &text)
{
    // Deleting from an over-long text is always allowed; growing past the
    // limit is refused as a whole.
    if (text.size() <= m_limit || text.size() <= m_lastText.size())
        return;
    const int cursor = m_edit->cursorPosition() - int(text.size() - m_lastText.size());
    const QString previous = m_lastText;
    m_edit->setText(previous);
    m_edit->setCursorPosition(qMax(0, cursor));
}

} // namespace tarnwick
