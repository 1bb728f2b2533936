#pragma once

#include <QImage>
#include <QString>

class QImageReader;

namespace tarnwick {

// The largest picture the preview decodes, in megabytes of decoded pixels.
// Qt's own default of 128 MB refuses an ordinary 8000 x 6000 phone photo
// (192 MB at four bytes a pixel); 1 GiB takes everything up to about
// 16384 x 16384 and still refuses files whose header asks for absurd sizes.
inline constexpr int kPreviewAllocationLimitMb = 1024;

// Sets Qt's image readers' allocation limit, which is process-wide, once at
// a program's start, before any thread decodes: to the largest any reader of
// Tarnwick's allows. Each reader refuses what is too big for its own use from
// the size in the header (decodesWithin) before it decodes.
void setDecodingLimit();

// Whether reader, positioned at a picture, decodes into at most bytes of
// pixels (four bytes each) at its scaled size, or its size where none is
// set. A picture whose header tells no size is taken: the process-wide limit
// still bounds it.
bool decodesWithin(QImageReader &reader, qint64 bytes);

// Decodes a GIF or JPEG file (the format is taken from the content when the
// name misleads) at its natural size, EXIF orientation ignored. A null image
// when the file cannot be read or decoded, or is larger than the limit above.
QImage decodePreviewPicture(const QString &path);

// The text a view shows for a picture that cannot be decoded.
QString unreadablePictureText();

} // namespace tarnwick
