#include "export/picturefacts.h"

#include "facts/pageproblem.h"
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
    facts.orientation = header.orientation();
    const std::optional<PageProblem> problem = pageProblem(header);
    facts.unshowable = problem
        && (problem->kind == PageProblem::Kind::Cmyk || problem->kind == PageProblem::Kind::UnshownCoding);
    return facts;
}

} // namespace tarnwick
