#include "app/inireader.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QStringDecoder>
#include <QUtf8StringView>

namespace tarnwick {

namespace {

// Far beyond the few hundred bytes Tarnwick writes.
constexpr qint64 kLargestSettingsFile = 1024 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineSpace(char c)
{
    return isBlank(c) || c == '\n' || c == '\r';
}

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// One logical line of the file, with the first '=' outside quotes.
struct Line
{
    QByteArrayView text;
    qsizetype equals = -1;
};

// Splits lines as QSettings does: a quoted part or an escaped line end
// continues a line, a ';' outside quotes ends it, and a line beginning with
// ';' is a comment. Blank lines are skipped.
std::optional<Line> nextLine(QByteArrayView data, qsizetype &pos)
{
    qsizetype start = pos;
    while (start < data.size() && isLineSpace(data[start]))
        ++start;
    qsizetype equals = -1;
    bool inQuotes = false;
    qsizetype i = start;
    while (i < data.size()) {
        const char c = data[i];
        if ((c == '\n' || c == '\r' || c == ';') && !inQuotes) {
            if (c == ';' && i == start) {
                while (i < data.size() && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < data.size() && isLineSpace(data[i]))
                    ++i;
                start = i;
                continue;
            }
            break;
        }
        ++i;
        if (c == '=' && !inQuotes && equals < 0) {
            equals = i - 1 - start;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '\\' && i < data.size()) {
            // The escaped character never ends the line; "\r\n" or "\n\r"
            // after a backslash counts as one line end.
            const char escaped = data[i++];
            if (i < data.size() && escaped != data[i]
                && (escaped == '\n' || escaped == '\r') && (data[i] == '\n' || data[i] == '\r'))
                ++i;
        }
    }
    pos = i;
    if (i == start)
        return std::nullopt;
    return Line{data.sliced(start, i - start), equals};
}

// Key and section names: '\' separates groups, "%XX" and "%UXXXX" are
// UTF-16 code units.
QString unescapedKey(QByteArrayView raw)
{
    const QString decoded = QString::fromUtf8(raw);
    QString key;
    key.reserve(decoded.size());
    qsizetype i = 0;
    while (i < decoded.size()) {
        const QChar c = decoded[i];
        if (c == u'\\') {
            key += u'/';
            ++i;
            continue;
        }
        if (c == u'%' && i + 1 < decoded.size()) {
            const qsizetype first = decoded[i + 1] == u'U' ? i + 2 : i + 1;
            const qsizetype digits = decoded[i + 1] == u'U' ? 4 : 2;
            bool ok = false;
            const ushort code = first + digits <= decoded.size()
                ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16)
                : 0;
            if (ok) {
                key += QChar(code);
                i = first + digits;
                continue;
            }
        }
        key += c;
        ++i;
    }
    return key;
}

QString sectionPrefix(QByteArrayView name)
{
    // QSettings keeps top-level keys in [General] and writes a group really
    // called "General" as [%General].
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.sliced(1)) + u'/';
    return unescapedKey(name) + u'/';
}

char simpleEscape(char c)
{
    switch (c) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    case '"':
    case '?':
    case '\'':
    case '\\':
        return c;
    default:
        return 0;
    }
}

// The string a value line stands for once quotes and escapes are undone;
// nothing when an unquoted comma makes it a list. Blanks around an unquoted
// value are not part of it.
std::optional<QString> unescapedValue(QByteArrayView raw)
{
    // A leading U+FEFF is text here: QSettings writes it as it is.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString value;
    value.reserve(raw.size());
    bool inQuotes = false;
    bool quoted = false;
    qsizetype kept = 0; // blanks before this index came from escapes or quotes
    qsizetype i = 0;
    while (i < raw.size() && isBlank(raw[i]))
        ++i;
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i == raw.size())
                return value;
            const char e = raw[i++];
            if (const char simple = simpleEscape(e)) {
                value += QLatin1Char(simple);
            } else if (digitValue(e, 8) >= 0 || (e == 'x' && i < raw.size() && digitValue(raw[i], 16) >= 0)) {
                const int base = e == 'x' ? 16 : 8;
                // 16 bits, wrapping as QSettings' own reader does.
                char16_t code = e == 'x' ? 0 : char16_t(e - '0');
                for (int digit; i < raw.size() && (digit = digitValue(raw[i], base)) >= 0; ++i)
                    code = char16_t(code * base + digit);
                value += QChar(code);
                if (i == raw.size())
                    return value;
            } else if (e == 'x' && i == raw.size()) {
                return value;
            } else if ((e == '\n' || e == '\r') && i < raw.size() && raw[i] != e
                       && (raw[i] == '\n' || raw[i] == '\r')) {
                ++i; // a continued line ending in "\r\n" or "\n\r"
            }
            // Any other escaped character, and a line end, stands for nothing.
            kept = value.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                while (i < raw.size() && isBlank(raw[i]))
                    ++i;
                kept = value.size();
            }
        } else if (c == ',' && !inQuotes) {
            return std::nullopt;
        } else {
            qsizetype end = i + 1;
            while (end < raw.size() && raw[end] != '\\' && raw[end] != '"' && raw[end] != ',')
                ++end;
            value += utf8(raw.sliced(i, end - i));
            i = end;
        }
    }
    if (!quoted) {
        while (value.size() > kept && (value.back() == u' ' || value.back() == u'\t'))
            value.chop(1);
    }
    return value;
}

