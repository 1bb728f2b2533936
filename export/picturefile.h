#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tarnwick {

// An open picture file, read only: opened without blocking (a FIFO put in a
// picture's place cannot hang the worker) and refused unless it is an
// ordinary file. Closed with the object.
class PictureFile
{
public:
    PictureFile() = default;
    ~PictureFile();
    PictureFile(const PictureFile &) = delete;
    PictureFile &operator=(const PictureFile &) = delete;

    // Opens path; on failure the system's reason, or "not an ordinary file".
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
    int m_fd = -1;
    qint64 m_size = 0;
};

// Writes bytes to the new file at target, which must not exist; on failure
// the system's reason, and no file is left.
std::optional<QString> writeNewFile(const QString &target, const QByteArray &bytes);

} // namespace tarnwick
