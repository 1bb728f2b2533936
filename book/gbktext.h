#pragma once

#include <QByteArray>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace tarnwick {

// A picture name as the document carries it: its code page 936 (GBK) bytes.
// Nothing when GBK cannot hold the name (the encoder would put "?" there, or
// drop a trailing lone surrogate), or when the name holds a double quote or a
// control character, which would break the markup it is quoted in.
std::optional<QByteArray> encodePictureName(QStringView name);

// True when the name holds a double quote or a C0 or C1 control character
// (CR and LF among them), which would break the quoted markup.
bool breaksMarkup(QStringView name);

// Checks many names at once with one encoder: the index of the first name that
// encodePictureName() would refuse, or -1 when all can be written.
qsizetype firstUnwritablePictureName(const QStringList &names);

// Typed box text in GBK bytes; nothing when GBK cannot hold it.
std::optional<QByteArray> encodeGbk(QStringView text);

} // namespace tarnwick
