#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace tarnwick {

// The small JPEG a camera stores in its photo's EXIF block (IFD1, usually
// 160 x 120), as the bytes of that JPEG; empty when the block holds none or
// points outside itself. exifBlock starts with "Exif\0\0".
QByteArray exifThumbnailData(QByteArrayView exifBlock);

// The camera's own thumbnail of a JPEG, decoded and cut to the picture's
// proportions (cameras pad a 16:9 photo's thumbnail with black bars), in the
// picture's stored orientation like the picture itself; a null image when
// there is none. Reads the header and the EXIF block only: a millisecond,
// where decoding the photo takes tens of them.
QImage cameraThumbnail(const QString &path);

} // namespace tarnwick
