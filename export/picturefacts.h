#pragma once

#include "export/bookexport.h"

#include <QByteArray>

namespace tarnwick {

// The export's facts of a picture from the header reader's reading of its
// first bytes: the EXIF orientation and whether the book can show its JPEG
// coding and colour model. Thread-safe.
ExportFacts readExportFacts(const QByteArray &head);

} // namespace tarnwick
