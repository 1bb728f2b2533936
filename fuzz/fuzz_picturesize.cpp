// Reads the size of an arbitrary picture file, as the folder scan presets the
// size boxes from the first picture, and decodes it when that is cheap, as the
// preview does.
#include "pictures/picturefolder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

// The image plugins are found through the application object: one for the
// whole run.
struct Environment
{
    int argc = 1;
    char name[24] = "fuzz_picturesize";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("picture.jpg"));
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Environment environment;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize headerSize = reader.size();

    // The same bytes through Tarnwick's own reading, from a file as in a folder.
    {
        QFile file(environment.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    const std::optional<QSize> pictureSize = tarnwick::readPictureSize(environment.path);
    if (pictureSize && (pictureSize->width() <= 0 || pictureSize->height() <= 0))
        std::abort();

    // Decoding is bounded: only pictures up to a few megapixels.
    if (headerSize.isValid() && qint64(headerSize.width()) * headerSize.height() <= 4000000) {
        buffer.seek(0);
        QImageReader decoder(&buffer);
        decoder.setAllocationLimit(64);
        const QImage image = decoder.read();
        if (!image.isNull() && (image.width() <= 0 || image.height() <= 0))
            std::abort();
    }
    return 0;
}
