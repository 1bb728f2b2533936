#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

namespace tarnwick {

// Decodes a picture and writes it again as a baseline RGB JPEG (see
// convertToJpeg in imaging/), through the conversion module, which is loaded
// at the first call: Qt Gui comes into the process only when a picture is
// written again. Looked for beside the program (a build), then where an
// install puts it relative to the program.
// orientation is an EXIF value, or kOwnOrientation for the picture's own;
// what is transparent is laid onto background (a colour value).
// On failure the decoder's or encoder's reason, or why the module could not
// be loaded. Thread-safe.
std::optional<QString> convertPicture(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                      quint32 background, QByteArray &out, QSize &writtenSize);

// The orientation that turns a picture as it says itself.
inline constexpr int kOwnOrientation = -1;

// Qualities of the JPEGs written: a picture the book cannot show, and one scaled down.
inline constexpr int kConvertedQuality = 92;
inline constexpr int kScaledQuality = 90;

} // namespace tarnwick
