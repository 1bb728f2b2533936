#pragma once

#include <QByteArray>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace tarnwick {

// Turns picture names into the bytes a document carries, one after another,
// with one GBK converter: opening an ICU converter per name would cost more
// than the encoding. A name can go into a document when GBK holds every
// character of it and it has no double quote and no C0 or C1 control
// character (CR and LF among them), which would break the quoted markup.
class PictureNameEncoder
{
public:
    PictureNameEncoder();

    // Replaces out's content by name's GBK bytes; out keeps its storage, so a
    // reused buffer allocates nothing per name. False when the name cannot go
    // into a document. The converter's error flag is sticky: after a refusal
    // every later name is refused too, so callers stop at the first one.
    bool encode(QStringView name, QByteArray &out);

private:
    QStringEncoder m_encoder;
};

// A single picture name as the document carries it; nothing when it cannot
// go into a document.
std::optional<QByteArray> encodePictureName(QStringView name);

// The index of the first name that cannot go into a document, or -1.
qsizetype firstUnwritablePictureName(const QStringList &names);

// Typed box text in GBK bytes; nothing when GBK cannot hold it.
std::optional<QByteArray> encodeGbk(QStringView text);

} // namespace tarnwick
