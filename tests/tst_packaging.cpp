#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace tarnwick;

namespace {

const QString packagingSource = QStringLiteral(TARNWICK_PACKAGING_SOURCE_DIR);
const QString packagingBuild = QStringLiteral(TARNWICK_PACKAGING_BINARY_DIR);
const QString bashCompletion = QStringLiteral("/usr/share/bash-completion/bash_completion");

struct Output
{
    int exitCode = -1;
    QString out;
    QString err;
};

Output run(const QString &program, const QStringList &arguments, const QString &workingDirectory = QString())
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(60000))
        return {};
    Output output;
    output.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    output.out = QString::fromUtf8(process.readAllStandardOutput());
    output.err = QString::fromUtf8(process.readAllStandardError());
    return output;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// What a program's --help offers. QCommandLineParser indents option and
// argument names by two spaces and their wrapped descriptions further.
struct Help
{
    QStringList options;
    QStringList arguments;
};

Help parseHelp(const QString &text)
{
    static const QRegularExpression optionName(QStringLiteral("(?:^|[ ,])(--?[A-Za-z0-9][A-Za-z0-9-]*)"));
    Help help;
    bool inArguments = false;
    for (const QString &line : text.split(u'\n')) {
        if (!line.startsWith(u' ')) {
            inArguments = line == u"Arguments:";
            continue;
        }
        if (line.size() < 3 || line.at(2).isSpace())
            continue;
        const QString names = line.mid(2).section(QStringLiteral("  "), 0, 0);
        if (inArguments) {
            help.arguments.append(names);
            continue;
        }
        for (const QRegularExpressionMatch &match : optionName.globalMatch(names))
            help.options.append(match.captured(1));
    }
    return help;
}

// Roff source as a reader sees it: escaped hyphens as hyphens, font changes
// and zero-width characters gone.
QString plainRoff(QString line)
{
    static const QRegularExpression font(QStringLiteral(R"(\\f(?:[BIRP]|\(..|\[[^]]*\]))"));
    line.remove(font);
    line.remove(QStringLiteral("\\&"));
    line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    return line;
}

// The item headings (the line after each .TP) and the SYNOPSIS section of a
// manual page.
struct ManPage
{
    QStringList itemTags;
    QString synopsis;
};

ManPage readManPage(const QString &path)
{
    ManPage page;
    const QStringList lines = readText(path).split(u'\n');
    QString section;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(QStringLiteral(".SH "))) {
            section = line.mid(4).remove(u'"');
        } else if (line == u".TP" && i + 1 < lines.size()) {
            page.itemTags.append(plainRoff(lines.at(i + 1)));
        } else if (section == u"SYNOPSIS") {
            page.synopsis += plainRoff(line) + u' ';
        }
    }
    return page;
}

bool containsWord(const QString &text, const QString &word)
{
    const QRegularExpression pattern(QStringLiteral(R"((?:^|[\s,|[])%1(?:$|[\s,=|\]]))")
                                         .arg(QRegularExpression::escape(word)));
    return pattern.match(text).hasMatch();
}

// The first element's text of an XML document, or of its first descendant
// with that name.
QString firstElementText(const QString &path, const QString &name, const QString &attribute = QString())
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable %1>").arg(path);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name) {
            if (!attribute.isEmpty())
                return xml.attributes().value(attribute).toString();
            return xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
    }
    return QStringLiteral("<no %1 in %2>").arg(name, path);
}

} // namespace

// The manual pages, the shell completion and the desktop files checked against
// the programs they describe, so that an option or a version added to one
// place and not the others fails here.
class tst_Packaging : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    void addProgramRows();
    QStringList complete(const QStringList &words);

private Q_SLOTS:
    void initTestCase();
    void manPageDocumentsEveryOption_data() { addProgramRows(); }
    void manPageDocumentsEveryOption();
    void manPageRendersWithoutWarnings_data() { addProgramRows(); }
    void manPageRendersWithoutWarnings();
    void versionNamesTheLicence_data() { addProgramRows(); }
    void versionNamesTheLicence();
    void completion_data();
    void completion();
    void completionOffersEveryOption();
    void desktopIdentity();
    void windowCommandLineWithoutDisplay_data();
    void windowCommandLineWithoutDisplay();
};

