// The entry points of the conversion module, with C names so that the
// export finds them by name after loading it.
#include "imaging/jpegconversion.h"

extern "C" {

Q_DECL_EXPORT bool tarnwick_convert_to_jpeg(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                            quint32 background, QByteArray &out, QSize &writtenSize, QString &reason)
{
    if (const std::optional<QString> failure =
            tarnwick::convertToJpeg(picture, orientation, fitInto, quality, background, out, writtenSize)) {
        reason = *failure;
        return false;
    }
    return true;
}

} // extern "C"
