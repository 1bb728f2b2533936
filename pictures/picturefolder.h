#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarnwick {

// The GIF and JPEG files of a folder as bare names in name order.
QStringList listPictures(const QString &folder);

// A picture's pixel size, read from its header only; nothing when unreadable.
std::optional<QSize> readPictureSize(const QString &path);

} // namespace tarnwick
