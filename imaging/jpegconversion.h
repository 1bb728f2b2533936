#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

namespace tarnwick {

// The orientation argument that turns a picture as the picture itself says
// (its EXIF tag, or a HEIF file's own transformations).
inline constexpr int kOwnOrientation = -1;

// Decodes a picture (any format Qt reads: CMYK, YCCK, arithmetic-coded
// JPEGs, PNG, BMP, WebP and TIFF among them; HEIC and HEIF through libheif),
// its first frame where it has several, turns it upright by orientation (an
// EXIF value, or kOwnOrientation), lays what is transparent onto background
// (a colour value, red in the lowest byte) and writes it as a baseline RGB
// JPEG of the given quality. With a valid fitInto (upright sides) the picture
// is scaled down smoothly to at most that size, each side on its own; it is
// never scaled up. The decoder scales while it decodes where it can, so a
// large photo never lies in memory at full size. A picture of more decoded
// pixels than the preview takes is refused from its header. out receives the
// JPEG, writtenSize its pixel size. On failure the decoder's or encoder's reason.
std::optional<QString> convertToJpeg(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                     quint32 background, QByteArray &out, QSize &writtenSize);

// Qualities of the JPEGs written: a picture the book cannot show, and one scaled down.
inline constexpr int kConvertedQuality = 92;
inline constexpr int kScaledQuality = 90;

} // namespace tarnwick
