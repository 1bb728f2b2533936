#include "app/colourswatch.h"

#include "book/colourvalue.h"

namespace tarnwick {

ColourSwatch::ColourSwatch(ColourValue colour, QWidget *parent)
    : ClickLabel(parent)
{
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    setColour(colour);
}

void ColourSwatch::setColour(ColourValue colour)
{
    m_colour = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(colour));
    // The border line stays black whatever the fill.
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

} // namespace tarnwick
