#include "app/commandline.h"
#include "app/frmmain.h"
#include "app/icons.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "app/storedsettings.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Read before QApplication exists: without a display it would end the
    // process, and --help must still answer.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const tarnwick::WindowCommandLine commandLine = tarnwick::parseWindowCommandLine(arguments);
    if (commandLine.finish) {
        const QByteArray out = commandLine.standardOutput.toLocal8Bit();
        const QByteArray err = commandLine.standardError.toLocal8Bit();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
        return std::fflush(stdout) == 0 ? commandLine.exitCode : 1;
    }

    QApplication app(argc, argv);
    tarnwick::setUpApplication(app, true);

    tarnwick::QtPlatform platform;
    tarnwick::frmMain window(platform, tarnwick::defaultSettingsPath());
    // Quit ends the program at once: no close, so no unload handling.
    QObject::connect(&window, &tarnwick::frmMain::quitRequested, &app,
                     [] { QCoreApplication::exit(0); });
    window.show();
    // The theme's icon, which may differ from the built-in one the window
    // shows first, is looked up once the window is on screen: reading the
    // icon theme's index is a noticeable part of the start.
    QTimer::singleShot(0, &window, [&window] { window.setWindowIcon(tarnwick::applicationIcon()); });
    // The path opens over the shown window, after the stored settings, so a
    // document's values win over them.
    if (!commandLine.path.isEmpty())
        QTimer::singleShot(0, &window, [&window, &commandLine] { window.openPath(commandLine.path); });
    return app.exec();
}
