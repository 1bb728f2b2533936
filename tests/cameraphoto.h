#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// Photos as cameras write them: an EXIF block with the orientation in IFD0
// and a small JPEG thumbnail in IFD1, the block an APP1 segment right after
// the start of the JPEG.
namespace cameraphoto {

// Where a block made by exifBlock() keeps its fields, counted from the start
// of the block.
inline constexpr int kSecondIfdPointer = 6 + 22;
inline constexpr int kSecondIfdCount = 6 + 26;
inline constexpr int kCompressionValue = 6 + 36;
inline constexpr int kThumbnailOffsetValue = 6 + 48;
inline constexpr int kThumbnailLengthValue = 6 + 60;

inline QByteArray jpegBytes(const QImage &image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

inline QByteArray exifBlock(const QByteArray &thumbnailJpeg, bool bigEndian = true, quint16 orientation = 1)
{
    QByteArray tiff;
    const auto put = [&](quint32 value, int width) {
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (bigEndian ? width - 1 - i : i);
            tiff += char((value >> shift) & 0xFF);
        }
    };
    const auto entry = [&](quint16 tag, quint16 type, quint32 value) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        if (type == 3) {
            put(value, 2);
            put(0, 2);
        } else {
            put(value, 4);
        }
    };
    tiff += bigEndian ? "MM" : "II";
    put(42, 2);
    put(8, 4);
    put(1, 2);                  // IFD0 at 8: the orientation
    entry(0x0112, 3, orientation);
    put(26, 4);
    put(3, 2);                  // IFD1 at 26: a JPEG thumbnail after it, at 68
    entry(0x0103, 3, 6);
    entry(0x0201, 4, 68);
    entry(0x0202, 4, quint32(thumbnailJpeg.size()));
    put(0, 4);
    return QByteArray("Exif\0\0", 6) + tiff + thumbnailJpeg;
}

inline QByteArray withExif(QByteArray jpeg, const QByteArray &block)
{
    const int length = int(block.size()) + 2;
    jpeg.insert(2, QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + block);
    return jpeg;
}

} // namespace cameraphoto
