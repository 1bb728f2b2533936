#pragma once

#include "book/booksettings.h"

#include <QString>

namespace tarnwick {

// The per-user INI file in which Tarnwick remembers the inputs of the last
// generated book (section "Pellory"). It only moves texts in and out of the
// file; which inputs they are is BookSettings' business.

// The texts of the file's section by key. A missing, unreadable or damaged
// file reads as an empty store; nothing is created on disk.
StoredTexts loadStoredTexts(const QString &iniPath);

// Writes the values in their order and flushes the file. False when the file
// could not be written.
bool saveStoredTexts(const QString &iniPath, const QList<StoredValue> &values);

// Where the program keeps its settings: Vellicor.ini in the user's
// configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
QString defaultSettingsPath();

} // namespace tarnwick
