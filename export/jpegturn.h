#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

namespace tarnwick {

// What TurboJPEG reads from a JPEG's header.
struct JpegFrame
{
    QSize size;           // as stored, EXIF orientation not applied
    bool fourChannel = false; // CMYK or YCCK
};

// Nothing when jpeg is not a JPEG TurboJPEG can read.
std::optional<JpegFrame> readJpegFrame(const QByteArray &jpeg);

// Turns a JPEG stored with EXIF orientation (2 to 8) upright without
// decoding it: the coefficients are moved, so no quality is lost. Where the
// picture's sides are not whole blocks the partial blocks at the edges that
// would move are trimmed (as jpegtran -trim); elsewhere the turn is perfect.
// Every block is kept, the EXIF block set upright (makeExifUpright).
// Orientation 1 copies the picture unchanged. On failure TurboJPEG's reason.
std::optional<QString> turnJpegUpright(const QByteArray &jpeg, int orientation, QByteArray &out);

} // namespace tarnwick
