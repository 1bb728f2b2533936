#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tarnwick {

// A colour as the swatches hold it: red in the lowest byte, then green, then
// blue; the top byte is 0 for an ordinary colour.
using ColourValue = quint32;

// The inputs of one generation run. The six size and offset fields keep the
// text exactly as typed: the document carries it verbatim, the checks read its
// number (see readBoxNumber).
struct BookSettings
{
    QString pictureFolder;   // Text1, trimmed; ends in "/" after a browse
    QString documentName;    // Text2, trimmed
    QString bookWidth;       // Text3(0)
    QString bookHeight;      // Text3(1)
    QString pictureWidth;    // Text3(2)
    QString pictureHeight;   // Text3(3)
    QString pictureLeft;     // Text8
    QString pictureTop;      // Text7
    ColourValue backgroundColour = 0xFFFFFF;
    bool borderOn = false;   // Check1 value 1 only
    ColourValue borderColour = 0;
    QStringList pictures;    // bare file names in page order

    // The folder text followed directly by the document name.
    QString outputPath() const { return pictureFolder + documentName; }
};

} // namespace tarnwick
