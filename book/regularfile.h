#pragma once

#include <QFile>
#include <QString>

#include <optional>

namespace tarnwick {

// Opens a file that Tarnwick only reads (a picture, a document, a thumbnail)
// so that no open can block: O_NONBLOCK, and the descriptor is looked at with
// fstat before a byte is read. A FIFO or a device planted under the name
// would otherwise keep the opening thread waiting for a writer for ever.
// Returns nothing when file is open for reading, else the reason in English.
std::optional<QString> openRegularFile(QFile &file, const QString &path,
                                       QIODevice::OpenMode mode = QIODevice::ReadOnly);

// The same, relative to an open folder, never following a link in the last
// component; the descriptor is handed to file. For readers that have checked
// the folder itself.
std::optional<QString> openRegularFileAt(QFile &file, int folder, const QByteArray &name,
                                         QIODevice::OpenMode mode = QIODevice::ReadOnly);

// Writes all of data to fd, again after an interruption; on false errno
// tells why.
bool writeAll(int fd, const char *data, qint64 length);
inline bool writeAll(int fd, const QByteArray &bytes)
{
    return writeAll(fd, bytes.constData(), bytes.size());
}

// The reason openRegularFile gives for anything but a plain file.
QString notRegularFileReason();

} // namespace tarnwick
