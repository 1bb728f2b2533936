#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace tarnwick {

// Limits what the user can type into a line edit to a number of characters
// while text the program sets is shown in full. QLineEdit::setMaxLength would
// cut program-set text as well, and a validator cannot tell an edit that
// shortens an over-long text from one that lengthens it.
class TypedLengthLimit : public QObject
{
    Q_OBJECT

public:
    TypedLengthLimit(QLineEdit *edit, int limit);

private:
    void onTextEdited(const QString &text);

    QLineEdit *m_edit;
    int m_limit;
    QString m_lastText;
};

} // namespace tarnwick
