#include "app/storedsettings.h"

#include "app/inireader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

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

// A key QSettings can store under the same name: not empty, no empty group.
bool isPlainKey(const QString &key)
{
    return !key.isEmpty() && !key.startsWith(u'/') && !key.endsWith(u'/')
        && !key.contains(QLatin1StringView("//"));
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

// Writes texts into a file of their own with QSettings, which then has
// nothing to merge with, and checks it reads back as exactly those texts.
// QSaveFile, under QSettings, can report success after its final write
// failed (full disk), leaving a cut file behind.
bool writeChecked(const QString &path, const IniTexts &texts)
{
    {
        QSettings store(path, QSettings::IniFormat);
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            store.setValue(it.key(), it.value());
        store.sync();
        if (store.status() != QSettings::NoError)
            return false;
    }
    return readIniFile(path) == texts;
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

    // Other keys of a trusted file stay; nothing of an untrusted one does.
    IniTexts texts;
    if (const std::optional<IniTexts> earlier = readIniFile(target.absoluteFilePath())) {
        for (auto it = earlier->cbegin(); it != earlier->cend(); ++it) {
            if (isPlainKey(it.key()))
                texts.insert(it.key(), it.value());
        }
    }
    const IniTexts own = storedTexts(values);
    texts.insert(own);

    const auto replaceWith = [&target](const IniTexts &contents) {
        const QString fresh = createFreshFile(target);
        if (fresh.isEmpty())
            return false;
        if (target.exists())
            QFile::setPermissions(fresh, target.permissions());
        // rename() replaces the old file in one step; QFile::rename would not.
        if (writeChecked(fresh, contents)
            && std::rename(QFile::encodeName(fresh).constData(),
                           QFile::encodeName(target.absoluteFilePath()).constData()) == 0)
            return true;
        QFile::remove(fresh);
        return false;
    };
    // A key QSettings cannot write back as it was read costs the other keys,
    // never the save.
    return replaceWith(texts) || (texts.size() > own.size() && replaceWith(own));
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vellicor.ini");
}

} // namespace tarnwick
