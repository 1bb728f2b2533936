#pragma once

#include <QByteArrayView>
#include <QMap>
#include <QSet>
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
// deserialised: a key whose value QSettings would read as something other
// than a text (a list, "@Variant(...)", "@ByteArray(...)", any other "@"
// form) is left out, and lines QSettings passes over (no '=') are passed
// over too; every other key is read. Bytes that are not UTF-8 text (or hold
// a NUL) yield nothing. Texts come back well-formed (a lone surrogate gives
// U+FFFD), so QSettings can write each of them back unchanged.
std::optional<IniTexts> readIniTexts(QByteArrayView bytes);

// The bytes of the file at path; nothing when it is missing, not a regular
// file, unreadable, larger than any settings file Tarnwick writes, or not
// text.
std::optional<QByteArray> readIniBytes(const QString &path);

// readIniTexts() on the file at path, nothing when readIniBytes() gives
// nothing.
std::optional<IniTexts> readIniFile(const QString &path);

// The file with every line of the given keys ("Section/key") removed and
// lines ("key=value" lines as QSettings writes them, each ending in a line
// feed) added at the end of the section's first occurrence, or in a new
// section at the end. Every other byte stays as it was.
QByteArray replaceIniKeys(QByteArrayView file, const QString &section, const QSet<QString> &keys,
                          QByteArrayView lines);

// The text with every lone surrogate replaced by U+FFFD: what QSettings can
// write and read back unchanged.
QString wellFormedText(QStringView text);

} // namespace tarnwick
