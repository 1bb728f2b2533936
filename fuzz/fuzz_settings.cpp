// Each input is used twice.
// As a settings file: reading it must never crash nor ask for much memory. A
// file the reader trusts must read the same with QSettings itself, every value
// a QString: anything else means QSettings would have deserialised something
// the reader let through. A save over the file keeps its other keys, and what
// it stores loads back.
// As ten texts (split at 0xff bytes; a piece starting with 0xfe is raw UTF-16,
// lone surrogates included): what save() writes with QSettings, load() must
// give back unchanged.
#include "app/inireader.h"
#include "app/storedsettings.h"
#include "book/booksettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tarnwick;

namespace {

struct Environment
{
    int argc = 1;
    char name[16] = "fuzz_settings";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString input = dir.filePath(QStringLiteral("Vellicor.ini"));
    QString texts = dir.filePath(QStringLiteral("texts.ini"));
    QStringList storedKeys = keysSavedBy(dir.filePath(QStringLiteral("keys.ini")));
    quint64 runs = 0;

    static QStringList keysSavedBy(const QString &path)
    {
        if (!saveStoredTexts(path, BookSettings().storedValues()))
            std::abort();
        return readIniFile(path).value_or(IniTexts()).keys();
    }
};

// The ten settings Tarnwick stores, with their texts from a store (empty
// where it has none).
QList<StoredValue> tenOf(const StoredTexts &stored)
{
    QList<StoredValue> values = BookSettings().storedValues();
    for (auto &[key, text] : values)
        text = stored.value(key);
    return values;
}

void fail(int line)
{
    std::fprintf(stderr, "check failed at fuzz_settings.cpp:%d\n", line);
    std::abort();
}

// Says which check failed before the fuzzer reports the abort.
#define check(condition) ((condition) ? void() : fail(__LINE__))

void writeFile(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
          && file.write(bytes.data(), bytes.size()) == bytes.size());
}

