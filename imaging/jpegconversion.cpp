#include "imaging/jpegconversion.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace tarnwick {

std::optional<QString> convertToJpeg(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                     QByteArray &out, QSize &writtenSize)
{
    QBuffer source;
    source.setData(picture);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    // The orientation is the caller's reading; Qt's own is not asked again.
    reader.setAutoTransform(false);
    const QSize stored = reader.size();
    if (fitInto.isValid() && stored.isValid()) {
        // The reader scales before it turns: the target in stored sides.
        const bool across = orientation >= 5 && orientation <= 8;
        const QSize limit = across ? fitInto.transposed() : fitInto;
        const QSize target(qMin(stored.width(), limit.width()), qMin(stored.height(), limit.height()));
        if (target != stored)
            reader.setScaledSize(target.expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull())
        return reader.errorString();
    static constexpr QImageIOHandler::Transformations kTurns[] = {
        QImageIOHandler::TransformationNone,      QImageIOHandler::TransformationNone,
        QImageIOHandler::TransformationMirror,    QImageIOHandler::TransformationRotate180,
        QImageIOHandler::TransformationFlip,      QImageIOHandler::TransformationFlipAndRotate90,
        QImageIOHandler::TransformationRotate90,  QImageIOHandler::TransformationMirrorAndRotate90,
        QImageIOHandler::TransformationRotate270,
    };
    if (orientation >= 2 && orientation <= 8) {
        // In Qt's order: mirrored or flipped first, then turned a quarter clockwise.
        const QImageIOHandler::Transformations turn = kTurns[orientation];
        const bool mirror = turn & QImageIOHandler::TransformationMirror;
        const bool flip = turn & QImageIOHandler::TransformationFlip;
        if (mirror || flip)
            image.mirror(mirror, flip);
        if (turn & QImageIOHandler::TransformationRotate90)
            image = image.transformed(QTransform().rotate(90));
    }
    if (image.hasAlphaChannel() || image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
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
