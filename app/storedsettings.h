#pragma once

#include <QString>

#include <optional>

namespace tarnwick {

// The ten inputs Tarnwick remembers between runs, as the texts kept in the
// per-user INI file (section "Pellory"). Only the generate command writes
// them; the main window reads them once at start. The value class knows
// nothing about the window: it only moves texts in and out of the file.
struct StoredSettings
{
    QString dmlfilename;   // Text2
    QString width1;        // Text3(0)
    QString height1;       // Text3(1)
    QString width2;        // Text3(2)
    QString height2;       // Text3(3)
    QString left;          // Text8, the left margin
    QString right;         // Text7: the top margin lives under "right"
    QString BGColor;       // Label5, signed decimal
    // Check1. Kept apart from "stored but empty" because the loader falls back
    // to the check box's current state only when the key is missing.
    std::optional<QString> border;
    QString bordercolor;   // Label8, signed decimal

    // Reads the file at iniPath. A missing, unreadable or damaged file reads
    // as an empty store; nothing is created on disk.
    static StoredSettings load(const QString &iniPath);

    // Writes all ten keys in their fixed order and flushes the file. False
    // when the file could not be written.
    bool save(const QString &iniPath) const;

    bool operator==(const StoredSettings &) const = default;
};

// Where the program keeps its settings: Vellicor.ini in the user's
// configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
QString defaultSettingsPath();

} // namespace tarnwick