QByteArray readAllOf(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// QSettings' own reader drops a leading U+FEFF, and cannot hold a lone
// surrogate; the reader keeps the one and replaces the other.
QString comparable(const QString &text)
{
    return wellFormedText(text).remove(QChar(0xFEFF));
}

// A file the reader trusts, read by QSettings in a file of its own name
// (QSettings caches what it read under the name).
// True when QSettings read the file without a complaint, and so is the
// reference for what a save must keep.
bool compareWithQSettings(Environment &env, QByteArrayView bytes, const IniTexts &texts)
{
    // QSettings deserialises @Variant and @DateTime values as it reads them:
    // a crafted one asks for gigabytes. Tarnwick never does, so there is
    // nothing to compare.
    if (bytes.contains("@Variant(") || bytes.contains("@DateTime("))
        return false;
    const QString path = env.dir.filePath(QStringLiteral("qsettings-%1.ini").arg(++env.runs));
    // Qt 6.4 reads a file that begins with a byte order mark right, but
    // reports it as malformed; the reader takes the mark for what it is.
    writeFile(path, bytes.startsWith("\xef\xbb\xbf") ? bytes.sliced(3) : bytes);
    {
        QSettings store(path, QSettings::IniFormat);
        const QStringList keys = store.allKeys();
        // The reader also takes the keys of a file QSettings calls malformed
        // (a cut-short last line, a stray line): QSettings is the reference
        // only for the files it reads.
        if (store.status() != QSettings::NoError) {
            QFile::remove(path);
            return false;
        }
        // The reader leaves out the keys whose value is no plain text (a list,
        // an @ form); every key it gives is one QSettings reads as that text.
        for (const QString &key : texts.keys())
            check(keys.contains(key));
        for (const QString &key : keys) {
            // Only a normalised key can be asked for by name.
            if (!texts.contains(key) || key.isEmpty() || key.startsWith(u'/') || key.endsWith(u'/')
                || key.contains(QStringLiteral("//")))
                continue;
            const QVariant value = store.value(key);
            check(value.typeId() == QMetaType::QString);
            check(comparable(value.toString()) == comparable(texts.value(key)));
        }
    }
    QFile::remove(path);
    return true;
}

// QSettings writes a group spelled "general" in any case as [%General],
// which reads back as "General": such a key cannot be kept, and the save then
// keeps only its own keys.
// Keys QSettings cannot name: empty, or with an empty group.
bool unnamable(const QString &key)
{
    return key.isEmpty() || key.startsWith(u'/') || key.endsWith(u'/') || key.contains(QStringLiteral("//"));
}

bool qsettingsCannotKeep(const QString &key)
{
    const QString group = key.section(u'/', 0, 0);
    return key.contains(u'/') && group != QStringLiteral("General")
        && group.compare(QStringLiteral("general"), Qt::CaseInsensitive) == 0;
}

void saveOverFile(Environment &env, const std::optional<IniTexts> &texts, bool qsettingsReads)
{
    const StoredTexts loaded = loadStoredTexts(env.input);
    const QList<StoredValue> ten = tenOf(loaded);
    // A save that cannot keep everything else refuses, and leaves the file
    // exactly as it was.
    const QByteArray before = readAllOf(env.input);
    if (!saveStoredTexts(env.input, ten)) {
        check(readAllOf(env.input) == before);
        return;
    }
    // Of a file QSettings calls malformed, only our own keys are promised.
    if (!qsettingsReads) {
        const StoredTexts back = loadStoredTexts(env.input);
        for (const auto &[key, text] : ten)
            check(back.contains(key) && back.value(key) == text);
        return;
    }
    const std::optional<IniTexts> after = readIniFile(env.input);
    check(after.has_value());
    IniTexts others = *after;
    for (const QString &key : std::as_const(env.storedKeys))
        check(others.remove(key) == 1);
    // Keys QSettings cannot name are kept as bytes, but compared as texts
    // only where it can name them.
    others.removeIf([](const auto &entry) { return unnamable(entry.key()); });
    IniTexts expected;
    if (texts) {
        for (auto it = texts->cbegin(); it != texts->cend(); ++it) {
            const QString &key = it.key();
            if (!env.storedKeys.contains(key) && !unnamable(key))
                expected.insert(key, it.value());
        }
    }
    const bool othersKept = others == expected;
    check(othersKept
          || (others.isEmpty() && std::any_of(expected.keyBegin(), expected.keyEnd(), qsettingsCannotKeep)));
    // The ten read back as saved; the section's other keys too, unless the
    // save had to leave every other key out.
    StoredTexts expectedBack;
    if (othersKept) {
        // Keys QSettings cannot name are not promised to be carried over, nor
        // to go: it may write a line it could not name back as it was.
        for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
            if (!unnamable(it.key()))
                expectedBack.insert(it.key(), it.value());
        }
    }
    for (const auto &[key, text] : ten)
        expectedBack.insert(key, text);
    StoredTexts back = loadStoredTexts(env.input);
    back.removeIf([](const auto &entry) { return unnamable(entry.key()); });
    check(back == expectedBack);
}

void saveTexts(Environment &env, QByteArrayView bytes)
{
    QList<QString> pieces;
    for (QByteArrayView piece : QByteArray(bytes.data(), bytes.size()).split('\xff')) {
        if (piece.startsWith('\xfe'))
            pieces << QString::fromUtf16(reinterpret_cast<const char16_t *>(piece.data() + 1),
                                         (piece.size() - 1) / 2);
        else
            pieces << QString::fromUtf8(piece);
    }
    QList<StoredValue> values = BookSettings().storedValues();
    pieces.resize(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        values[i].second = pieces[i];
    QFile::remove(env.texts);
    check(saveStoredTexts(env.texts, values));
    StoredTexts expected;
    for (const auto &[key, text] : values)
        expected.insert(key, wellFormedText(text));
    check(loadStoredTexts(env.texts) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Environment environment;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const std::optional<IniTexts> texts = readIniTexts(bytes);
    bool qsettingsReads = false;
    if (texts)
        qsettingsReads = compareWithQSettings(environment, bytes, *texts);
    writeFile(environment.input, bytes);
    saveOverFile(environment, texts, qsettingsReads);
    saveTexts(environment, bytes);
    return 0;
}
