#include "preview/previewdecode.h"

#include <QImageReader>

namespace tarnwick {

QImage decodePreviewPicture(const QString &path)
{
    // The limit is process-wide in Qt; raise it only for this read so that the
    // rest of the program keeps Qt's default.
    const int previousLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(kPreviewAllocationLimitMb);
    QImageReader reader(path);
    QImage picture;
    if (!reader.read(&picture))
        picture = QImage();
    QImageReader::setAllocationLimit(previousLimit);
    return picture;
}

} // namespace tarnwick
