#include "app/startup.h"

#include <QApplication>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>

namespace tarnwick {

void setUpApplication(QApplication &app)
{
    // The fixed layout puts every frame's first control 16 pixels below the
    // frame's top, which assumes the caption sits in the frame's border line
    // as the classic Windows style draws it; Fusion puts it above the line.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);
    QFont font = app.font();
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace tarnwick
