#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace tarnwick {

// One line across the top of a window: a message and one button that acts
// on it (none for an empty button text). Hidden until there is something to say.
class BoardNotice : public QFrame
{
    Q_OBJECT

public:
    BoardNotice(const QString &buttonText, QWidget *parent = nullptr);

    // Shows the line with this text; an empty text hides it.
    void setText(const QString &text);
    QString text() const;
    QPushButton *button() const { return m_button; }

Q_SIGNALS:
    void buttonClicked();

private:
    QLabel *m_label = nullptr;
    QPushButton *m_button = nullptr;
};

} // namespace tarnwick