// The text a value stands for, or nothing when QSettings would read it as
// anything else.
std::optional<QString> textOf(QByteArrayView raw)
{
    std::optional<QString> value = unescapedValue(raw);
    if (!value || !value->startsWith(u'@'))
        return value;
    if (value->startsWith(QLatin1StringView("@@")))
        return value->sliced(1);
    if (value->startsWith(QLatin1StringView("@String(")) && value->endsWith(u')'))
        return value->sliced(8).chopped(1);
    return std::nullopt;
}

// One line of the file as QSettings reads it: a section header, or a key
// with its value; lines without '=' are passed over, as QSettings does.
struct IniLine
{
    qsizetype start = 0;
    qsizetype end = 0; // past the line's last byte, its line end excluded
    bool section = false;
    QString prefix;    // the section's: "Name/", or "" for [General]
    QString key;       // with the prefix
    QByteArrayView value;
};

template <typename Visit>
void walkIni(QByteArrayView bytes, Visit &&visit)
{
    QString prefix;
    qsizetype pos = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (const std::optional<Line> line = nextLine(bytes, pos)) {
        IniLine seen;
        seen.start = line->text.data() - bytes.data();
        seen.end = seen.start + line->text.size();
        if (line->text.startsWith('[')) {
            // QSettings ignores whatever follows the ']', and takes the rest
            // of the line when there is none.
            const qsizetype close = line->text.indexOf(']');
            prefix = sectionPrefix((close < 0 ? line->text.sliced(1) : line->text.sliced(1, close - 1)).trimmed());
            seen.section = true;
            seen.prefix = prefix;
            visit(seen);
            continue;
        }
        if (line->equals < 0)
            continue;
        seen.prefix = prefix;
        seen.key = prefix + unescapedKey(line->text.first(line->equals).trimmed());
        seen.value = line->text.sliced(line->equals + 1);
        visit(seen);
    }
}

// UTF-8 without NUL bytes: what a settings file written by QSettings is.
bool isText(QByteArrayView bytes)
{
    return !bytes.contains('\0') && QUtf8StringView(bytes).isValidUtf8();
}

} // namespace

std::optional<IniTexts> readIniTexts(QByteArrayView bytes)
{
    if (!isText(bytes))
        return std::nullopt;
    // QSettings gathers each section's lines, a repeated section's after its
    // first, and reads the sections in the order of their names: a key given
    // in two sections keeps the value of the section whose name sorts last.
    QMap<QString, QList<std::pair<QString, std::optional<QString>>>> sections;
    walkIni(bytes, [&sections](const IniLine &line) {
        if (!line.section)
            sections[line.prefix].append({line.key, textOf(line.value)});
    });
    IniTexts texts;
    for (const auto &lines : std::as_const(sections)) {
        // A repeated key keeps its last value, as in QSettings; when that is
        // not a text, the key has none.
        for (const auto &[key, text] : lines) {
            if (text)
                texts.insert(key, wellFormedText(*text));
            else
                texts.remove(key);
        }
    }
    return texts;
}

std::optional<QByteArray> readIniBytes(const QString &path)
{
    // Not a FIFO or device: opening one could wait for ever.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestSettingsFile)
        return std::nullopt;
    QByteArray bytes = file.read(kLargestSettingsFile + 1);
    if (bytes.size() > kLargestSettingsFile || file.error() != QFileDevice::NoError || !isText(bytes))
        return std::nullopt;
    return bytes;
}

std::optional<IniTexts> readIniFile(const QString &path)
{
    const std::optional<QByteArray> bytes = readIniBytes(path);
    return bytes ? readIniTexts(*bytes) : std::nullopt;
}

QByteArray replaceIniKeys(QByteArrayView file, const QString &section, const QSet<QString> &keys,
                          QByteArrayView lines)
{
    const QString prefix = section + u'/';
    QByteArray out;
    out.reserve(file.size() + lines.size() + section.size() + 4);
    qsizetype copied = 0;
    bool inSection = false;
    bool inserted = false;
    const auto endLine = [&out] {
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += '\n';
    };
    walkIni(file, [&](const IniLine &line) {
        if (line.section) {
            // The keys go at the end of the section's first occurrence.
            if (inSection && !inserted) {
                out += file.sliced(copied, line.start - copied);
                copied = line.start;
                endLine();
                out += lines;
                inserted = true;
            }
            inSection = line.prefix == prefix;
            return;
        }
        if (!keys.contains(line.key))
            return;
        out += file.sliced(copied, line.start - copied);
        copied = line.end;
        if (file.sliced(copied).startsWith("\r\n"))
            copied += 2;
        else if (copied < file.size() && (file[copied] == '\n' || file[copied] == '\r'))
            ++copied;
    });
    out += file.sliced(copied);
    if (!inserted) {
        endLine();
        if (!inSection)
            out += '[' + section.toUtf8() + "]\n";
        out += lines;
    }
    return out;
}

QString wellFormedText(QStringView text)
{
    QString result = text.toString();
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (result[i].isHighSurrogate() && i + 1 < result.size() && result[i + 1].isLowSurrogate())
            ++i;
        else if (result[i].isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

} // namespace tarnwick
