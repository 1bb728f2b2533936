#pragma once

#include <QByteArray>
#include <QDateTime>
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
    // How a JPEG's colours are stored, from its component count and its
    // Adobe block; a GIF is Rgb.
    enum class ColourSpace { Grey, Rgb, Cmyk, Ycck };
    // A JPEG's process, from its frame header marker; None for a GIF.
    enum class Coding { None, Baseline, Extended, Progressive, Lossless, Arithmetic, Hierarchical };

    // How much of a header is read: the size alone, or also the facts that
    // decide whether the book shows the picture as it is (the default).
    enum class Reading { SizeOnly, PageFacts };

    // Reads from device, which is open for reading, from its start.
    static PictureHeader read(QIODevice &device, Reading reading = Reading::PageFacts);
    // Reads the file at path.
    static PictureHeader readFile(const QString &path, Reading reading = Reading::PageFacts);

    // What the open descriptor said of the file it read.
    struct Stamp
    {
        qint64 byteSize = 0;
        QDateTime modified;
    };
    // Reads the file name (in the file system's encoding) in the folder open
    // as the descriptor folder (or AT_FDCWD), following a link as an open by
    // path does. One open, one fstat, the reads and a close: the fewest
    // calls for a folder of thousands of pictures. stamp, when given, gets
    // the size and modification time of the very file read, when it opened.
    static PictureHeader readFileAt(int folder, const QByteArray &name, Reading reading = Reading::PageFacts,
                                    std::optional<Stamp> *stamp = nullptr);

    // Reads the named files in the folder open as the descriptor folder, the
    // results in the order of names. sizes holds each file's byte size where
    // a stat found an ordinary file, else -1: a file without one is taken to
    // be the ordinary file a listing found, and a pipe put in its place since
    // reads as an empty file. present, when given, tells which files are
    // there: read, or not opened for another reason than being gone. Where
    // the kernel offers io_uring, the opens, first reads and closes of many
    // files go in one system call, a few times cheaper than a call each;
    // elsewhere, and for any file the ring could not read, each file is read
    // on its own.
    static std::vector<PictureHeader> readFilesAt(int folder, const std::vector<QByteArray> &names,
                                                  const std::vector<qint64> &sizes, Reading reading = Reading::PageFacts,
                                                  std::vector<bool> *present = nullptr);

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
    // The EXIF orientation of IFD0, 1 to 8; 1 without one or for any other value.
    int orientation() const { return m_orientation; }
    ColourSpace colourSpace() const { return m_colourSpace; }
    Coding coding() const { return m_coding; }
    // Bits per sample of a JPEG's frame (8 or 12 in practice); 8 for a GIF.
    int precision() const { return m_precision; }
    Failure failure() const { return m_failure; }
    // Why no size was read, in English for a log: the system's reason, "not
    // a GIF or JPEG picture" or "no size in its header"; empty with a size.
    QString reason() const { return m_reason; }

private:
    static PictureHeader cannotOpen(int error);

    std::optional<QSize> m_size;
    std::optional<Block> m_exif;
    int m_orientation = 1;
    ColourSpace m_colourSpace = ColourSpace::Rgb;
    Coding m_coding = Coding::None;
    int m_precision = 8;
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
