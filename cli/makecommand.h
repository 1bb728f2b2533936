#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace tarnwick {

// The outcome of one tarnwick-make run: its exit status and what it prints.
struct MakeResult
{
    int exitCode = 0;
    QString standardOutput;
    QString standardError;
};

// Exit statuses of tarnwick-make.
// MakeOutputFailed: the document was written, but its path could not be
// printed (standard output on a full disk or closed).
// MakeNotConverted: --convert could not convert every picture.
enum MakeExit {
    MakeWritten = 0,
    MakeCheckFailed = 1,
    MakeNotConverted = 1,
    MakeUsageError = 2,
    MakeWriteFailed = 3,
    MakeOutputFailed = 4
};

// Runs tarnwick-make with the given arguments (the first is the program name):
// lists the folder, fills the book inputs from the options and their
// defaults, checks them as the window does and writes the document.
// standardInput is read when --pages is "-".
MakeResult runMake(const QStringList &arguments, QIODevice &standardInput);

// A name or path as part of one line of output, escaped as `ls -b` shows it.
QString printableName(const QString &name);

} // namespace tarnwick
