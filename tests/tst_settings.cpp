#include "app/storedsettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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

    void damagedFileReadsEmptyAndIsReplacedOnSave()
    {
        const QString file = path(QStringLiteral("damaged.ini"));
        writeRaw(file, QByteArray("[Pellory]\nwidth1=640\n\0\xff\xfe garbage\n[x", 32));
        QCOMPARE(loadStoredTexts(file), StoredTexts());
        QVERIFY(save(sample(), file));
        QCOMPARE(loadStoredTexts(file), texts(sample()));
    }

    // QSettings deserialises a value written as "@Variant(...)" with
    // QDataStream, where a crafted length asks for gigabytes. Tarnwick never
    // writes one; a file holding one, in any spelling, is not trusted. What
    // QSettings writes for texts ("@@...", "@String(...)") is.
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
        if (refused) {
            QCOMPARE(loaded, StoredTexts());
            // The next save replaces the file instead of carrying the value on.
            QVERIFY(save(sample(), file));
            QCOMPARE(loadStoredTexts(file), texts(sample()));
        } else {
            QCOMPARE(loaded.value(QStringLiteral("width1")), QStringLiteral("640"));
            QCOMPARE(loaded.value(QStringLiteral("height1")), QStringLiteral("480"));
            QCOMPARE(loaded.value(QStringLiteral("dmlfilename")), name);
        }
    }

    void unreadableAndUnwritablePath()
    {
        // A folder where the file should be: nothing can be read or written.
        const QString file = path(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(file));
        QCOMPARE(loadStoredTexts(file), StoredTexts());
        QVERIFY(!save(sample(), file));
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
