#pragma once

#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

namespace tarnwick {

struct MadeThumbnail
{
    QImage image;        // null when the picture cannot be read
    QSize pictureSize;   // the picture's own size, upright
};

// A thumbnail of a GIF or JPEG (the first frame of a GIF) that fits a
// bucket x bucket square with the picture's proportions, never larger than
// the picture. The decoder scales while it reads, so libjpeg decodes at 1/2,
// 1/4 or 1/8 of the size. The thumbnail is upright by the picture's EXIF
// orientation, as file managers and viewers that share the cache expect.
MadeThumbnail makeThumbnail(const QString &path, int bucket);

// The picture's EXIF orientation (none for GIFs and unreadable files).
QImageIOHandler::Transformations storedOrientation(const QString &path);

// Turns an upright thumbnail back to the picture's stored orientation, the
// one in which Tarnwick's preview and the book show it.
QImage toStoredOrientation(const QImage &upright, QImageIOHandler::Transformations orientation);

} // namespace tarnwick
