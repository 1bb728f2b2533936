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

IniTexts storedTexts(const StoredSettings &s)
{
    // QSettings cannot write a lone surrogate; what it would make of one is
    // decided here, so the file can be checked against these texts.
    return {
        {section + QStringLiteral("dmlfilename"), wellFormedText(s.dmlfilename)},
        {section + QStringLiteral("width1"), wellFormedText(s.width1)},
        {section + QStringLiteral("height1"), wellFormedText(s.height1)},
        {section + QStringLiteral("width2"), wellFormedText(s.width2)},
        {section + QStringLiteral("height2"), wellFormedText(s.height2)},
        {section + QStringLiteral("left"), wellFormedText(s.left)},
        {section + QStringLiteral("right"), wellFormedText(s.right)},
        {section + QStringLiteral("BGColor"), wellFormedText(s.BGColor)},
        {section + QStringLiteral("border"), wellFormedText(s.border.value_or(QString()))},
        {section + QStringLiteral("bordercolor"), wellFormedText(s.bordercolor)},
    };
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

StoredSettings StoredSettings::load(const QString &iniPath)
{
    const std::optional<IniTexts> texts = readIniFile(iniPath);
    if (!texts)
        return {};
    const auto text = [&texts](const QString &key) { return texts->value(section + key); };
    StoredSettings s;
    s.dmlfilename = text(QStringLiteral("dmlfilename"));
    s.width1 = text(QStringLiteral("width1"));
    s.height1 = text(QStringLiteral("height1"));
    s.width2 = text(QStringLiteral("width2"));
    s.height2 = text(QStringLiteral("height2"));
    s.left = text(QStringLiteral("left"));
    s.right = text(QStringLiteral("right"));
    s.BGColor = text(QStringLiteral("BGColor"));
    if (texts->contains(section + QStringLiteral("border")))
        s.border = text(QStringLiteral("border"));
    s.bordercolor = text(QStringLiteral("bordercolor"));
    return s;
}

bool StoredSettings::save(const QString &iniPath) const
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
    const IniTexts own = storedTexts(*this);
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
