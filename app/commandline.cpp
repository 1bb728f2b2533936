#include "app/commandline.h"

#include <QCommandLineParser>

namespace tarnwick {

WindowCommandLine parseWindowCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Arranges a folder of GIF and JPEG pictures into the .dml document of a picture book.\n"
        "PATH: a picture folder to list, or a .dml document to reopen (its folder is listed\n"
        "and arranged by it)."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({help, version});
    // The options QApplication takes for itself, so they do not count as unknown.
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
                             "style", "stylesheet"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("A picture folder or a .dml document."),
                                 QStringLiteral("[PATH]"));

    WindowCommandLine result;
    const auto usage = [&result](const QString &problem) {
        result.finish = true;
        result.exitCode = 2;
        result.standardError = QStringLiteral("tarnwick: %1\nUsage: tarnwick [options] [PATH]\n"
                                              "Try 'tarnwick --help'.\n")
                                   .arg(problem);
        return result;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        result.finish = true;
        // Without an application object Qt cannot name the program itself.
        result.standardOutput = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tarnwick"));
        return result;
    }
    if (parser.isSet(version)) {
        result.finish = true;
        result.standardOutput = QStringLiteral("tarnwick " TARNWICK_VERSION "\n" TARNWICK_LICENCE_NOTICE);
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return usage(QStringLiteral("at most one PATH expected"));
    if (!positional.isEmpty())
        result.path = positional.constFirst();
    return result;
}

} // namespace tarnwick
