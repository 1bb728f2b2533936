#include "export/picturefacts.h"

#include "facts/pictureheader.h"

#include <QBuffer>

namespace tarnwick {

ExportFacts readExportFacts(const QByteArray &head)
{
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    const PictureHeader header = PictureHeader::read(buffer);
    // PictureHeader does not read the orientation or the coding yet: until it
    // does, every picture counts as upright and CMYK/YCCK is found by the
    // export's own TurboJPEG header read. Wire its accessors in here.
    Q_UNUSED(header);
    return ExportFacts{};
}

} // namespace tarnwick
