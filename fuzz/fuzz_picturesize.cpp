// Reads the size of an arbitrary picture file with Tarnwick's header reader,
// as the folder scan presets the size boxes and placement sizes each page,
// and the camera's thumbnail in its EXIF block, as the page board shows it
// first; checks the size against Qt's own reader: on every GIF and JPEG
// whose size Qt reads, the header reader must read the same. Inputs are at most 64 KiB
// here (libFuzzer's -max_len stays below it), so a GIF's first frame is
// always within the reader's reach.
#include "imaging/camerathumbnail.h"
#include "facts/pictureheader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The image plugins are found through the application object: one for the
// whole run. Qt's warnings about damaged pictures are not news here.
struct Environment
{
    Environment() { qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); }

    int argc = 1;
    char name[24] = "fuzz_picturesize";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Environment environment;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    QBuffer headerBuffer;
    headerBuffer.setData(bytes);
    headerBuffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const tarnwick::PictureHeader header = tarnwick::PictureHeader::read(headerBuffer);
    if (header.size() && (header.size()->width() <= 0 || header.size()->height() <= 0))
        std::abort();
    if (header.size().has_value() == !header.reason().isEmpty())
        std::abort();
    // A camera's thumbnail lies inside the part of its EXIF block the file
    // holds (a cut file holds less than the block's length says).
    if (const auto block = header.exifBlock()) {
        if (block->offset < 0 || block->length < 6 || block->offset + 6 > bytes.size())
            std::abort();
        const QByteArray held = bytes.sliced(block->offset, std::min<qint64>(block->length, bytes.size() - block->offset));
        const QByteArray thumbnail = tarnwick::exifThumbnailData(held);
        if (thumbnail.size() > held.size() || (!thumbnail.isEmpty() && !held.contains(thumbnail)))
            std::abort();
    }
    if (tarnwick::exifThumbnailData(QByteArray("Exif\0\0", 6) + bytes).size() > bytes.size())
        std::abort();

    QBuffer qtBuffer;
    qtBuffer.setData(bytes);
    qtBuffer.open(QIODevice::ReadOnly);
    QImageReader reader(&qtBuffer);
    const QSize qtSize = reader.size();
    const QByteArray format = reader.format();
    const bool mustAgree = (format == "gif" || format == "jpeg") && qtSize.isValid() && !qtSize.isEmpty()
        && bytes.size() <= tarnwick::kJpegHeaderLimit;
    if (mustAgree && header.size() != qtSize) {
        std::fprintf(stderr, "header reader %dx%d, Qt %dx%d (%s)\n", header.size().value_or(QSize()).width(),
                     header.size().value_or(QSize()).height(), qtSize.width(), qtSize.height(), format.constData());
        std::abort();
    }
    return 0;
}
