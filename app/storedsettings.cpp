#include "app/storedsettings.h"

#include "app/inireader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

#include <unistd.h>

namespace tarnwick {

namespace {

const QString section = QStringLiteral("Pellory/");

IniTexts storedTexts(const QList<StoredValue> &values)
{
    // QSettings cannot store a lone surrogate: it is replaced here, so the
    // file written can be checked against exactly these texts.
    IniTexts texts;
    for (const auto &[key, text] : values)
        texts.insert(section + key, wellFormedText(text));
    return texts;
}

// A new, empty file beside the settings file, created with the permissions
// any new file gets; empty when none could be made.
QString createFreshFile(const QFileInfo &target)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = target.absoluteFilePath()
            + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return candidate;
        if (file.exists())
            continue;
        return QString();
    }
    return QString();
}

// Our keys as QSettings writes them: written into a file of their own, which
// then has nothing to merge with, and read back as the lines after the
// section's header.
std::optional<QByteArray> settingsLines(const QString &path, const IniTexts &texts)
{
    {
        QSettings store(path, QSettings::IniFormat);
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            store.setValue(it.key(), it.value());
        store.sync();
        if (store.status() != QSettings::NoError)
            return std::nullopt;
    }
    const std::optional<QByteArray> written = readIniBytes(path);
    const QByteArray header = '[' + section.chopped(1).toUtf8() + "]\n";
    if (!written || !written->startsWith(header) || readIniTexts(*written) != texts)
        return std::nullopt;
    return written->sliced(header.size());
}

// Writes bytes over the file at path and checks they are all there: a
// write cut short (a full disk) is a failure, never a cut settings file.
bool writeChecked(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()
        || ::fdatasync(file.handle()) != 0)
        return false;
    file.close();
    return file.error() == QFileDevice::NoError && readIniBytes(path) == bytes;
}

} // namespace

StoredTexts loadStoredTexts(const QString &iniPath)
{
    const std::optional<IniTexts> texts = readIniFile(iniPath);
    if (!texts)
        return {};
    StoredTexts stored;
    for (auto it = texts->cbegin(); it != texts->cend(); ++it) {
        if (it.key().startsWith(section))
            stored.insert(it.key().mid(section.size()), it.value());
    }
    return stored;
}

bool saveStoredTexts(const QString &iniPath, const QList<StoredValue> &values)
{
    // A settings file that is a link: the file it points to is replaced.
    QFileInfo target(iniPath);
    if (target.isSymLink() && !target.canonicalFilePath().isEmpty())
        target = QFileInfo(target.canonicalFilePath());
    if (!QDir().mkpath(target.absolutePath()))
        return false;

    // Every other section and key stays as it is, byte for byte; a file
    // that cannot be read at all is not replaced.
    QByteArray earlier;
    if (target.exists() || target.isSymLink()) {
        std::optional<QByteArray> bytes = readIniBytes(target.absoluteFilePath());
        if (!bytes)
            return false;
        earlier = std::move(*bytes);
    }
    const IniTexts own = storedTexts(values);
    const QSet<QString> ownKeys(own.keyBegin(), own.keyEnd());

    const QString fresh = createFreshFile(target);
    if (fresh.isEmpty())
        return false;
    if (target.exists())
        QFile::setPermissions(fresh, target.permissions());
    const auto written = [&] {
        const std::optional<QByteArray> lines = settingsLines(fresh, own);
        if (!lines)
            return false;
        const QByteArray bytes = replaceIniKeys(earlier, section.chopped(1), ownKeys, *lines);
        // What the new file says: our texts, and every other key as before.
        std::optional<IniTexts> before = readIniTexts(earlier);
        std::optional<IniTexts> after = readIniTexts(bytes);
        if (!before || !after)
            return false;
        // Present, not only equal: a missing key reads as an empty text.
        for (const QString &key : ownKeys) {
            const auto found = after->constFind(key);
            if (found == after->cend() || *found != own.value(key))
                return false;
            after->erase(found);
            before->remove(key);
        }
        return *before == *after && writeChecked(fresh, bytes);
    };
    // rename() replaces the old file in one step; QFile::rename would not.
    if (written()
        && std::rename(QFile::encodeName(fresh).constData(),
                       QFile::encodeName(target.absoluteFilePath()).constData()) == 0)
        return true;
    QFile::remove(fresh);
    return false;
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vellicor.ini");
}

} // namespace tarnwick
