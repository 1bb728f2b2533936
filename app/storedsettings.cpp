#include "app/storedsettings.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace tarnwick {

namespace {

const QString section = QStringLiteral("Pellory");

bool isDamaged(const QString &iniPath)
{
    QSettings store(iniPath, QSettings::IniFormat);
    store.allKeys(); // the file is parsed on first access
    return store.status() == QSettings::FormatError;
}

} // namespace

StoredSettings StoredSettings::load(const QString &iniPath)
{
    QSettings store(iniPath, QSettings::IniFormat);
    store.beginGroup(section);
    const auto text = [&store](const QString &key) { return store.value(key).toString(); };
    StoredSettings s;
    s.dmlfilename = text(QStringLiteral("dmlfilename"));
    s.width1 = text(QStringLiteral("width1"));
    s.height1 = text(QStringLiteral("height1"));
    s.width2 = text(QStringLiteral("width2"));
    s.height2 = text(QStringLiteral("height2"));
    s.left = text(QStringLiteral("left"));
    s.right = text(QStringLiteral("right"));
    s.BGColor = text(QStringLiteral("BGColor"));
    if (store.contains(QStringLiteral("border")))
        s.border = text(QStringLiteral("border"));
    s.bordercolor = text(QStringLiteral("bordercolor"));
    // QSettings parses on first access, so the status is known only now. A
    // damaged file may still have given some keys; none of them is trusted.
    if (store.status() != QSettings::NoError)
        return {};
    return s;
}

bool StoredSettings::save(const QString &iniPath) const
{
    // QSettings keeps the first error it met, so a write failure would go
    // unnoticed behind the read error of a damaged file. Such a file held no
    // usable settings anyway (load ignores it): it is replaced.
    if (isDamaged(iniPath))
        QFile::remove(iniPath);
    QSettings store(iniPath, QSettings::IniFormat);
    store.beginGroup(section);
    store.setValue(QStringLiteral("dmlfilename"), dmlfilename);
    store.setValue(QStringLiteral("width1"), width1);
    store.setValue(QStringLiteral("height1"), height1);
    store.setValue(QStringLiteral("width2"), width2);
    store.setValue(QStringLiteral("height2"), height2);
    store.setValue(QStringLiteral("left"), left);
    store.setValue(QStringLiteral("right"), right);
    store.setValue(QStringLiteral("BGColor"), BGColor);
    store.setValue(QStringLiteral("border"), border.value_or(QString()));
    store.setValue(QStringLiteral("bordercolor"), bordercolor);
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
