#pragma once

#include "book/booksettings.h"

#include <QString>

namespace tarnwick {

// The per-user INI file in which Tarnwick remembers the inputs of the last
// generated book (section "Pellory"). It only moves texts in and out of the
// file; which inputs they are is BookSettings' business.

// The texts of the file's section by key; a key whose value is not a text
// is missing. A missing or unreadable file (not text, too large) reads as an
// empty store; nothing is created on disk.
StoredTexts loadStoredTexts(const QString &iniPath);

// Writes the values and flushes the file; every other section and key of
// the file stays as it was. False when the file could not be written, or
// when it exists but cannot be read (it is then left as it is).
bool saveStoredTexts(const QString &iniPath, const QList<StoredValue> &values);

// Where the program keeps its settings: Vellicor.ini in the user's
// configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
QString defaultSettingsPath();

} // namespace tarnwick
