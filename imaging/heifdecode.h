#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace tarnwick {

// Whether bytes start like a HEIF file (HEIC, HEIF, AVIF): an ISO box of
// type "ftyp" naming a HEIF brand. Decided from the content, not the name.
bool looksLikeHeif(const QByteArray &bytes);

// Decodes the primary picture of a HEIF file with libheif, turned and
// mirrored as the file's own transformations say, as ARGB32 when it has an
// alpha channel and RGB32 when not. A picture of more than maxBytes of
// decoded pixels (four bytes each) is refused from its header. On failure
// the reason (no decoder for its coding among them); image stays untouched.
std::optional<QString> decodeHeif(const QByteArray &bytes, qint64 maxBytes, QImage &image);

} // namespace tarnwick
