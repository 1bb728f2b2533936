#include "export/jpegturn.h"

#include "export/exifupright.h"

#include <turbojpeg.h>

#include <climits>
#include <memory>

namespace tarnwick {

namespace {

struct HandleDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleDeleter>;

// The turn that undoes each EXIF orientation.
int transformFor(int orientation)
{
    switch (orientation) {
    case 2: return TJXOP_HFLIP;
    case 3: return TJXOP_ROT180;
    case 4: return TJXOP_VFLIP;
    case 5: return TJXOP_TRANSPOSE;
    case 6: return TJXOP_ROT90;
    case 7: return TJXOP_TRANSVERSE;
    case 8: return TJXOP_ROT270;
    default: return TJXOP_NONE;
    }
}

// One output buffer per worker, kept between pictures: TurboJPEG would
// otherwise allocate and fault in a new one of the worst-case size each time.
struct OutputBuffer
{
    ~OutputBuffer() { tjFree(data); }
    unsigned char *data = nullptr;
    unsigned long capacity = 0;
};

QString reasonOf(void *handle)
{
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

} // namespace

std::optional<JpegFrame> readJpegFrame(const QByteArray &jpeg)
{
    const Handle handle(tjInitDecompress());
    if (!handle)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &subsampling, &colourspace)
        != 0)
        return std::nullopt;
    return JpegFrame{QSize(width, height), colourspace == TJCS_CMYK || colourspace == TJCS_YCCK};
}

std::optional<QString> turnJpegUpright(const QByteArray &jpeg, int orientation, QByteArray &out)
{
    const Handle handle(tjInitTransform());
    if (!handle)
        return QStringLiteral("cannot start the JPEG transform");
    tjtransform transform {};
    transform.op = transformFor(orientation);
    // Trimming touches only the edges a turn would have to move; where the
    // sides are whole blocks nothing is trimmed and the turn is perfect.
    transform.options = TJXOPT_TRIM;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    const auto *source = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const auto sourceSize = static_cast<unsigned long>(jpeg.size());
    if (tjDecompressHeader3(handle.get(), source, sourceSize, &width, &height, &subsampling, &colourspace) != 0)
        return reasonOf(handle.get());
    thread_local OutputBuffer buffer;
    // The largest a JPEG of these sides can be; the file's own blocks come on top.
    const unsigned long largest = tjBufSize(width, height, TJSAMP_444);
    const unsigned long needed = largest + sourceSize;
    if (largest == static_cast<unsigned long>(-1) || needed > static_cast<unsigned long>(INT_MAX)) {
        // Too large to keep: TurboJPEG allocates this one itself.
        unsigned char *own = nullptr;
        unsigned long ownSize = 0;
        if (tjTransform(handle.get(), source, sourceSize, 1, &own, &ownSize, &transform, 0) != 0) {
            const QString reason = reasonOf(handle.get());
            tjFree(own);
            return reason;
        }
        out = QByteArray(reinterpret_cast<const char *>(own), qsizetype(ownSize));
        tjFree(own);
    } else {
        if (buffer.capacity < needed) {
            tjFree(buffer.data);
            buffer.data = tjAlloc(int(needed));
            buffer.capacity = buffer.data ? needed : 0;
            if (!buffer.data)
                return QStringLiteral("out of memory");
        }
        unsigned long size = buffer.capacity;
        if (tjTransform(handle.get(), source, sourceSize, 1, &buffer.data, &size, &transform, TJFLAG_NOREALLOC) != 0)
            return reasonOf(handle.get());
        out = QByteArray(reinterpret_cast<const char *>(buffer.data), qsizetype(size));
    }
    if (orientation != 1)
        makeExifUpright(out);
    return std::nullopt;
}

} // namespace tarnwick
