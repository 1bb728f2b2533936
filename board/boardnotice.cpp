#include "board/boardnotice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tarnwick {

BoardNotice::BoardNotice(const QString &buttonText, QWidget *parent)
    : QFrame(parent)
    , m_label(new QLabel(this))
    , m_button(new QPushButton(buttonText, this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette tinted = palette();
    tinted.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xD6));
    tinted.setColor(QPalette::WindowText, Qt::black);
    setPalette(tinted);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &BoardNotice::buttonClicked);
    m_button->setVisible(!buttonText.isEmpty());
    hide();
}

void BoardNotice::setText(const QString &text)
{
    m_label->setText(text);
    // The button's accessible description carries the line it acts on.
    m_button->setAccessibleDescription(text);
    setVisible(!text.isEmpty());
}

QString BoardNotice::text() const
{
    return m_label->text();
}

} // namespace tarnwick
