// Sets the EXIF block of an arbitrary JPEG upright, as the export does after
// a lossless turn: it must stay within the bytes it was given and never grow
// the file; where its walk reached the picture data, a second pass must
// change nothing.
#include "export/exifupright.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray jpeg(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool walked = tarnwick::makeExifUpright(jpeg);
    if (jpeg.size() > qsizetype(size))
        std::abort();
    if (!walked)
        return 0;
    const QByteArray once = jpeg;
    tarnwick::makeExifUpright(jpeg);
    if (jpeg != once)
        std::abort();
    return 0;
}
