#pragma once

#include "widgets/linklabel.h"
#include "book/booksettings.h"

namespace tarnwick {

// A filled label that shows one colour of the book, as the book session
// holds it. Unlike the list commands it takes the focus
// by Tab, so the colours can be chosen without a mouse: Space or Enter then
// clicks it. A mouse click does not move the focus.
class ColourSwatch : public LinkLabel
{
    Q_OBJECT

public:
    explicit ColourSwatch(ColourValue colour, QWidget *parent = nullptr);

    ColourValue colour() const { return m_colour; }
    void setColour(ColourValue colour);

Q_SIGNALS:
    void colourChanged(ColourValue colour);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    ColourValue m_colour = 0;
};

} // namespace tarnwick
