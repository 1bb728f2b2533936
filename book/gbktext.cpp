#include "book/gbktext.h"

#include <QStringEncoder>

namespace tarnwick {

std::optional<QByteArray> encodeGbk(QStringView text)
{
    if (!text.isValidUtf16())
        return std::nullopt;
    // A fresh encoder each time: its error flag is sticky.
    QStringEncoder encoder("GBK");
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> encodePictureName(QStringView name)
{
    for (const QChar c : name) {
        if (c == u'"' || c.unicode() < 0x20 || c.unicode() == 0x7F
            || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            return std::nullopt;
    }
    return encodeGbk(name);
}

} // namespace tarnwick