void tst_Packaging::initTestCase()
{
    QVERIFY(m_folder.isValid());
    const QDir dir(m_folder.path());
    QVERIFY(dir.mkpath(QStringLiteral("pics")));
    QVERIFY(dir.mkpath(QStringLiteral("sub dir")));
    for (const char *name : {"a.dml", "B.DML", "c.txt", "d.gif"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void tst_Packaging::addProgramRows()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("page");
    QTest::newRow("tarnwick") << QStringLiteral(TARNWICK_PATH) << packagingBuild + QStringLiteral("/tarnwick.1");
    QTest::newRow("tarnwick-make") << QStringLiteral(TARNWICK_MAKE_PATH)
                                   << packagingBuild + QStringLiteral("/tarnwick-make.1");
}

void tst_Packaging::manPageDocumentsEveryOption()
{
    QFETCH(QString, program);
    QFETCH(QString, page);
    const Output output = run(program, {QStringLiteral("--help")});
    QCOMPARE(output.exitCode, 0);
    const Help help = parseHelp(output.out);
    // A change in the help's layout must not leave nothing to compare.
    QVERIFY2(help.options.contains(QStringLiteral("--help")) && help.options.contains(QStringLiteral("--version")),
             qPrintable(help.options.join(u' ')));
    QVERIFY(!help.arguments.isEmpty());

    const ManPage manPage = readManPage(page);
    QVERIFY2(!manPage.itemTags.isEmpty(), qPrintable(page));
    for (const QString &option : help.options) {
        const bool documented = std::any_of(manPage.itemTags.cbegin(), manPage.itemTags.cend(),
                                            [&option](const QString &tag) { return containsWord(tag, option); });
        QVERIFY2(documented, qPrintable(QStringLiteral("%1 has no item in %2").arg(option, page)));
    }
    for (const QString &argument : help.arguments)
        QVERIFY2(containsWord(manPage.synopsis, argument),
                 qPrintable(QStringLiteral("%1 is not in the synopsis of %2").arg(argument, page)));
}

void tst_Packaging::manPageRendersWithoutWarnings()
{
    QFETCH(QString, page);
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty())
        QSKIP("man is not installed");
    // The way lintian renders a page to look for mistakes.
    const Output output = run(man, {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                                    QStringLiteral("-l"), QStringLiteral("-Tutf8"), QStringLiteral("-Z"), page});
    QCOMPARE(output.err, QString());
    QCOMPARE(output.exitCode, 0);
    QVERIFY(output.out.size() > 1000);
}

void tst_Packaging::versionNamesTheLicence()
{
    QFETCH(QString, program);
    const Output output = run(program, {QStringLiteral("--version")});
    QCOMPARE(output.exitCode, 0);
    const QStringList lines = output.out.split(u'\n');
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.at(0), QFileInfo(program).fileName() + QStringLiteral(" " TARNWICK_VERSION));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("Copyright (C) ")), qPrintable(lines.at(1)));
    const QString licence =
        firstElementText(packagingBuild + QStringLiteral("/" TARNWICK_APP_ID ".metainfo.xml"),
                         QStringLiteral("project_license"));
    QVERIFY2(output.out.contains(QStringLiteral("License ") + licence), qPrintable(output.out));
}

// Runs tarnwick-make's completion as bash would for the words typed so far
// (the last one is the word being completed) and returns what it offers.
QStringList tst_Packaging::complete(const QStringList &words)
{
    static const QString driver = QStringLiteral(R"(
source /usr/share/bash-completion/bash_completion
source "$1"
export PATH="$2:$PATH"
shift 2
registration=$(complete -p tarnwick-make) || exit 3
function=${registration#*-F }
function=${function%% *}
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE=
previous=
for word in "$@"; do
    # Bash splits "--order=na" into three words without spaces between them.
    if [[ -z $COMP_LINE || $word == "=" || $previous == "=" ]]; then COMP_LINE+=$word; else COMP_LINE+=" $word"; fi
    previous=$word
done
COMP_POINT=${#COMP_LINE}
"$function" tarnwick-make "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}"
)");
    const Output output =
        run(QStringLiteral("bash"),
            QStringList{QStringLiteral("-c"), driver, QStringLiteral("bash"),
                        packagingSource + QStringLiteral("/tarnwick-make.bash-completion"),
                        QFileInfo(QStringLiteral(TARNWICK_MAKE_PATH)).absolutePath(), QStringLiteral("tarnwick-make")}
                + words,
            m_folder.path());
    if (output.exitCode != 0)
        return {QStringLiteral("<exit %1: %2>").arg(output.exitCode).arg(output.err)};
    QStringList offered = output.out.split(u'\n', Qt::SkipEmptyParts);
    offered.sort();
    return offered;
}

void tst_Packaging::completion_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("expected");
    const auto L = [](std::initializer_list<const char *> words) {
        QStringList list;
        for (const char *word : words)
            list.append(QLatin1String(word));
        return list;
    };
    // The folder holds the folders "pics" and "sub dir" and the files a.dml,
    // B.DML, c.txt and d.gif.
    QTest::newRow("option name") << L({"--or"}) << L({"--order"});
    QTest::newRow("order") << L({"--order", ""}) << L({"name", "natural"});
    QTest::newRow("order, typed") << L({"--order", "nat"}) << L({"natural"});
    QTest::newRow("order after =") << L({"--order", "=", "na"}) << L({"name", "natural"});
    QTest::newRow("like: documents and folders") << L({"--like", ""}) << L({"B.DML", "a.dml", "pics", "sub dir"});
    QTest::newRow("like, typed") << L({"--like", "a"}) << L({"a.dml"});
    QTest::newRow("like after =") << L({"--like", "=", "B"}) << L({"B.DML"});
    QTest::newRow("pages: any file") << L({"--pages", ""}) << L({"B.DML", "a.dml", "c.txt", "d.gif", "pics", "sub dir"});
    QTest::newRow("folder: folders only") << L({""}) << L({"pics", "sub dir"});
    QTest::newRow("folder after options") << L({"--top", "3", "--order", "name", "s"}) << L({"sub dir"});
    QTest::newRow("free text") << L({"--name", ""}) << L({});
    QTest::newRow("size") << L({"--book-width", ""}) << L({});
    QTest::newRow("colour") << L({"--border", ""}) << L({});
}

void tst_Packaging::completion()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, expected);
    if (!QFile::exists(bashCompletion))
        QSKIP("bash-completion is not installed");
    QCOMPARE(complete(words), expected);
}

