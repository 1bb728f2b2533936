#include "app/startup.h"

#include "imaging/previewdecode.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

namespace tarnwick {

QFont layoutFont(QFont font)
{
    font.setPixelSize(12);
    return font;
}

void setUpApplication(QApplication &app)
{
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick"));
    // Once, before any worker decodes.
    setDecodingLimit();
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    // The Wayland app id and the X11 startup notification name the installed
    // desktop entry, so the window gets its icon and taskbar grouping.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARNWICK_APP_ID));

    // The fixed layout puts every frame's first control 16 pixels below the
    // frame's top, which assumes the caption sits in the frame's border line
    // as the classic Windows style draws it; Fusion puts it above the line.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);
    QApplication::setFont(layoutFont(app.font()));

    // Qt's own texts (the folder and colour choosers, the Yes and No buttons)
    // speak Chinese like the rest of the window, whatever the desktop's
    // language. Without the translation file they stay in English.
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace tarnwick
