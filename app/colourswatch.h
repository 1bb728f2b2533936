#pragma once

#include "app/clicklabel.h"
#include "book/booksettings.h"

namespace tarnwick {

// A filled label that shows one colour of the book. The swatch is the only
// place the colour is kept while the program runs: the generate command and
// the settings read it from here.
class ColourSwatch : public ClickLabel
{
    Q_OBJECT

public:
    explicit ColourSwatch(ColourValue colour, QWidget *parent = nullptr);

    ColourValue colour() const { return m_colour; }
    void setColour(ColourValue colour);

private:
    ColourValue m_colour = 0;
};

} // namespace tarnwick
