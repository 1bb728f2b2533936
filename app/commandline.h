#pragma once

#include <QString>
#include <QStringList>

namespace tarnwick {

// What tarnwick's command line asks for. It is read before the window system
// starts, so --help and --version work without a display.
struct WindowCommandLine
{
    // Set when the program is to print and end instead of opening its window.
    bool finish = false;
    int exitCode = 0;
    QString standardOutput;
    QString standardError;
    // A folder or .dml file to open once the window is up; empty for none.
    QString path;
};

// Reads tarnwick's arguments (the first is the program name). Qt's own
// options (-platform, -style, -display ...) pass through to the application.
WindowCommandLine parseWindowCommandLine(const QStringList &arguments);

} // namespace tarnwick
