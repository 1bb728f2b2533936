#include "app/colourswatch.h"

#include "book/booknotation.h"
#include "book/colourvalue.h"
#include "widgets/qtcolour.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace tarnwick {

ColourSwatch::ColourSwatch(ColourValue colour, QWidget *parent)
    : LinkLabel(QString(), parent)
{
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::TabFocus);
    setColour(colour);
}

void ColourSwatch::setColour(ColourValue colour)
{
    const bool changed = colour != m_colour;
    m_colour = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(colour));
    // The border line stays black whatever the fill.
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    // Its name is what it is for (the tooltip); the colour it holds is
    // told as the document writes it.
    setAccessibleDescription(QString::fromLatin1(colourNotation(colour)));
    if (changed)
        Q_EMIT colourChanged(colour);
}

void ColourSwatch::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            event->accept();
            click();
            return;
        }
        break;
    default:
        break;
    }
    LinkLabel::keyPressEvent(event);
}

void ColourSwatch::paintEvent(QPaintEvent *event)
{
    LinkLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(2, 2, -2, -2);
    // The style picks a line colour that shows on the fill.
    option.backgroundColor = toQColor(m_colour);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

} // namespace tarnwick
