#include "app/storedsettings.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace tarnwick {

namespace {

const QString section = QStringLiteral("Pellory");

// Far beyond the few hundred bytes Tarnwick writes.
constexpr qint64 kLargestSettingsFile = 1024 * 1024;

// Whether one value line (the text after '=') holds a value that QSettings
// would hand to QDataStream: "@Variant(...)" or "@DateTime(...)" once quotes
// and escapes are undone, where a crafted length asks for gigabytes.
// Tarnwick stores texts only; QSettings writes them plain, as "@@..." when
// they begin with '@', or as "@String(...)" when they hold a NUL.
bool holdsSerialisedValue(QByteArrayView value)
{
    bool inQuotes = false;
    bool atElementStart = true;
    bool afterAt = false; // inside the type name of an "@Type(" form
    QByteArray typeName;
    for (qsizetype i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (c == ',' && !inQuotes) { // an unquoted comma starts a list element
            atElementStart = true;
            afterAt = false;
            continue;
        }
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            const int base = next == 'x' || next == 'X' ? 16 : (next >= '0' && next <= '7' ? 8 : 0);
            if (base == 0) {
                c = next;
            } else {
                int code = 0;
                qsizetype j = base == 16 ? i + 1 : i;
                for (; j < value.size(); ++j) {
                    const int digit = QByteArrayView("0123456789abcdef").indexOf(char(value[j] | 0x20));
                    if (digit < 0 || digit >= base)
                        break;
                    code = qMin(code * base + digit, 0x10000);
                }
                i = j - 1;
                c = code > 0 && code < 0x80 ? char(code) : '?';
            }
        } else if (atElementStart && !inQuotes && (c == ' ' || c == '\t')) {
            continue;
        }
        if (afterAt) {
            if (c == '(') {
                if (typeName == "Variant" || typeName == "DateTime")
                    return true;
                afterAt = false;
                continue;
            }
            typeName += c;
            afterAt = (typeName != "@") && typeName.size() <= 8; // "@@" is a plain text
        } else if (atElementStart && c == '@') {
            afterAt = true;
            typeName.clear();
        }
        atElementStart = false;
    }
    return false;
}

// A settings file Tarnwick did not write: too large, or holding a value
// QSettings would deserialise. Lines ending in a backslash continue.
bool isForeign(const QString &iniPath)
{
    QFile file(iniPath);
    if (!file.exists())
        return false;
    if (file.size() > kLargestSettingsFile || !file.open(QIODevice::ReadOnly))
        return true;
    QByteArray text = file.readAll();
    text.replace("\\\r\n", "").replace("\\\n", "");
    for (QByteArrayView line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals >= 0 && !line.trimmed().startsWith(';') && holdsSerialisedValue(line.sliced(equals + 1)))
            return true;
    }
    return false;
}

bool isDamaged(const QString &iniPath)
{
    if (isForeign(iniPath))
        return true;
    QSettings store(iniPath, QSettings::IniFormat);
    store.allKeys(); // the file is parsed on first access
    return store.status() == QSettings::FormatError;
}

} // namespace

StoredTexts loadStoredTexts(const QString &iniPath)
{
    if (isForeign(iniPath))
        return {};
    QSettings store(iniPath, QSettings::IniFormat);
    store.beginGroup(section);
    StoredTexts texts;
    const QStringList keys = store.childKeys();
    for (const QString &key : keys)
        texts.insert(key, store.value(key).toString());
    // QSettings parses on first access, so the status is known only now. A
    // damaged file may still have given some keys; none of them is trusted.
    if (store.status() != QSettings::NoError)
        return {};
    return texts;
}

bool saveStoredTexts(const QString &iniPath, const QList<StoredValue> &values)
{
    // QSettings keeps the first error it met, so a write failure would go
    // unnoticed behind the read error of a damaged file. Such a file held no
    // usable settings anyway (load ignores it): it is replaced.
    if (isDamaged(iniPath))
        QFile::remove(iniPath);
    QSettings store(iniPath, QSettings::IniFormat);
    store.beginGroup(section);
    for (const auto &[key, text] : values)
        store.setValue(key, text);
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vellicor.ini");
}

} // namespace tarnwick
