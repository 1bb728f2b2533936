// Loads arbitrary bytes as the per-user settings file. Loading must never
// crash, and what it gives back must survive a save and a second load.
#include "app/storedsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace tarnwick;

namespace {

struct Environment
{
    int argc = 1;
    char name[16] = "fuzz_settings";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString input = dir.filePath(QStringLiteral("Vellicor.ini"));
    QString copy = dir.filePath(QStringLiteral("copy.ini"));
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Environment environment;
    {
        QFile file(environment.input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    const StoredTexts loaded = loadStoredTexts(environment.input);

    QFile::remove(environment.copy);
    QList<StoredValue> values;
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
        values.append({it.key(), it.value()});
    if (!saveStoredTexts(environment.copy, values))
        std::abort();
    if (loadStoredTexts(environment.copy) != loaded)
        std::abort();
    return 0;
}
