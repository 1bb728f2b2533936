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

bool breaksMarkup(QStringView name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u == u'"' || u < 0x20 || (u >= 0x7F && u < 0xA0))
            return true;
    }
    return false;
}

std::optional<QByteArray> encodePictureName(QStringView name)
{
    if (breaksMarkup(name))
        return std::nullopt;
    return encodeGbk(name);
}

qsizetype firstUnwritablePictureName(const QStringList &names)
{
    // One encoder for the whole run: its error flag is sticky, but the run
    // stops at the first name that sets it, so that name is the culprit.
    // Opening an ICU converter per name would cost more than the encoding.
    QStringEncoder encoder("GBK");
    if (!encoder.isValid())
        return names.isEmpty() ? -1 : 0;
    QByteArray scratch;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (breaksMarkup(name) || !QStringView(name).isValidUtf16())
            return i;
        const qsizetype space = encoder.requiredSpace(name.size());
        if (scratch.size() < space)
            scratch.resize(space);
        encoder.appendToBuffer(scratch.data(), name);
        if (encoder.hasError())
            return i;
    }
    return -1;
}

} // namespace tarnwick
