#include "cli/makecommand.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return tarnwick::MakeUsageError;
    const tarnwick::MakeResult result = tarnwick::runMake(QCoreApplication::arguments(), in);
    const QByteArray out = result.standardOutput.toLocal8Bit();
    const QByteArray err = result.standardError.toLocal8Bit();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    std::fflush(stdout);
    return result.exitCode;
}