void tst_Packaging::completionOffersEveryOption()
{
    if (!QFile::exists(bashCompletion))
        QSKIP("bash-completion is not installed");
    const Output output = run(QStringLiteral(TARNWICK_MAKE_PATH), {QStringLiteral("--help")});
    QCOMPARE(output.exitCode, 0);
    QStringList longOptions = parseHelp(output.out).options.filter(QRegularExpression(QStringLiteral("^--")));
    longOptions.sort();
    QVERIFY(longOptions.contains(QStringLiteral("--pages")));
    QCOMPARE(complete({QStringLiteral("--")}), longOptions);
}

void tst_Packaging::desktopIdentity()
{
    setUpApplication(*qApp);
    const QString id = QGuiApplication::desktopFileName();
    QVERIFY(!id.isEmpty());

    const QString metainfo = packagingBuild + u'/' + id + QStringLiteral(".metainfo.xml");
    QVERIFY2(QFile::exists(metainfo), qPrintable(metainfo));
    QCOMPARE(firstElementText(metainfo, QStringLiteral("id")), id);
    QCOMPARE(firstElementText(metainfo, QStringLiteral("launchable")), id + QStringLiteral(".desktop"));
    // On X11 the window's WM_CLASS is the application name: the entry must
    // say so, or desktops cannot match the window to it.
    const QString entry = readText(packagingSource + QStringLiteral("/tarnwick.desktop"));
    QVERIFY(entry.contains(QStringLiteral("\nStartupWMClass=") + QCoreApplication::applicationName() + u'\n'));

    // The newest release named in the AppStream data and the changelog is the
    // program's own version.
    const QString version = QCoreApplication::applicationVersion();
    QCOMPARE(firstElementText(metainfo, QStringLiteral("release"), QStringLiteral("version")), version);
    const QString changelog = readText(packagingBuild + QStringLiteral("/changelog"));
    QCOMPARE(changelog.section(u'\n', 0, 0), QStringLiteral("tarnwick (%1) unstable; urgency=medium").arg(version));
}

void tst_Packaging::windowCommandLineWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "Usage: tarnwick [options] [PATH]";
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << "GPL-3.0-or-later";
    // Qt's own options pass through to the application.
    QTest::newRow("help after a Qt option") << QStringList{QStringLiteral("-style"), QStringLiteral("Fusion"),
                                                           QStringLiteral("--help")}
                                            << 0 << "Usage: tarnwick";
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour")} << 2
                                    << "Usage: tarnwick [options] [PATH]";
    QTest::newRow("two paths") << QStringList{QStringLiteral("a"), QStringLiteral("b")} << 2 << "Try 'tarnwick --help'.";
}

// The command line is read before the window system is needed: with no
// display at all, help and errors still answer instead of aborting.
void tst_Packaging::windowCommandLineWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TARNWICK_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString printed = QString::fromUtf8(exitCode == 0 ? process.readAllStandardOutput()
                                                            : process.readAllStandardError());
    QVERIFY2(printed.contains(says), qPrintable(printed));
}

QTEST_MAIN(tst_Packaging)
#include "tst_packaging.moc"
