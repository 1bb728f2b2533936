#include "app/frmmain.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "app/storedsettings.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tarnwick::setUpApplication(app);

    tarnwick::QtPlatform platform;
    tarnwick::frmMain window(platform, tarnwick::defaultSettingsPath());
    // Quit ends the program at once: no close, so no unload handling.
    QObject::connect(&window, &tarnwick::frmMain::quitRequested, &app,
                     [] { QCoreApplication::exit(0); });
    window.show();
    return app.exec();
}
