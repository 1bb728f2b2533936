#include "book/gbktext.h"

namespace tarnwick {

namespace {

bool breaksMarkup(QStringView name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u == u'"' || u < 0x20 || (u >= 0x7F && u < 0xA0))
            return true;
    }
    return false;
}

} // namespace

std::optional<QByteArray> encodeGbk(QStringView text)
{
    // The encoder drops a trailing lone surrogate without an error.
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

PictureNameEncoder::PictureNameEncoder()
    : m_encoder("GBK")
{
}

bool PictureNameEncoder::encode(QStringView name, QByteArray &out)
{
    if (!m_encoder.isValid() || breaksMarkup(name) || !name.isValidUtf16())
        return false;
    out.resize(m_encoder.requiredSpace(name.size()));
    char *end = m_encoder.appendToBuffer(out.data(), name);
    if (m_encoder.hasError())
        return false;
    out.truncate(end - out.constData());
    return true;
}

std::optional<QByteArray> encodePictureName(QStringView name)
{
    QByteArray bytes;
    if (!PictureNameEncoder().encode(name, bytes))
        return std::nullopt;
    return bytes;
}

qsizetype firstUnwritablePictureName(const QStringList &names)
{
    PictureNameEncoder encoder;
    QByteArray scratch;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!encoder.encode(names.at(i), scratch))
            return i;
    }
    return -1;
}

} // namespace tarnwick
