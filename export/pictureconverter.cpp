#include "export/pictureconverter.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace tarnwick {

namespace {

using ConvertFunction = bool (*)(const QByteArray &, int, QSize, int, quint32, QByteArray &, QSize &, QString &);

struct Module
{
    ConvertFunction convert = nullptr;
    QString reason;
};

const Module &module()
{
    static const Module loaded = [] {
        Module result;
        QStringList places;
        if (QCoreApplication::instance()) {
            const QString programs = QCoreApplication::applicationDirPath();
            places = QStringList{programs, programs + QStringLiteral("/" TARNWICK_MODULE_DIR)};
        }
        for (const QString &place : std::as_const(places)) {
            // Stays loaded for the rest of the process: QLibrary unloads only when told to.
            QLibrary library(place + QStringLiteral("/tarnwick_conversion"));
            if (library.load()) {
                result.convert = reinterpret_cast<ConvertFunction>(library.resolve("tarnwick_convert_to_jpeg"));
                if (result.convert)
                    return result;
            }
            result.reason = library.errorString();
        }
        result.reason = QStringLiteral("cannot load the picture converter: ")
            + (places.isEmpty() ? QStringLiteral("no application object") : result.reason);
        return result;
    }();
    return loaded;
}

} // namespace

std::optional<QString> convertPicture(const QByteArray &picture, int orientation, QSize fitInto, int quality,
                                      quint32 background, QByteArray &out, QSize &writtenSize)
{
    const Module &converter = module();
    if (!converter.convert)
        return converter.reason;
    QString reason;
    if (!converter.convert(picture, orientation, fitInto, quality, background, out, writtenSize, reason))
        return reason;
    return std::nullopt;
}

} // namespace tarnwick
