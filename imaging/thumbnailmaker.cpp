#include "imaging/thumbnailmaker.h"

#include "book/regularfile.h"

#include <QImageReader>
#include <QTransform>

#include <algorithm>

namespace tarnwick {

namespace {

// The size that fits the square, at least one pixel each way.
QSize fitted(QSize size, int edge)
{
    if (size.width() <= edge && size.height() <= edge)
        return size;
    const QSize scaled = size.scaled(edge, edge, Qt::KeepAspectRatio);
    return {std::max(1, scaled.width()), std::max(1, scaled.height())};
}

// What QImageReader does for an orientation: mirror or flip first, then a
// quarter turn clockwise (or three quarters for Rotate270).
QImage oriented(const QImage &image, QImageIOHandler::Transformations orientation)
{
    if (orientation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage result = image.mirrored(orientation.testFlag(QImageIOHandler::TransformationMirror),
                                   orientation.testFlag(QImageIOHandler::TransformationFlip));
    if (orientation.testFlag(QImageIOHandler::TransformationRotate90))
        result = result.transformed(QTransform().rotate(90));
    return result;
}

} // namespace

namespace {
// What one thumbnail may decode: a 8192 x 8192 GIF or PNG, any JPEG up to
// the process-wide limit (it is decoded at an eighth of its size or less).
constexpr qint64 kThumbnailDecodeLimitBytes = qint64(256) * 1024 * 1024;
} // namespace

MadeThumbnail makeThumbnail(const QString &path, int bucket)
{
    QFile file;
    if (openRegularFile(file, path))
        return {};
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (stored.isValid())
        reader.setScaledSize(fitted(stored, bucket));
    // Several workers decode at once. libjpeg decodes at the scaled size; Qt's
    // other readers decode the whole picture and scale it afterwards.
    const QSize decoded = reader.format() == "jpeg" ? reader.scaledSize() : stored;
    if (decoded.isValid() && qint64(decoded.width()) * decoded.height() * 4 > kThumbnailDecodeLimitBytes)
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    MadeThumbnail made;
    // A reader that cannot tell the size beforehand (some GIFs) decodes in
    // full; scale afterwards.
    if (stored.isValid()) {
        made.pictureSize = turned ? stored.transposed() : stored;
        made.image = std::move(image);
    } else {
        made.pictureSize = image.size();
        made.image = image.scaled(fitted(image.size(), bucket), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return made;
}

QImageIOHandler::Transformations storedOrientation(const QString &path)
{
    QFile file;
    if (openRegularFile(file, path))
        return QImageIOHandler::TransformationNone;
    QImageReader reader(&file);
    return reader.canRead() ? reader.transformation() : QImageIOHandler::TransformationNone;
}

QImage toStoredOrientation(const QImage &upright, QImageIOHandler::Transformations orientation)
{
    // Mirrored turns undo themselves; plain quarter turns swap.
    if (orientation == QImageIOHandler::TransformationRotate90)
        orientation = QImageIOHandler::TransformationRotate270;
    else if (orientation == QImageIOHandler::TransformationRotate270)
        orientation = QImageIOHandler::TransformationRotate90;
    if (orientation == QImageIOHandler::TransformationNone)
        return upright;
    return oriented(upright, orientation);
}

} // namespace tarnwick
