#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

namespace tarnwick {

// Decodes a picture (any format Qt reads: CMYK, YCCK, arithmetic-coded
// JPEGs among them), turns it upright by its EXIF orientation and writes it
// as a baseline RGB JPEG of the given quality. With a valid fitInto (upright
// sides) the picture is scaled down smoothly to at most that size, each side
// on its own; it is never scaled up. The decoder scales while it decodes, so
// a large photo never lies in memory at full size. out receives the JPEG,
// writtenSize its pixel size. On failure the decoder's or encoder's reason.
std::optional<QString> convertToJpeg(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                     QByteArray &out, QSize &writtenSize);

// Qualities of the JPEGs written: a picture the book cannot show, and one scaled down.
inline constexpr int kConvertedQuality = 92;
inline constexpr int kScaledQuality = 90;

} // namespace tarnwick
