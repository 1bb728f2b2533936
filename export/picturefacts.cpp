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
    ExportFacts facts;
    Q_UNUSED(header);
    return facts;
}

} // namespace tarnwick
