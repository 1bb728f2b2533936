#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace tarnwick {

// An open picture file, read only, opened with openRegularFile (a FIFO put in
// a picture's place cannot hang the worker). Closed with the object.
class PictureFile
{
public:
    PictureFile() = default;
    PictureFile(const PictureFile &) = delete;
    PictureFile &operator=(const PictureFile &) = delete;

    // Opens path; on failure the reason.
    std::optional<QString> open(const QString &path);

    int descriptor() const { return m_fd; }
    qint64 size() const { return m_size; }

    // The whole file; on failure the system's reason.
    std::optional<QString> readAll(QByteArray &out);
    // Copies the whole file into the new file at target (which must not
    // exist) with copy_file_range, which shares blocks where the file system
    // can; never a link, so an edit of one never changes the other.
    std::optional<QString> copyTo(const QString &target);

private:
    QFile m_file;
    int m_fd = -1;
    qint64 m_size = 0;
};

// Writes bytes to the new file at target, which must not exist; on failure
// the system's reason, and no file is left.
std::optional<QString> writeNewFile(const QString &target, const QByteArray &bytes);

} // namespace tarnwick
