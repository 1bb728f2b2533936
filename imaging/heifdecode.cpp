#include "imaging/heifdecode.h"

#include <libheif/heif.h>

#include <memory>

namespace tarnwick {

namespace {

// libheif's objects, each released by its own function.
struct Release
{
    void operator()(heif_context *context) const { heif_context_free(context); }
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image *image) const { heif_image_release(image); }
    void operator()(heif_decoding_options *options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, Release>;
using Handle = std::unique_ptr<heif_image_handle, Release>;
using Image = std::unique_ptr<heif_image, Release>;
using Options = std::unique_ptr<heif_decoding_options, Release>;

QString reasonOf(const heif_error &error)
{
    return QStringLiteral("HEIF: ") + QString::fromUtf8(error.message ? error.message : "unknown error");
}

} // namespace

bool looksLikeHeif(const QByteArray &bytes)
{
    if (bytes.size() < 12 || bytes.mid(4, 4) != "ftyp")
        return false;
    const heif_filetype_result type =
        heif_check_filetype(reinterpret_cast<const uint8_t *>(bytes.constData()), int(qMin<qsizetype>(bytes.size(), 64)));
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

std::optional<QString> decodeHeif(const QByteArray &bytes, qint64 maxBytes, QImage &image)
{
    const Context context(heif_context_alloc());
    if (!context)
        return QStringLiteral("HEIF: out of memory");
    // A hostile header cannot make libheif allocate more than the limit allows.
    heif_context_set_maximum_image_size_limit(context.get(), 65535);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                                  size_t(bytes.size()), nullptr);
    if (error.code != heif_error_Ok)
        return reasonOf(error);
    heif_image_handle *primary = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &primary);
    if (error.code != heif_error_Ok)
        return reasonOf(error);
    const Handle handle(primary);
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return QStringLiteral("HEIF: no picture size");
    if (qint64(width) * height * 4 > maxBytes)
        return QStringLiteral("HEIF: the picture is too large (%1 x %2)").arg(width).arg(height);
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const Options options(heif_decoding_options_alloc());
    heif_image *decoded = nullptr;
    error = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (error.code != heif_error_Ok)
        return reasonOf(error);
    const Image picture(decoded);
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(picture.get(), heif_channel_interleaved, &stride);
    // The transformations may have swapped the sides.
    const int decodedWidth = heif_image_get_width(picture.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(picture.get(), heif_channel_interleaved);
    if (!pixels || decodedWidth <= 0 || decodedHeight <= 0)
        return QStringLiteral("HEIF: no pixels decoded");
    // A view of libheif's buffer, copied before the buffer goes.
    const QImage view(pixels, decodedWidth, decodedHeight, stride,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    QImage copy = view.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (copy.isNull())
        return QStringLiteral("HEIF: out of memory");
    image = std::move(copy);
    return std::nullopt;
}

} // namespace tarnwick
