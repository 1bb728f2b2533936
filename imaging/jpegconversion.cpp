#include "imaging/jpegconversion.h"

#include "imaging/heifdecode.h"
#include "imaging/previewdecode.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace tarnwick {

namespace {

constexpr qint64 kMostDecodedBytes = qint64(kPreviewAllocationLimitMb) * 1024 * 1024;

// The sides to decode at for fitInto, in stored sides; the stored size when
// nothing is to be scaled.
QSize fittedSize(QSize stored, QSize fitInto, bool across)
{
    if (!fitInto.isValid() || !stored.isValid())
        return stored;
    const QSize limit = across ? fitInto.transposed() : fitInto;
    return QSize(qMin(stored.width(), limit.width()), qMin(stored.height(), limit.height())).expandedTo(QSize(1, 1));
}

void turn(QImage &image, int orientation)
{
    static constexpr QImageIOHandler::Transformations kTurns[] = {
        QImageIOHandler::TransformationNone,      QImageIOHandler::TransformationNone,
        QImageIOHandler::TransformationMirror,    QImageIOHandler::TransformationRotate180,
        QImageIOHandler::TransformationFlip,      QImageIOHandler::TransformationFlipAndRotate90,
        QImageIOHandler::TransformationRotate90,  QImageIOHandler::TransformationMirrorAndRotate90,
        QImageIOHandler::TransformationRotate270,
    };
    if (orientation < 2 || orientation > 8)
        return;
    // In Qt's order: mirrored or flipped first, then turned a quarter clockwise.
    const QImageIOHandler::Transformations how = kTurns[orientation];
    const bool mirror = how & QImageIOHandler::TransformationMirror;
    const bool flip = how & QImageIOHandler::TransformationFlip;
    if (mirror || flip)
        image.mirror(mirror, flip);
    if (how & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
}

} // namespace

std::optional<QString> convertToJpeg(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                     quint32 background, QByteArray &out, QSize &writtenSize)
{
    // Process-wide, as the window sets it at its start; set here once before
    // the first decode for a program that has not (tarnwick-make).
    static const bool limitSet = [] {
        if (QImageReader::allocationLimit() < kPreviewAllocationLimitMb)
            setDecodingLimit();
        return true;
    }();
    Q_UNUSED(limitSet);

    QImage image;
    if (looksLikeHeif(picture)) {
        // libheif applies the file's own turns; an EXIF tag inside says the same again.
        if (std::optional<QString> failure = decodeHeif(picture, kMostDecodedBytes, image))
            return failure;
        if (orientation != kOwnOrientation)
            turn(image, orientation);
        const QSize target = fittedSize(image.size(), fitInto, false);
        if (target != image.size())
            image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        QBuffer source;
        source.setData(picture);
        source.open(QIODevice::ReadOnly);
        QImageReader reader(&source);
        // Either the caller's reading of the orientation or the picture's own, never both.
        reader.setAutoTransform(orientation == kOwnOrientation);
        const QSize stored = reader.size();
        const bool across = orientation == kOwnOrientation
            ? bool(reader.transformation() & QImageIOHandler::TransformationRotate90)
            : orientation >= 5 && orientation <= 8;
        // The reader scales before it turns: the target in stored sides.
        const QSize target = fittedSize(stored, fitInto, across);
        if (target != stored)
            reader.setScaledSize(target);
        if (!decodesWithin(reader, kMostDecodedBytes))
            return QStringLiteral("the picture is too large (%1 x %2)").arg(stored.width()).arg(stored.height());
        image = reader.read();
        if (image.isNull())
            return reader.errorString();
        if (orientation != kOwnOrientation)
            turn(image, orientation);
    }

    if (image.hasAlphaChannel()) {
        // What is transparent shows the page the picture lies on.
        QImage flat(image.size(), QImage::Format_RGB32);
        if (flat.isNull())
            return QStringLiteral("out of memory");
        flat.fill(QColor(int(background & 0xFF), int(background >> 8 & 0xFF), int(background >> 16 & 0xFF)));
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = std::move(flat);
    } else if (image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    out.clear();
    QBuffer target(&out);
    target.open(QIODevice::WriteOnly);
    QImageWriter writer(&target, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(false);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        return writer.errorString();
    writtenSize = image.size();
    return std::nullopt;
}

} // namespace tarnwick
