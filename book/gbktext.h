#pragma once

#include <QByteArray>
#include <QStringView>

#include <optional>

namespace tarnwick {

// A picture name as the document carries it: its code page 936 (GBK) bytes.
// Nothing when GBK cannot hold the name (the encoder would put "?" there, or
// drop a trailing lone surrogate), or when the name holds a double quote or a
// control character, which would break the markup it is quoted in.
std::optional<QByteArray> encodePictureName(QStringView name);

// Typed box text in GBK bytes; nothing when GBK cannot hold it.
std::optional<QByteArray> encodeGbk(QStringView text);

} // namespace tarnwick
