#pragma once

#include <QIODevice>
#include <QSize>
#include <QString>

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

// Reads the pixel size of a GIF or JPEG picture from its header alone, never
// decoding it. The content decides, not the name (a GIF named .jpg is read as
// a GIF). On every picture Qt's reader can read, the size equals what
// QImageReader::size() reports: for a GIF, the first frame's logical screen,
// or where that screen is more than ten times the frame (and over 200 pixels
// more), the frame's right and bottom edge, as Qt does; for a JPEG, the size
// in its frame header, EXIF orientation not applied. Damage after the size
// does not matter. A GIF is read up to its first image, its extension blocks
// skipped by their lengths, so never more than the file; a JPEG only up to the
// block that holds its frame header, and no further than kJpegHeaderLimit.
// Files that are not plain files are not read. Thread-safe: it shares nothing.
class PictureHeader
{
public:
    // What went wrong when no size was read.
    enum class Failure { None, CannotOpen, NotGifOrJpeg, NoSize };

    // Reads from device, which is open for reading, from its start.
    static PictureHeader read(QIODevice &device);
    // Reads the file at path.
    static PictureHeader readFile(const QString &path);

    std::optional<QSize> size() const { return m_size; }

    // Where a run of bytes lies in the file.
    struct Block
    {
        qint64 offset = 0;
        int length = 0;
    };
    // A JPEG's EXIF block ("Exif\0\0" and the TIFF structure after it), when
    // one comes before the frame header, as cameras write it.
    std::optional<Block> exifBlock() const { return m_exif; }
    Failure failure() const { return m_failure; }
    // Why no size was read, in English for a log: the system's reason, "not
    // a GIF or JPEG picture" or "no size in its header"; empty with a size.
    QString reason() const { return m_reason; }

private:
    std::optional<QSize> m_size;
    std::optional<Block> m_exif;
    Failure m_failure = Failure::None;
    QString m_reason;
};

// How far into a JPEG its frame header is looked for; a file without one
// there has no size.
inline constexpr qint64 kJpegHeaderLimit = 16 * 1024 * 1024;

// Threads that read picture headers. Each read is a few microseconds of work
// on a file in the page cache; see bench_placement for one thread against two.
inline constexpr int kHeaderThreads = 2;

// Reads the header of each named picture in folder (which ends in "/") on
// threads worker threads, the calling thread among them; the results are in
// the order of names. progress, when given, is called on the calling thread
// now and then with the number read so far.
std::vector<PictureHeader> readPictureHeaders(const QString &folder, const QStringList &names, int threads,
                                              const std::function<void(qsizetype)> &progress = {});

} // namespace tarnwick
