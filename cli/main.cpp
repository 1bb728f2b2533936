#include "cli/errorprefixer.h"
#include "cli/makecommand.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Every line on standard error names the program, the picture libraries' own included.
    const tarnwick::ErrorPrefixer prefixer("tarnwick-make: ");
    QCoreApplication app(argc, argv);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return tarnwick::MakeUsageError;
    const tarnwick::MakeResult result = tarnwick::runMake(QCoreApplication::arguments(), in);
    const QByteArray out = result.standardOutput.toLocal8Bit();
    const QByteArray err = result.standardError.toLocal8Bit();
    const bool printed = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size())
        && std::fflush(stdout) == 0;
    const int error = errno;
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    // A script that reads the path must not take a lost one for success.
    if (!printed) {
        const QByteArray reason = QStringLiteral("tarnwick-make: cannot write to standard output: %1\n")
                                      .arg(qt_error_string(error))
                                      .toLocal8Bit();
        std::fwrite(reason.constData(), 1, size_t(reason.size()), stderr);
        return result.exitCode == tarnwick::MakeWritten ? tarnwick::MakeOutputFailed : result.exitCode;
    }
    return result.exitCode;
}
