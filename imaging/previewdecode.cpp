#include "imaging/previewdecode.h"

#include "book/regularfile.h"

#include <QImageReader>

#include <cstdlib>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace tarnwick {

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;

// Below this size the page faults of an ordinary allocation cost little.
constexpr qint64 kLargePictureBytes = 4 * kMegabyte;

// A blank picture in a buffer the kernel may back with 2 MiB pages. Faulting
// in a 48 MB photo four kilobytes at a time costs more than decoding it; with
// large pages the decode runs at djpeg's pace. A null image when the size is
// small, beyond the limit, or the memory is not there.
QImage largePictureBuffer(QSize size, QImage::Format format)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // Qt's JPEG reader reports an unset format for a header it refuses.
    if (size.isEmpty() || format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (depth <= 0)
        return {};
    const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
    const qint64 bytes = bytesPerLine * size.height();
    if (bytes < kLargePictureBytes || bytes > kPreviewAllocationLimitMb * kMegabyte)
        return {};
    constexpr qint64 kLargePage = 2 * kMegabyte;
    const auto rounded = size_t((bytes + kLargePage - 1) / kLargePage * kLargePage);
    void *memory = std::aligned_alloc(size_t(kLargePage), rounded);
    if (!memory)
        return {};
    // Only advice: where large pages are off the buffer is ordinary memory.
    madvise(memory, rounded, MADV_HUGEPAGE);
    QImage picture(static_cast<uchar *>(memory), size.width(), size.height(), qsizetype(bytesPerLine),
                   format, [](void *buffer) { std::free(buffer); }, memory);
    // Never show stale heap contents, whatever a damaged file leaves unwritten.
    picture.fill(0);
    return picture;
#else
    Q_UNUSED(size);
    Q_UNUSED(format);
    return {};
#endif
}

} // namespace

QImage decodePreviewPicture(const QString &path)
{
    QFile file;
    if (openRegularFile(file, path))
        return {};
    QImageReader reader(&file);
    if (!decodesWithin(reader, kPreviewAllocationLimitMb * kMegabyte))
        return {};
    QImage picture;
    // Qt's JPEG reader fills a picture of the right size and format in place,
    // every line of it, so a big one can be given a faster buffer. Not GIFs:
    // their reader draws frames over whatever a given picture holds.
    if (reader.format() == "jpeg")
        picture = largePictureBuffer(reader.size(), reader.imageFormat());
    if (!reader.read(&picture))
        picture = QImage();
    return picture;
}

void setDecodingLimit()
{
    QImageReader::setAllocationLimit(kPreviewAllocationLimitMb);
}

bool decodesWithin(QImageReader &reader, qint64 bytes)
{
    const QSize scaled = reader.scaledSize();
    const QSize size = scaled.isValid() ? scaled : reader.size();
    if (!size.isValid())
        return true;
    return qint64(size.width()) * size.height() * 4 <= bytes;
}

QString unreadablePictureText()
{
    return QStringLiteral(u"无法显示此图片");
}

} // namespace tarnwick
