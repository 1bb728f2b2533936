#include "app/inireader.h"
#include "app/storedsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

using tarnwick::IniTexts;
using tarnwick::StoredTexts;
using tarnwick::StoredValue;
using tarnwick::loadStoredTexts;

namespace {

bool save(const QList<StoredValue> &values, const QString &file)
{
    return tarnwick::saveStoredTexts(file, values);
}

StoredTexts texts(const QList<StoredValue> &values)
{
    StoredTexts t;
    for (const auto &[key, text] : values)
        t.insert(key, text);
    return t;
}

void setValue(QList<StoredValue> &values, const QString &key, const QString &text)
{
    for (auto &value : values)
        if (value.first == key)
            value.second = text;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    static QList<StoredValue> sample()
    {
        return {{QStringLiteral("dmlfilename"), QStringLiteral(u"我的书, 第一册.dml")},
                {QStringLiteral("width1"), QStringLiteral("800")},
                {QStringLiteral("height1"), QStringLiteral("600")},
                {QStringLiteral("width2"), QStringLiteral("12345")},
                {QStringLiteral("height2"), QStringLiteral("abc")},
                {QStringLiteral("left"), QStringLiteral("-10")},
                {QStringLiteral("right"), QStringLiteral("20")},
                {QStringLiteral("BGColor"), QStringLiteral("255")},
                {QStringLiteral("border"), QStringLiteral("1")},
                {QStringLiteral("bordercolor"), QStringLiteral("-1")}};
    }

    void writeRaw(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    static QByteArray readRaw(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void missingFileReadsEmptyAndCreatesNothing()
    {
        const QString file = path(QStringLiteral("absent/Vellicor.ini"));
        QCOMPARE(loadStoredTexts(file), StoredTexts());
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QDir(path(QStringLiteral("absent"))).exists());
    }

    void roundTrip()
    {
        const QString file = path(QStringLiteral("round/Vellicor.ini"));
        QVERIFY(save(sample(), file));
        QCOMPARE(loadStoredTexts(file), texts(sample()));
    }

    void valuesKeepTheirText_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("spaces kept") << QStringLiteral("  1024 ");
        QTest::newRow("leading zero") << QStringLiteral("007");
        QTest::newRow("comma") << QStringLiteral("a,b");
        QTest::newRow("quote and semicolon") << QStringLiteral("x\";y");
        QTest::newRow("at sign") << QStringLiteral("@Invalid()");
        QTest::newRow("chinese") << QStringLiteral(u"电子书.dml");
        QTest::newRow("empty") << QString();
    }

    void valuesKeepTheirText()
    {
        QFETCH(QString, value);
        const QString file = path(QStringLiteral("text.ini"));
        QList<StoredValue> s = sample();
        setValue(s, QStringLiteral("dmlfilename"), value);
        setValue(s, QStringLiteral("border"), value);
        QVERIFY(save(s, file));
        const StoredTexts back = loadStoredTexts(file);
        QCOMPARE(back.value(QStringLiteral("dmlfilename")), value);
        QVERIFY(back.contains(QStringLiteral("border")));
        QCOMPARE(back.value(QStringLiteral("border")), value);
    }

    // The file is the one other tools and older versions see: section
    // "Pellory", the ten key names exactly, every value a plain text.
    void fileLayout()
    {
        const QString file = path(QStringLiteral("layout.ini"));
        QVERIFY(save(sample(), file));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.childGroups(), QStringList{QStringLiteral("Pellory")});
        raw.beginGroup(QStringLiteral("Pellory"));
        QStringList keys = raw.childKeys();
        keys.sort();
        QStringList expected{QStringLiteral("dmlfilename"), QStringLiteral("width1"),
                             QStringLiteral("height1"),     QStringLiteral("width2"),
                             QStringLiteral("height2"),     QStringLiteral("left"),
                             QStringLiteral("right"),       QStringLiteral("BGColor"),
                             QStringLiteral("border"),      QStringLiteral("bordercolor")};
        expected.sort();
        QCOMPARE(keys, expected);
        for (const QString &key : keys)
            QCOMPARE(raw.value(key).typeId(), QMetaType::QString);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("BGColor=255"));
        QVERIFY(bytes.contains("bordercolor=-1"));
        QVERIFY(bytes.contains("right=20"));
    }

    void storedButEmptyBorderIsNotMissing()
    {
        const QString file = path(QStringLiteral("border.ini"));
        writeRaw(file, "[Pellory]\nborder=\nwidth1=640\n");
        const StoredTexts s = loadStoredTexts(file);
        QVERIFY(s.contains(QStringLiteral("border")));
        QVERIFY(s.value(QStringLiteral("border")).isEmpty());
        QCOMPARE(s.value(QStringLiteral("width1")), QStringLiteral("640"));
    }

    void otherSectionsAreNotRead()
    {
        const QString file = path(QStringLiteral("other.ini"));
        writeRaw(file, "[General]\nwidth1=640\n[Other]\nborder=1\n");
        QCOMPARE(loadStoredTexts(file), StoredTexts());
    }

    // QSettings deserialises a value written as "@Variant(...)" with
    // QDataStream, where a crafted length asks for gigabytes. Tarnwick never
    // reads one, in any spelling: the key has no text. What QSettings writes
    // for texts ("@@...", "@String(...)") is read.
    void serialisedValuesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("@Variant(\\0\\0\\0\\n\\0\\xff\\xff\\xff\\xf0)") << true << QString();
        QTest::newRow("after blanks") << QByteArray("   @Variant(x)") << true << QString();
        QTest::newRow("quoted") << QByteArray("\"@Variant(x)\"") << true << QString();
        QTest::newRow("hex escape") << QByteArray("\\x40Variant(x)") << true << QString();
        QTest::newRow("long hex escape") << QByteArray("\\x0040Variant(x)") << true << QString();
        QTest::newRow("octal escape") << QByteArray("\\100Variant(x)") << true << QString();
        QTest::newRow("list element") << QByteArray("a.dml, @Variant(x)") << true << QString();
        QTest::newRow("after a plain @@") << QByteArray("@@a, @DateTime(x)") << true << QString();
        QTest::newRow("continued line") << QByteArray("\\\n@Variant(x)") << true << QString();
        QTest::newRow("doubled @") << QByteArray("@@home.dml") << false << QStringLiteral("@home.dml");
        QTest::newRow("@ inside") << QByteArray("a@b.dml") << false << QStringLiteral("a@b.dml");
        QTest::newRow("quoted comma") << QByteArray("\"a, @b.dml\"") << false << QStringLiteral("a, @b.dml");
        QTest::newRow("text with a NUL") << QByteArray("@String(a\\0b)") << false << QString::fromLatin1("a\0b", 3);
        QTest::newRow("string, then a variant") << QByteArray("@String(a), @Variant(x)") << true << QString();
        QTest::newRow("other escapes") << QByteArray("\"a\\x41\\tb.dml\"") << false << QStringLiteral("aA\tb.dml");
    }

    void serialisedValuesAreRefused()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, refused);
        QFETCH(QString, name);
        const QString file = path(QStringLiteral("foreign.ini"));
        writeRaw(file, "[Pellory]\nwidth1=640\ndmlfilename=" + raw + "\nheight1=480\n");
        const StoredTexts loaded = loadStoredTexts(file);
        QCOMPARE(loaded.value(QStringLiteral("width1")), QStringLiteral("640"));
        QCOMPARE(loaded.value(QStringLiteral("height1")), QStringLiteral("480"));
        QCOMPARE(loaded.contains(QStringLiteral("dmlfilename")), !refused);
        QCOMPARE(loaded.value(QStringLiteral("dmlfilename")), name);
    }

    // What a file holds besides Tarnwick's own plain keys hides none of them,
    // and a save changes only them: QSettings reads every other key as
    // before. A file that is not text is neither read nor replaced.
    void settingsFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<StoredTexts>("read");
        QTest::addColumn<bool>("saved");
        const StoredTexts width{{QStringLiteral("width1"), QStringLiteral("640")}};
        QTest::newRow("comments and lines without =")
            << QByteArray("# note\n[Pellory]\nwidth1=640\nno equals\n;c=1\n#x=2\n")
            << StoredTexts{{QStringLiteral("width1"), QStringLiteral("640")}, {QStringLiteral("#x"), QStringLiteral("2")}}
            << true;
        QTest::newRow("list, byte array and variant elsewhere")
            << QByteArray("[Other]\nlist=a, b\nbytes=@ByteArray(xyz)\nvar=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x8QPointF"
                          "\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0)\n[Pellory]\nwidth1=640\n")
            << width << true;
        QTest::newRow("one of ours a list") << QByteArray("[Pellory]\nwidth1=640\ndmlfilename=a, b\n") << width
                                            << true;
        QTest::newRow("cut-short last line")
            << QByteArray("[Other]\nx=1\n[Pellory]\nwidth1=640\nheight1=\"48")
            << StoredTexts{{QStringLiteral("width1"), QStringLiteral("640")}, {QStringLiteral("height1"), QStringLiteral("48")}}
            << true;
        QTest::newRow("section without ]") << QByteArray("[Pellory]\nwidth1=640\n[Other\nk=v\n") << width << true;
        QTest::newRow("group QSettings writes as [%General]") << QByteArray("[%GENERAL]\nx=1\n[Other]\ny=2\n")
                                                              << StoredTexts() << true;
        QTest::newRow("ours in [General], repeated sections, CRLF")
            << QByteArray("[General]\r\nPellory\\width1=640\r\n[Pellory]\r\nmine=4\r\n[Z]\r\nz=@Size(1 2)\r\n[Pellory]\r\n")
            << StoredTexts{{QStringLiteral("width1"), QStringLiteral("640")}, {QStringLiteral("mine"), QStringLiteral("4")}}
            << true;
        QTest::newRow("not text") << QByteArray("[Pellory]\nwidth1=640\n\0\xff\xfe x\n", 25) << StoredTexts() << false;
        QTest::newRow("larger than any settings file")
            << "[Pellory]\nwidth1=640\n;" + QByteArray(1024 * 1024, 'x') + '\n' << StoredTexts() << false;
    }

    void settingsFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(StoredTexts, read);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vellicor.ini"));
        writeRaw(path, file);
        QCOMPARE(loadStoredTexts(path), read);
        QMap<QString, QVariant> before;
        {
            const QSettings reference(path, QSettings::IniFormat);
            for (const QString &key : reference.allKeys())
                before.insert(key, reference.value(key));
        }
        QCOMPARE(save(sample(), path), saved);
        if (!saved) {
            QCOMPARE(readRaw(path), file);
            return;
        }
        QMap<QString, QVariant> expected = before;
        for (const auto &[key, text] : sample())
            expected.insert(QStringLiteral("Pellory/") + key, text);
        const QSettings after(path, QSettings::IniFormat);
        QMap<QString, QVariant> got;
        for (const QString &key : after.allKeys())
            got.insert(key, after.value(key));
        QCOMPARE(got, expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Vellicor.ini")});
    }

    // A quote left open in another section (here in a value continued onto
    // the next line) would swallow the section saved after it: the save is
    // refused, even when every value is empty.
    void saveSwallowedByAnOpenQuoteIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vellicor.ini"));
        const QByteArray file("[General]\nv=@String(a)\\\nh=\"q\n");
        writeRaw(path, file);
        QList<tarnwick::StoredValue> empty = tarnwick::BookSettings().storedValues();
        for (tarnwick::StoredValue &value : empty)
            value.second.clear();
        QVERIFY(!tarnwick::saveStoredTexts(path, empty));
        QCOMPARE(readRaw(path), file);
    }

    // Values in the forms QSettings writes texts in, and the forms around
    // them it reads (comments, continued lines, line ends), read back as
    // those texts.
    void textsReadBack_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("MyEBook.dml") << QStringLiteral("MyEBook.dml");
        QTest::newRow("chinese") << QStringLiteral(u"我的书.dml").toUtf8() << QStringLiteral(u"我的书.dml");
        QTest::newRow("quoted comma, semicolon, equals") << QByteArray("\"a, b; c=d\"") << QStringLiteral("a, b; c=d");
        QTest::newRow("quoted blanks") << QByteArray("\"  a.dml \"") << QStringLiteral("  a.dml ");
        QTest::newRow("unquoted blanks dropped") << QByteArray(" \t a b.dml \t ") << QStringLiteral("a b.dml");
        QTest::newRow("named escapes") << QByteArray("a\\tb\\nc\\rd\\ae\\bf\\fg\\vh\\\\i\\\"j\\?\\'")
                                       << QStringLiteral("a\tb\nc\rd\ae\bf\fg\vh\\i\"j?'");
        QTest::newRow("control then hex digit") << QByteArray("a\\x1\\x31") << QStringLiteral("a\x01" "1");
        QTest::newRow("hex escape") << QByteArray("\\x6211.dml") << QStringLiteral(u"我.dml");
        QTest::newRow("octal escape") << QByteArray("\\101\\60") << QStringLiteral("A0");
        QTest::newRow("escaped blanks kept") << QByteArray("a\\x20\\t") << QStringLiteral("a \t");
        QTest::newRow("surrogate pair") << QByteArray("\\xd83d\\xde00") << QStringLiteral(u"😀");
        QTest::newRow("lone surrogate") << QByteArray("a\\xd800z") << QStringLiteral(u"a\uFFFDz");
        QTest::newRow("doubled @") << QByteArray("@@Variant(x)") << QStringLiteral("@Variant(x)");
        QTest::newRow("quoted doubled @") << QByteArray("\"@@a, b\"") << QStringLiteral("@a, b");
        QTest::newRow("string with NUL and digits") << QByteArray("@String(a\\0\\x31\\x62)")
                                                    << QString::fromLatin1("a\0" "1b", 4);
        QTest::newRow("string with a bracket") << QByteArray("@String(a)b\\0)") << QString::fromLatin1("a)b\0", 4);
        QTest::newRow("comment after the value") << QByteArray("a.dml ; note") << QStringLiteral("a.dml");
        QTest::newRow("continued line") << QByteArray("a\\\n  b.dml") << QStringLiteral("a  b.dml");
        QTest::newRow("carriage return line end") << QByteArray("a.dml\r") << QStringLiteral("a.dml");
        QTest::newRow("quoted line end") << QByteArray("\"a\nb\"") << QStringLiteral("a\nb");
        QTest::newRow("leading U+FEFF") << QByteArray("\xef\xbb\xbf" "a.dml") << QStringLiteral(u"\uFEFFa.dml");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void textsReadBack()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, name);
        const QString file = path(QStringLiteral("texts.ini"));
        writeRaw(file, "; Tarnwick\n[Pellory]\nwidth1=640\ndmlfilename=" + raw + "\nheight1=480\n");
        const StoredTexts loaded = loadStoredTexts(file);
        QCOMPARE(loaded.value(QStringLiteral("width1")), QStringLiteral("640"));
        QCOMPARE(loaded.value(QStringLiteral("height1")), QStringLiteral("480"));
        QCOMPARE(loaded.value(QStringLiteral("dmlfilename")), name);
    }

    // Section and key names as QSettings reads them.
    void keysReadBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("percent-encoded") << QByteArray("[%50ellory]\nwidth%31=640\n");
        QTest::newRow("group in a key") << QByteArray("[General]\nPellory\\width1=640\n");
        QTest::newRow("blanks around names") << QByteArray("[ Pellory ] ; x\n  width1  =  640\n");
        QTest::newRow("repeated key") << QByteArray("[Pellory]\nwidth1=1\nwidth1=640\n");
        QTest::newRow("repeated section") << QByteArray("[Pellory]\nwidth1=1\n[Other]\nwidth1=2\n[Pellory]\nwidth1=640\n");
        // QSettings reads sections in the order of their names, not the file's.
        QTest::newRow("same key, later section name wins")
            << QByteArray("[Pellory]\nwidth1=640\n[General]\nPellory\\width1=1\n");
        QTest::newRow("byte order mark and CRLF") << QByteArray("\xef\xbb\xbf[Pellory]\r\n;c\r\nwidth1=640\r\n");
        QTest::newRow("comment lines") << QByteArray(";a=1\n  ; [x\n[Pellory]\n;width1=1\nwidth1=640\n");
    }

    void keysReadBack()
    {
        QFETCH(QByteArray, file);
        const QString path = this->path(QStringLiteral("keys.ini"));
        writeRaw(path, file);
        QCOMPARE(loadStoredTexts(path), (StoredTexts{{QStringLiteral("width1"), QStringLiteral("640")}}));
    }

    // Keys Tarnwick does not use, of a trusted file, are still there after a
    // save, and the save leaves nothing else in the folder.
    void otherKeysSurviveASave()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Vellicor.ini"));
        writeRaw(file, "top=1\n[Other]\nlist=\"x, y\"\n[%General]\nn=@@2\n"
                       "[Pellory]\nwidth1=1\nextra=\\x4e2d\n");
        QVERIFY(save(sample(), file));
        StoredTexts expected = texts(sample());
        expected.insert(QStringLiteral("extra"), QStringLiteral(u"中"));
        QCOMPARE(loadStoredTexts(file), expected);
        const std::optional<IniTexts> texts = tarnwick::readIniFile(file);
        QVERIFY(texts);
        QCOMPARE(texts->size(), 14);
        QCOMPARE(texts->value(QStringLiteral("top")), QStringLiteral("1"));
        QCOMPARE(texts->value(QStringLiteral("Other/list")), QStringLiteral("x, y"));
        QCOMPARE(texts->value(QStringLiteral("General/n")), QStringLiteral("@2"));
        QCOMPARE(texts->value(QStringLiteral("Pellory/extra")), QStringLiteral(u"中"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Vellicor.ini")});
    }

    void permissionsAndLinksAreKept()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.ini"));
        const QString link = dir.filePath(QStringLiteral("Vellicor.ini"));
        writeRaw(real, "[Pellory]\nwidth1=1\n");
        const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(real, mode));
        QVERIFY(QFile::link(real, link));
        QVERIFY(save(sample(), link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(real).permissions() & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser), mode);
        QCOMPARE(loadStoredTexts(real), texts(sample()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
    }

    // A write cut short, as on a full disk, is a failed save: the check
    // after the write sees it. The older settings stay as they were.
    void cutWriteKeepsTheOlderFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Vellicor.ini"));
        const QByteArray older = "[Pellory]\nwidth1=1\n";
        writeRaw(file, older);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        // Room for QSettings' lock file, not for the whole settings file.
        QList<StoredValue> s = sample();
        setValue(s, QStringLiteral("dmlfilename"), QString(4000, u'x'));
        rlimit small = saved;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved1 = save(s, file);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!saved1);
        QCOMPARE(readRaw(file), older);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Vellicor.ini")});
    }

    void unreadableAndUnwritablePath()
    {
        // A folder where the file should be: nothing can be read or written.
        const QString file = path(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(file));
        QCOMPARE(loadStoredTexts(file), StoredTexts());
        QVERIFY(!save(sample(), file));
        QVERIFY(QDir(file).isEmpty());
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("folder.ini*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("folder.ini")});
    }

    // Opening a FIFO for reading waits for a writer.
    void fifoIsNotWaitedFor()
    {
        const QString file = path(QStringLiteral("fifo.ini"));
        QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        QCOMPARE(loadStoredTexts(file), StoredTexts());
        QVERIFY(!save(sample(), file));
        QVERIFY(!QFileInfo(file).isFile());
    }

    void savingReplacesEarlierValues()
    {
        const QString file = path(QStringLiteral("twice.ini"));
        QVERIFY(save(sample(), file));
        QList<StoredValue> second = sample();
        setValue(second, QStringLiteral("width1"), QStringLiteral("1000"));
        setValue(second, QStringLiteral("border"), QStringLiteral("0"));
        QVERIFY(save(second, file));
        QCOMPARE(loadStoredTexts(file), texts(second));
    }

    void defaultPathIsInTheConfigFolder()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QCOMPARE(tarnwick::defaultSettingsPath(), path(QStringLiteral("Vellicor.ini")));
    }
};

QTEST_APPLESS_MAIN(tst_Settings)
#include "tst_settings.moc"
