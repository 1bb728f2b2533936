#include "imaging/camerathumbnail.h"

#include "book/regularfile.h"
#include "facts/pictureheader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cstdlib>
#include <optional>

namespace tarnwick {

namespace {

constexpr int kExifHeaderSize = 6;
constexpr quint16 kCompressionTag = 0x0103;
constexpr quint16 kJpegOffsetTag = 0x0201;
constexpr quint16 kJpegLengthTag = 0x0202;
constexpr quint32 kJpegCompression = 6;
constexpr int kEntrySize = 12;
constexpr int kLargestThumbnail = 1024;

// Numbers of a TIFF structure in its own byte order; nullopt past the end.
class TiffBytes
{
public:
    explicit TiffBytes(QByteArrayView bytes)
        : m_bytes(bytes)
        , m_bigEndian(bytes.startsWith("MM"))
    {
    }

    qsizetype size() const { return m_bytes.size(); }

    std::optional<quint32> number(qint64 pos, int width) const
    {
        if (pos < 0 || pos + width > m_bytes.size())
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < width; ++i) {
            const quint32 byte = uchar(m_bytes[pos + (m_bigEndian ? i : width - 1 - i)]);
            value = value << 8 | byte;
        }
        return value;
    }

    // An entry's single SHORT or LONG value, which sits in the entry itself.
    std::optional<quint32> entryValue(qint64 entry) const
    {
        const std::optional<quint32> type = number(entry + 2, 2);
        const std::optional<quint32> count = number(entry + 4, 4);
        if (!type || count != 1u)
            return std::nullopt;
        if (*type == 3)
            return number(entry + 8, 2);
        if (*type == 4)
            return number(entry + 8, 4);
        return std::nullopt;
    }

private:
    QByteArrayView m_bytes;
    bool m_bigEndian;
};

// Crops away what a thumbnail has beyond the picture's proportions, an even
// band on either side.
QImage toProportions(const QImage &thumbnail, QSize picture)
{
    const qint64 wide = qint64(thumbnail.width()) * picture.height();
    const qint64 tall = qint64(thumbnail.height()) * picture.width();
    // Within a pixel of the right proportions: nothing to cut.
    if (std::llabs(wide - tall) <= std::max(picture.width(), picture.height()))
        return thumbnail;
    if (wide > tall) {
        const int width = std::max(1, int(tall / picture.height()));
        return thumbnail.copy((thumbnail.width() - width) / 2, 0, width, thumbnail.height());
    }
    const int height = std::max(1, int(wide / picture.width()));
    return thumbnail.copy(0, (thumbnail.height() - height) / 2, thumbnail.width(), height);
}

} // namespace

QByteArray exifThumbnailData(QByteArrayView exifBlock)
{
    if (!exifBlock.startsWith(QByteArrayView("Exif\0\0", kExifHeaderSize)))
        return {};
    const QByteArrayView tiffBytes = exifBlock.sliced(kExifHeaderSize);
    if (!tiffBytes.startsWith("II*\0") && !tiffBytes.startsWith(QByteArrayView("MM\0*", 4)))
        return {};
    const TiffBytes tiff(tiffBytes);
    // IFD0, then the IFD after it: the thumbnail's.
    const std::optional<quint32> first = tiff.number(4, 4);
    const std::optional<quint32> firstCount = first ? tiff.number(*first, 2) : std::nullopt;
    if (!firstCount)
        return {};
    const std::optional<quint32> second = tiff.number(qint64(*first) + 2 + qint64(*firstCount) * kEntrySize, 4);
    const std::optional<quint32> secondCount = second && *second != 0 ? tiff.number(*second, 2) : std::nullopt;
    if (!secondCount)
        return {};
    std::optional<quint32> offset, length, compression;
    for (quint32 i = 0; i < *secondCount; ++i) {
        const qint64 entry = qint64(*second) + 2 + qint64(i) * kEntrySize;
        const std::optional<quint32> tag = tiff.number(entry, 2);
        if (!tag)
            return {};
        if (*tag == kCompressionTag)
            compression = tiff.entryValue(entry);
        else if (*tag == kJpegOffsetTag)
            offset = tiff.entryValue(entry);
        else if (*tag == kJpegLengthTag)
            length = tiff.entryValue(entry);
    }
    if (!offset || !length || *length == 0 || (compression && *compression != kJpegCompression))
        return {};
    if (qint64(*offset) + qint64(*length) > tiff.size())
        return {};
    return tiffBytes.sliced(*offset, *length).toByteArray();
}

QImage cameraThumbnail(const QString &path)
{
    QFile file;
    if (openRegularFile(file, path, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    const PictureHeader header = PictureHeader::read(file);
    const std::optional<PictureHeader::Block> block = header.exifBlock();
    if (!header.size() || !block || !file.seek(block->offset))
        return {};
    const QByteArray data = exifThumbnailData(file.read(block->length));
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    // A few kilobytes may claim any size; a camera's thumbnail is small.
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.width() > kLargestThumbnail || claimed.height() > kLargestThumbnail)
        return {};
    // As it is stored: the camera turns neither the photo nor this.
    reader.setAutoTransform(false);
    const QImage thumbnail = reader.read();
    if (thumbnail.isNull())
        return {};
    return toProportions(thumbnail, *header.size());
}

} // namespace tarnwick
