#pragma once

#include <QByteArrayView>
#include <QMap>
#include <QString>

#include <optional>

namespace tarnwick {

// Every key of an INI file with its text, keyed the way QSettings names them:
// "Section/key", or "key" alone for the [General] section.
using IniTexts = QMap<QString, QString>;

// Reads the INI form QSettings (IniFormat) writes, in one pass and without
// QSettings: sections, comments, continued lines, quotes, escapes and
// percent-encoded keys are read as QSettings reads them, "@@..." and
// "@String(...)" give the texts QSettings stores that way. Nothing is ever
// deserialised: a file holding any value QSettings would read as something
// other than a text (a list, "@Variant(...)", "@ByteArray(...)", any other
// "@" form) or a line QSettings reports as malformed yields no texts at all.
// Texts come back well-formed (a lone surrogate gives U+FFFD), so QSettings
// can write each of them back unchanged.
std::optional<IniTexts> readIniTexts(QByteArrayView bytes);

// readIniTexts() on the file at path. A file that is missing, not a regular
// file, unreadable or larger than any settings file Tarnwick writes yields
// no texts either.
std::optional<IniTexts> readIniFile(const QString &path);

// The text with every lone surrogate replaced by U+FFFD: what QSettings can
// write and read back unchanged.
QString wellFormedText(QStringView text);

} // namespace tarnwick
