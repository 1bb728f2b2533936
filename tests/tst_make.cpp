#include "book/bookmessages.h"
#include "book/dmlwriter.h"
#include "cli/makecommand.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString program = QStringLiteral(TARNWICK_MAKE_PATH);

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

bool writeJpeg(const QString &path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    return image.save(path, "JPEG");
}

// Every line on standard error names the program; the tests compare the
// rest of each line.
const QString kPrefix = QStringLiteral("tarnwick-make: ");

QString withoutPrefix(const QString &err, bool *allPrefixed = nullptr)
{
    QString lines;
    bool all = true;
    for (const QString &line : err.split(u'\n', Qt::SkipEmptyParts)) {
        all = all && line.startsWith(kPrefix);
        lines += (line.startsWith(kPrefix) ? line.mid(kPrefix.size()) : line) + u'\n';
    }
    if (allPrefixed)
        *allPrefixed = all;
    return lines;
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err; // without the program's name before each line
    bool prefixed = true;
    QString lastErrorLine() const
    {
        const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.constLast();
    }
};

// Runs the real program, optionally through bash for a file-size limit.
Run runProcess(const QStringList &arguments, const QByteArray &input = QByteArray(), int fileSizeLimitKb = 0)
{
    QProcess process;
    if (fileSizeLimitKb > 0) {
        QStringList bashArguments = {QStringLiteral("-c"),
                                     QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"")
                                         .arg(fileSizeLimitKb),
                                     program};
        process.start(QStringLiteral("bash"), bashArguments + arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = withoutPrefix(QString::fromUtf8(process.readAllStandardError()), &run.prefixed);
    return run;
}

// The page files of a written document, in page order, without ".jpg".
QString writtenPages(const QByteArray &document)
{
    static const QRegularExpression file(QStringLiteral(" file=\"([^\"]*)\\.jpg\""));
    QStringDecoder gbk("GBK");
    QStringList pages;
    for (const QRegularExpressionMatch &m : file.globalMatch(gbk.decode(document)))
        pages.append(m.captured(1));
    return pages.join(u' ');
}

QByteArray be16(int value)
{
    return QByteArray(1, char(value >> 8 & 0xFF)) + char(value & 0xFF);
}

// A JPEG header with that frame marker and component count and an optional
// EXIF orientation; never decoded by the program, only its header read.
QByteArray jpegHeader(int components, uchar frameMarker, int orientation = 0)
{
    QByteArray bytes = "\xFF\xD8"_ba;
    if (orientation > 0) {
        const QByteArray exif = "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01"_ba
            + be16(orientation) + QByteArray(6, '\0');
        bytes += "\xFF\xE1"_ba + be16(int(exif.size()) + 2) + exif;
    }
    QByteArray frame = "\x08"_ba + be16(40) + be16(60) + char(components);
    for (int c = 1; c <= components; ++c)
        frame += char(c) + "\x11\x00"_ba;
    return bytes + "\xFF"_ba + char(frameMarker) + be16(int(frame.size()) + 2) + frame + "\xFF\xD9"_ba;
}

MakeResult runInProcess(QStringList arguments, const QByteArray &input = QByteArray())
{
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    arguments.prepend(QStringLiteral("tarnwick-make"));
    MakeResult result = runMake(arguments, in);
    result.standardError = withoutPrefix(result.standardError);
    return result;
}

} // namespace

class TestMake : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void exitCodes_data();
    void exitCodes();
    void defaultsFromFirstPicture();
    void documentAsGiven();
    void pagesOrder();
    void naturalOrder_data();
    void naturalOrder();
    void like_data();
    void like();
    void fit_data();
    void fit();
    void fitLike();
    void likeReplacesItsDocument();
    void helpAndVersion();
    void checkFailureKeepsOlder();
    void fileSizeLimitKeepsOlder_data();
    void fileSizeLimitKeepsOlder();
    void hostileFolder_data();
    void hostileFolder();
    void fullDiskKeepsOlder();
    void olderDocumentToTrash_data();
    void olderDocumentToTrash();
    void unreadableFolder();
    void fullStandardOutput();
    void hostileRun_data();
    void hostileRun();
    void topLevelTrash_data();
    void topLevelTrash();
    void pageWarnings_data();
    void pageWarnings();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString folder() const { return m_dir->path(); }
    QString document() const { return m_dir->filePath(QStringLiteral("MyEBook.dml")); }
};

void TestMake::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(writeJpeg(m_dir->filePath(QStringLiteral("a.jpg")), 640, 480));
    QVERIFY(writeJpeg(m_dir->filePath(QStringLiteral("b.jpg")), 100, 50));
}

void TestMake::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // For a failed check: the English line naming the option, then the message.
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("lastErrorLine");
    const QString f = QStringLiteral("FOLDER");
    const QString none;
    QTest::newRow("defaults") << QStringList{f} << 0 << none << none;
    QTest::newRow("no folder") << QStringList{} << 2 << none << none;
    QTest::newRow("two folders") << QStringList{f, f} << 2 << none << none;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour"), QStringLiteral("1"), f} << 2 << none
                                    << none;
    QTest::newRow("bad colour") << QStringList{QStringLiteral("--border"), QStringLiteral("#12"), f} << 2 << none
                                << none;
    QTest::newRow("missing folder") << QStringList{f + QStringLiteral("/nope")} << 2 << none << none;
    QTest::newRow("book too big") << QStringList{QStringLiteral("--book-width"), QStringLiteral("2001"), f} << 1
                                  << "--book-width: not between 10 and 2000" << messages::badBookSize();
    QTest::newRow("blank height") << QStringList{QStringLiteral("--book-height"), QStringLiteral(" "), f} << 1
                                  << "--book-height: empty" << messages::mustNotBeEmpty();
    QTest::newRow("left as typed") << QStringList{QStringLiteral("--left"), QStringLiteral("1"), f} << 1
                                   << "--left: the picture runs past the book's right edge"
                                   << messages::leftTooLarge();
    QTest::newRow("left empty") << QStringList{QStringLiteral("--left="), f} << 1 << "--left: empty"
                                << messages::mustNotBeEmpty();
    QTest::newRow("top letters") << QStringList{QStringLiteral("--top"), QStringLiteral("x"), f} << 1
                                 << "--top: not a number" << messages::enterNumber();
    QTest::newRow("picture too wide") << QStringList{QStringLiteral("--picture-width"), QStringLiteral("641"), f}
                                      << 1 << "--picture-width: the picture is wider than the book"
                                      << messages::pictureTooWide();
    QTest::newRow("negative left") << QStringList{QStringLiteral("--left"), QStringLiteral("-5"), f} << 0 << none
                                   << none;
    QTest::newRow("name with slash") << QStringList{QStringLiteral("--name"), QStringLiteral("a/b.dml"), f} << 1
                                     << "--name: not a file name in the folder" << messages::badFileName();
    QTest::newRow("name blank") << QStringList{QStringLiteral("--name"), QStringLiteral("  "), f} << 1
                                << "--name: empty" << messages::mustNotBeEmpty();
}

void TestMake::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, named);
    QFETCH(QString, lastErrorLine);
    arguments.replaceInStrings(QStringLiteral("FOLDER"), folder());
    const Run run = runProcess(arguments);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0) {
        QCOMPARE(run.out, QDir(folder()).absoluteFilePath(QStringLiteral("MyEBook.dml")) + u'\n');
        QVERIFY(QFile::exists(document()));
    } else {
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
        QVERIFY(!QFile::exists(document()));
    }
    const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(run.prefixed);
    if (exitCode == 2)
        QCOMPARE(run.lastErrorLine(), QStringLiteral("Try 'tarnwick-make --help'."));
    if (exitCode == 1) {
        QCOMPARE(lines, (QStringList{named, lastErrorLine}));
    }
}

// The path a script reads must not go missing unnoticed: the document stays,
// the status says the path was lost.
// What a hostile run meets.
enum class Hostility { TwoRunsAtOnce, Signal, SparsePicture, StaleTemporaries };

void TestMake::hostileRun_data()
{
    QTest::addColumn<Hostility>("hostility");
    QTest::addColumn<int>("signal");
    QTest::newRow("two runs at once") << Hostility::TwoRunsAtOnce << 0;
    QTest::newRow("SIGTERM while writing") << Hostility::Signal << SIGTERM;
    QTest::newRow("SIGINT while writing") << Hostility::Signal << SIGINT;
    QTest::newRow("SIGHUP while writing") << Hostility::Signal << SIGHUP;
    QTest::newRow("2 GiB sparse picture") << Hostility::SparsePicture << 0;
    QTest::newRow("temporaries of a killed run") << Hostility::StaleTemporaries << 0;
}

// Runs that meet other runs, signals and files made to stall them. Runs that
// must meet at the document are held there by this test holding the lock they
// take before they replace it; /proc/locks shows when they wait for it.
void TestMake::hostileRun()
{
    QFETCH(Hostility, hostility);
    QFETCH(int, signal);
    const QString dataHome = m_dir->filePath(QStringLiteral("data"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    const auto start = [&](const QStringList &arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(program, arguments);
        return process;
    };
    const auto temporaries = [&] {
        return QDir(folder()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".MyEBook.dml."));
    };
    const auto waitingForLock = [](const std::vector<std::unique_ptr<QProcess>> &runs) {
        QFile locks(QStringLiteral("/proc/locks"));
        if (!locks.open(QIODevice::ReadOnly))
            return false;
        const QByteArray table = locks.readAll();
        return std::all_of(runs.begin(), runs.end(), [&](const auto &run) {
            return QRegularExpression(QStringLiteral("-> FLOCK .* %1 ").arg(run->processId()))
                .match(QString::fromLatin1(table))
                .hasMatch();
        });
    };
    QCOMPARE(runProcess({folder()}).exitCode, 0);
    const QByteArray older = readAll(document());

    switch (hostility) {
    case Hostility::TwoRunsAtOnce:
    case Hostility::Signal: {
        const int lock = ::open(QFile::encodeName(documentLockPath(document())).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX) == 0);
        auto unlock = qScopeGuard([&] { ::close(lock); });
        std::vector<std::unique_ptr<QProcess>> runs;
        runs.push_back(start({QStringLiteral("--background"), QStringLiteral("1"), folder()}));
        if (hostility == Hostility::TwoRunsAtOnce)
            runs.push_back(start({QStringLiteral("--background"), QStringLiteral("2"), folder()}));
        QTRY_VERIFY_WITH_TIMEOUT(waitingForLock(runs), 20000);
        QCOMPARE(temporaries().size(), qsizetype(runs.size()));
        QCOMPARE(readAll(document()), older);
        if (hostility == Hostility::Signal) {
            QCOMPARE(::kill(pid_t(runs.front()->processId()), signal), 0);
            QVERIFY(runs.front()->waitForFinished(60000));
            QCOMPARE(runs.front()->exitStatus(), QProcess::CrashExit);
            QCOMPARE(temporaries(), QStringList());
            QCOMPARE(readAll(document()), older);
            QVERIFY(!QFileInfo::exists(dataHome));
            return;
        }
        unlock.dismiss();
        ::close(lock);
        for (const auto &run : runs) {
            QVERIFY(run->waitForFinished(60000));
            QCOMPARE(run->exitCode(), 0);
        }
        // The last run wins; the first one's document and the original are
        // each in the trash once.
        const QByteArray last = readAll(document());
        QVERIFY(last.contains("papercolor=\"01h\"") || last.contains("papercolor=\"02h\""));
        QByteArrayList trashed;
        const QDir files(dataHome + QStringLiteral("/Trash/files"));
        for (const QString &name : files.entryList(QDir::Files))
            trashed.append(readAll(files.filePath(name)));
        QCOMPARE(trashed.size(), 2);
        QCOMPARE(trashed.count(older), 1);
        QCOMPARE(trashed.count(last), 0);
        QCOMPARE(temporaries(), QStringList());
        return;
    }
    case Hostility::SparsePicture: {
        QFile sparse(m_dir->filePath(QStringLiteral("c.jpg")));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.write("\xFF\xD8", 2) == 2);
        QVERIFY(sparse.resize(qint64(2) << 30));
        sparse.close();
        const Run run = runProcess({QStringLiteral("--fit"), QStringLiteral("contain"), folder()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("cannot read the size of: c.jpg (no size in its header)\n")),
                 qPrintable(run.err));
        QCOMPARE(readAll(document()), older);
        return;
    }
    case Hostility::StaleTemporaries: {
        // Ours and old; then ours but fresh, another user's, not ours.
        const QStringList stale = {QStringLiteral(".MyEBook.dml.k3x9q"), QStringLiteral(".Other.DML.0zz")};
        QStringList kept = {QStringLiteral(".MyEBook.dml.fresh1"), QStringLiteral(".MyEBook.dml.nobody1"),
                            QStringLiteral(".notes.txt.abc"), QStringLiteral(".MyEBook.dml.NotBase36")};
        for (const QString &name : stale + kept) {
            QFile file(m_dir->filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(name.contains(u"fresh")
                    || file.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
        }
        if (::geteuid() != 0 || ::chown(QFile::encodeName(m_dir->filePath(kept.at(1))).constData(), 65534, 65534) != 0)
            QVERIFY(QFile::remove(m_dir->filePath(kept.takeAt(1))));
        QCOMPARE(runProcess({folder()}).exitCode, 0);
        QStringList left = QDir(folder()).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression(u"^\\."_s));
        std::sort(kept.begin(), kept.end());
        std::sort(left.begin(), left.end());
        QCOMPARE(left, kept);
        return;
    }
    }
}

void TestMake::fullStandardOutput()
{
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(program, {folder()});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), int(MakeOutputFailed));
    QVERIFY(QString::fromLocal8Bit(process.readAllStandardError()).contains(u"standard output"));
    QVERIFY(QFile::exists(document()));
}

void TestMake::defaultsFromFirstPicture()
{
    const MakeResult result = runInProcess({folder()});
    QCOMPARE(result.exitCode, 0);
    const QByteArray doc = readAll(document());
    QVERIFY(doc.contains("<DIMENSION width=\"640\" height=\"480\"/>"));
    QVERIFY(doc.contains("left=\"0\" top=\"0\" width=\"640\" height=\"480\""));
    QVERIFY(doc.contains("pagenumber=\"2\" papercolor=\"0FFFFFFh\""));
    QVERIFY(doc.contains("bordercolor=\"00h\""));
    QVERIFY(doc.contains("noborder=\"YES\""));
    QVERIFY(doc.indexOf("bitmapid=\"a.jpg\"") < doc.indexOf("bitmapid=\"b.jpg\""));

    // An unreadable first picture is a usage error unless both sizes are given.
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("0.gif")), "not a picture"));
    QCOMPARE(runInProcess({folder()}).exitCode, 2);
    QCOMPARE(runInProcess({QStringLiteral("--book-width"), QStringLiteral("800"), folder()}).exitCode, 2);
    QCOMPARE(runInProcess({QStringLiteral("--book-width"), QStringLiteral("800"), QStringLiteral("--book-height"),
                           QStringLiteral("600"), folder()})
                 .exitCode,
             0);

    // An empty folder is the empty-list check, not a usage error.
    QTemporaryDir empty;
    const MakeResult none = runInProcess({empty.path()});
    QCOMPARE(none.exitCode, 1);
    QCOMPARE(none.standardError, QStringLiteral("FOLDER: no GIF or JPEG pictures\n") + messages::emptyList() + u'\n');
}

void TestMake::documentAsGiven()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("a.gif")), QByteArray()));
    const MakeResult result = runInProcess({QStringLiteral("--book-width"), QStringLiteral(" 800"),
                                            QStringLiteral("--book-height"), QStringLiteral("600"),
                                            QStringLiteral("--picture-width"), QStringLiteral("10.5"),
                                            QStringLiteral("--picture-height"), QStringLiteral("580"),
                                            QStringLiteral("--left"), QStringLiteral("10"), QStringLiteral("--top"),
                                            QStringLiteral("-10"), QStringLiteral("--background"),
                                            QStringLiteral("#000000"), QStringLiteral("--border"),
                                            QStringLiteral("255"), QStringLiteral("--name"),
                                            QStringLiteral(" Book.dml "), dir.path()});
    QCOMPARE(result.exitCode, 0);
    const QByteArray doc = readAll(dir.filePath(QStringLiteral("Book.dml")));
    QVERIFY(doc.startsWith("\r\n<BOOKHEAD version=\"2.0.2\""));
    QVERIFY(doc.contains("<DIMENSION width=\" 800\" height=\"600\"/>"));
    QVERIFY(doc.contains("<IMAGE bitmapid=\"a.gif\" left=\"10\" top=\"-10\" width=\"10.5\" height=\"580\""));
    QVERIFY(doc.contains("papercolor=\"00h\""));
    QVERIFY(doc.contains("bordercolor=\"0FFh\""));
    QVERIFY(doc.contains("noborder=\"NO\""));
    QVERIFY(doc.endsWith("</PAGE>\r\n"));
}

void TestMake::naturalOrder_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<QByteArray>("dimension");
    const QByteArray nine = "<DIMENSION width=\"30\" height=\"10\"/>";
    const QByteArray ten = "<DIMENSION width=\"20\" height=\"20\"/>";
    // The book takes the size of the first picture in the order asked for.
    QTest::newRow("name order") << QStringList{} << "10 9 a b" << ten;
    QTest::newRow("natural") << QStringList{QStringLiteral("--order"), QStringLiteral("natural")} << "9 10 a b"
                             << nine;
    QTest::newRow("pages win") << QStringList{QStringLiteral("--order=natural"), QStringLiteral("--pages"),
                                              QStringLiteral("-")}
                               << "10 9" << nine;
    QTest::newRow("unknown order") << QStringList{QStringLiteral("--order"), QStringLiteral("numeric")} << QString()
                                   << QByteArray();
    QTest::newRow("twice") << QStringList{QStringLiteral("--order=name"), QStringLiteral("--order=natural")}
                           << QString() << QByteArray();
}

void TestMake::naturalOrder()
{
    QFETCH(QStringList, options);
    QFETCH(QString, pages);
    QFETCH(QByteArray, dimension);
    QTemporaryDir dir;
    QVERIFY(writeJpeg(dir.filePath(QStringLiteral("9.jpg")), 30, 10));
    for (const char *name : {"10.jpg", "a.jpg", "b.jpg"})
        QVERIFY(writeJpeg(dir.filePath(QString::fromLatin1(name)), 20, 20));
    const MakeResult result = runInProcess(options << dir.path(), "10.jpg\n9.jpg\n");
    if (pages.isEmpty()) {
        QCOMPARE(result.exitCode, 2);
        return;
    }
    QCOMPARE(result.exitCode, 0);
    const QByteArray doc = readAll(dir.filePath(QStringLiteral("MyEBook.dml")));
    QStringList written;
    for (qsizetype at = doc.indexOf(" file=\""); at >= 0; at = doc.indexOf(" file=\"", at + 1)) {
        const qsizetype start = at + 7;
        written.append(QString::fromLatin1(doc.mid(start, doc.indexOf(".jpg\"", start) - start)));
    }
    QCOMPARE(written.join(u' '), pages);
    QVERIFY(doc.contains(dimension));
}

void TestMake::like_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("likeText"); // empty: the one written below
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<QStringList>("skipped");
    QTest::addColumn<QByteArrayList>("written");

    const QString like = QStringLiteral("--like=DOC");
    const QStringList gone{QStringLiteral("gone.jpg")};
    const QByteArray dimension = "<DIMENSION width=\"800\" height=\"600\"/>";
    const QByteArray place = "left=\" 50\" top=\"60\" width=\"700\" height=\"500\"";
    const QByteArray colours = "papercolor=\"0FF00h\"";
    const QByteArray border = "bordercolor=\"0FFh\"";
    // c.jpg, the first page, is no picture: the sizes must come from the
    // document, not from the first picture.
    QTest::newRow("document's order and values")
        << QStringList{like} << QByteArray() << 0 << QStringLiteral(u"c 中文 a b p10 p9") << gone
        << QByteArrayList{dimension, place, colours, border, "noborder=\"NO\"", "pagenumber=\"6\""};
    QTest::newRow("the rest in natural order")
        << QStringList{like, QStringLiteral("--order=natural")} << QByteArray() << 0
        << QStringLiteral(u"c 中文 a b p9 p10") << gone << QByteArrayList{dimension};
    // --book-width names the book's width only: the picture keeps its own.
    QTest::newRow("options override what they name")
        << QStringList{like, QStringLiteral("--book-width=900"), QStringLiteral("--top=5"),
                       QStringLiteral("--background=#000000"), QStringLiteral("--border=16711680")}
        << QByteArray() << 0 << QStringLiteral(u"c 中文 a b p10 p9") << gone
        << QByteArrayList{"<DIMENSION width=\"900\" height=\"600\"/>",
                          "left=\" 50\" top=\"5\" width=\"700\" height=\"500\"", "papercolor=\"00h\"",
                          "bordercolor=\"0FF0000h\""};
    QTest::newRow("a check fails after the skips")
        << QStringList{like, QStringLiteral("--picture-width=801")} << QByteArray() << 1 << QString()
        << QStringList{QStringLiteral("gone.jpg"), messages::pictureTooWide()} << QByteArrayList{};

    // Names with folder parts never lead outside FOLDER; control characters
    // are shown, not sent to the terminal.
    const QByteArray hostile = "<PAGEFORMAT papercolor=\"0FFFFFFh\" noborder=\"YES\"/>"
                               "<DIMENSION width='640' height='480'/>"
                               "<PAGE><IMAGE bitmapid=\"x\" left=\"0\" top=\"0\" width=\"640\" height=\"480\"/>"
                               "<BITMAP file=\"../b.jpg\"/></PAGE>"
                               "<PAGE><BITMAP file=\"/tmp/b.jpg\"/></PAGE>"
                               "<PAGE><BITMAP file=\"b\x1b[2J\n.jpg\"/></PAGE>"
                               "<PAGE><IMAGE bitmapid=\"b.jpg\"/></PAGE>"
                               "<page><bitmap FILE='p9.jpg'/></page>";
    QTest::newRow("hostile names")
        << QStringList{like} << hostile << 0 << QStringLiteral(u"b p9 中文 a c p10")
        << QStringList{QStringLiteral("../b.jpg"), QStringLiteral("/tmp/b.jpg"), QStringLiteral("b\\033[2J\\n.jpg")}
        << QByteArrayList{"<DIMENSION width=\"640\" height=\"480\"/>", "noborder=\"YES\""};

    // As the authoring application saves it again: LF line breaks, its own
    // attribute order, elements Tarnwick does not write.
    const QByteArray savedAgain = "<!-- <PAGE> > -->\n<BOOKHEAD editor='DeskTopAuthor'/>\n"
                                  "<PAGEFORMAT noborder='NO' bordercolor=\"0ff00h\"\n  papercolor=\"00h\"/>\n"
                                  "<TEXTBOX width=\"1\" height=\"1\"/>\n"
                                  "<DIMENSION height=\"700\"\n width=\"900\"/>\n"
                                  "<PAGE number=\"1\">\n"
                                  "<IMAGE height=\"650\" width=\"850\" top=\"25\" left=\"20\" bitmapid=\"x.jpg\"/>\n"
                                  "<BITMAP quality=\"100\" file=\"b.jpg\" id=\"x.jpg\"/>\n</PAGE>\n"
                                  "<PAGE number=\"2\">\n<IMAGE left=\"1\"/><BITMAP file=\"a.jpg\"/>\n</PAGE>\n";
    QTest::newRow("saved again")
        << QStringList{like} << savedAgain << 0 << QStringLiteral(u"b a 中文 c p10 p9") << QStringList{}
        << QByteArrayList{"<DIMENSION width=\"900\" height=\"700\"/>",
                          "left=\"20\" top=\"25\" width=\"850\" height=\"650\"", "papercolor=\"00h\"",
                          "bordercolor=\"0FF00h\"", "noborder=\"NO\""};
    QTest::newRow("more pages than a book holds")
        << QStringList{like}
        << "<PAGEFORMAT/><DIMENSION width='640' height='480'/>" + QByteArray("<PAGE><BITMAP file='a.jpg'/>").repeated(32768)
        << 2 << QString() << QStringList{} << QByteArrayList{};
    QTest::newRow("with --pages") << QStringList{like, QStringLiteral("--pages=-")} << QByteArray() << 2
                                  << QString() << QStringList{} << QByteArrayList{};
    QTest::newRow("no such document") << QStringList{QStringLiteral("--like=FOLDER/none.dml")} << QByteArray() << 2
                                      << QString() << QStringList{} << QByteArrayList{};
    QTest::newRow("a folder") << QStringList{QStringLiteral("--like=FOLDER")} << QByteArray() << 2 << QString()
                              << QStringList{} << QByteArrayList{};
    QTest::newRow("refused document")
        << QStringList{like} << QByteArray("<DIMENSION width=\"800\" height=\"600\"/><PAGE><BITMAP file=\"a.jpg\"/>")
        << 2 << QString() << QStringList{} << QByteArrayList{};
}

void TestMake::like()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, likeText);
    QFETCH(int, exitCode);
    QFETCH(QString, pages);
    QFETCH(QStringList, skipped);
    QFETCH(QByteArrayList, written);

    for (const QString &name : {QStringLiteral("c.jpg"), QStringLiteral("p10.jpg"), QStringLiteral("p9.jpg"),
                                QStringLiteral(u"中文.jpg")})
        QVERIFY(writeFile(m_dir->filePath(name), QByteArray()));
    QTemporaryDir elsewhere;
    const QString like = elsewhere.filePath(QStringLiteral("Like.dml"));
    if (likeText.isEmpty()) {
        BookSettings book;
        book.pictureFolder = elsewhere.path() + u'/';
        book.documentName = QStringLiteral("Like.dml");
        book.bookWidth = QStringLiteral("800");
        book.bookHeight = QStringLiteral("600");
        book.pictureWidth = QStringLiteral("700");
        book.pictureHeight = QStringLiteral("500");
        book.pictureLeft = QStringLiteral(" 50");
        book.pictureTop = QStringLiteral("60");
        book.backgroundColour = 0x00FF00;
        book.border = BorderSwitch::On;
        book.borderColour = 0xFF;
        book.pictures = QStringList{QStringLiteral("c.jpg"), QStringLiteral("gone.jpg"), QStringLiteral(u"中文.jpg"),
                                    QStringLiteral("a.jpg")};
        QVERIFY(!saveDocument(book));
    } else {
        QVERIFY(writeFile(like, likeText));
    }

    options.replaceInStrings(QStringLiteral("DOC"), like);
    options.replaceInStrings(QStringLiteral("FOLDER"), folder());
    const Run run = runProcess(options << folder(), "b.jpg\n");
    QCOMPARE(run.exitCode, exitCode);
    QStringList errorLines = run.err.split(u'\n', Qt::SkipEmptyParts);
    if (exitCode == 2) {
        QCOMPARE(errorLines.size(), 2);
        QVERIFY(run.prefixed);
    } else {
        // A failed check names its option on the line before its message.
        if (exitCode == 1)
            errorLines.removeAt(errorLines.size() - 2);
        // Its empty pictures are warned about after the book is written.
        errorLines.removeIf([](const QString &line) { return line.startsWith(u"warning: "); });
        for (QString &line : errorLines)
            line.remove(QStringLiteral("skipped, not in the folder: "));
        QCOMPARE(errorLines, skipped);
    }

    // Only FOLDER/MyEBook.dml is ever written, and only by a run that succeeds.
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Like.dml")});
    const QStringList books = QDir(folder()).entryList({QStringLiteral("*.dml*")}, QDir::Files | QDir::Hidden);
    if (exitCode != 0) {
        QVERIFY(run.out.isEmpty());
        QVERIFY(books.isEmpty());
        return;
    }
    QCOMPARE(books, QStringList{QStringLiteral("MyEBook.dml")});
    QCOMPARE(run.out, document() + u'\n');
    const QByteArray doc = readAll(document());
    QCOMPARE(writtenPages(doc), pages);
    for (const QByteArray &part : std::as_const(written))
        QVERIFY2(doc.contains(part), part.constData());
}

// Each page placed by its own picture: a.jpg is 640 x 480, the book's size,
// b.jpg 100 x 50.
void TestMake::fit_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("unreadablePicture"); // an empty c.jpg beside them
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArrayList>("placesOrLastLines");

    const QByteArray typed = "left=\"0\" top=\"0\" width=\"640\" height=\"480\"";
    QTest::newRow("stretch") << QStringList{} << false << 0 << QByteArrayList{typed, typed};
    QTest::newRow("contain") << QStringList{u"--fit=contain"_s} << false << 0
                             << QByteArrayList{typed, "left=\"0\" top=\"80\" width=\"640\" height=\"320\""};
    QTest::newRow("shrink") << QStringList{u"--fit"_s, u"shrink"_s} << false << 0
                            << QByteArrayList{typed, "left=\"270\" top=\"215\" width=\"100\" height=\"50\""};
    QTest::newRow("stretch reads no picture") << QStringList{u"--fit=stretch"_s, u"--no-check"_s} << true << 0
                                              << QByteArrayList{typed, typed, typed};
    QTest::newRow("unreadable size")
        << QStringList{u"--fit=contain"_s} << true << 1
        << QByteArrayList{"cannot read the size of: c.jpg (not a GIF or JPEG picture)",
                          messages::unreadableSizes().toUtf8(), "c.jpg"};
    QTest::newRow("unknown way") << QStringList{u"--fit=fill"_s} << false << 2
                                 << QByteArrayList{"Try 'tarnwick-make --help'."};
}

void TestMake::fit()
{
    QFETCH(QStringList, options);
    QFETCH(bool, unreadablePicture);
    QFETCH(int, exitCode);
    QFETCH(QByteArrayList, placesOrLastLines);

    if (unreadablePicture)
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("c.jpg")), QByteArray()));
    const Run run = runProcess(options << folder());
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY(!QFile::exists(document()));
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(lines.size() - placesOrLastLines.size()).join(u'\n').toUtf8(), placesOrLastLines.join('\n'));
        return;
    }
    static const QRegularExpression image(QStringLiteral("<IMAGE bitmapid=\"[^\"]*\" ([^/]*) zorder"));
    QByteArrayList places;
    for (const QRegularExpressionMatch &m : image.globalMatch(QString::fromLatin1(readAll(document()))))
        places.append(m.captured(1).toLatin1());
    QCOMPARE(places, placesOrLastLines);
}

// A book made with --fit is made again the same by --like, which a --fit
// given with it overrides.
void TestMake::fitLike()
{
    QVERIFY(writeJpeg(m_dir->filePath(QStringLiteral("c.jpg")), 31, 77));
    const QStringList box{u"--picture-width=501"_s, u"--picture-height=399"_s, u"--left=3"_s, u"--top=40"_s};
    QCOMPARE(runProcess(QStringList{u"--fit=shrink"_s} + box << folder()).exitCode, 0);
    const QByteArray shrunk = readAll(document());
    QVERIFY(!shrunk.contains("left=\"3\" top=\"40\" width=\"501\" height=\"399\""));

    QCOMPARE(runProcess({QStringLiteral("--like=") + document(), folder()}).exitCode, 0);
    QCOMPARE(readAll(document()), shrunk);

    QCOMPARE(runProcess({QStringLiteral("--like=") + document(), u"--fit=stretch"_s, folder()}).exitCode, 0);
    const QByteArray stretched = readAll(document());
    // The box found again is the smallest that places the pages the same:
    // as wide as a.jpg's 501, as tall as its 376 and one more for the parity
    // the centring shows.
    QCOMPARE(stretched.count("left=\"3\" top=\"51\" width=\"501\" height=\"377\""), 3);
}

// The document a run replaces may be the one it takes after.
void TestMake::likeReplacesItsDocument()
{
    QStringList reversed;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        QVERIFY(writeFile(m_dir->filePath(name), QByteArray()));
        reversed.prepend(name);
    }
    reversed << QStringLiteral("b.jpg") << QStringLiteral("a.jpg");
    const Run first = runProcess({QStringLiteral("--pages=-"), QStringLiteral("--book-width=800"),
                                  QStringLiteral("--book-height=600"), QStringLiteral("--picture-width=700"),
                                  QStringLiteral("--picture-height=580"),
                                  QStringLiteral("--left=5"), folder()},
                                 reversed.join(u'\n').toUtf8());
    QCOMPARE(first.exitCode, 0);
    const QByteArray older = readAll(document());
    QVERIFY(older.contains(" top=\"0\" "));

    const Run again = runProcess(
        {QStringLiteral("--like"), document(), QStringLiteral("--top=7"), QStringLiteral("--no-check"), folder()});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(again.err, QString());
    QByteArray expected = older;
    expected.replace(" top=\"0\" ", " top=\"7\" ");
    QCOMPARE(readAll(document()), expected);
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.dml*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("MyEBook.dml")});
}

void TestMake::pagesOrder()
{
    // Han sorts before Latin, so this is the listing's first picture.
    QVERIFY(writeJpeg(m_dir->filePath(QStringLiteral(u"中文.jpg")), 320, 240));
    const QString list = m_dir->filePath(QStringLiteral("pages.txt"));
    QVERIFY(writeFile(list, QStringLiteral(u"b.jpg\r\n中文.jpg\na.jpg\n").toUtf8()));
    QCOMPARE(runInProcess({QStringLiteral("--pages"), list, folder()}).exitCode, 0);
    QByteArray doc = readAll(document());
    const qsizetype b = doc.indexOf("bitmapid=\"b.jpg\"");
    const qsizetype zh = doc.indexOf("bitmapid=\"\xD6\xD0\xCE\xC4.jpg\"");
    const qsizetype a = doc.indexOf("bitmapid=\"a.jpg\"");
    QVERIFY(b > 0 && b < zh && zh < a);
    // Sizes come from the listing's first picture, not the first page.
    QVERIFY(doc.contains("<DIMENSION width=\"320\" height=\"240\"/>"));

    const Run fromStdin = runProcess({QStringLiteral("--pages"), QStringLiteral("-"), folder()}, "b.jpg\n");
    QCOMPARE(fromStdin.exitCode, 0);
    doc = readAll(document());
    QVERIFY(doc.contains("pagenumber=\"1\""));
    QVERIFY(doc.contains("bitmapid=\"b.jpg\""));

    const Run unknown = runProcess({QStringLiteral("--pages"), QStringLiteral("-"), folder()}, "c.jpg\n");
    QCOMPARE(unknown.exitCode, 2);
    QCOMPARE(runInProcess({QStringLiteral("--pages"), m_dir->filePath(QStringLiteral("none")), folder()}).exitCode,
             2);
}

void TestMake::helpAndVersion()
{
    const Run help = runProcess({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    for (const char *option : {"--name", "--book-width", "--book-height", "--picture-width", "--picture-height",
                               "--left", "--top", "--background", "--border", "--pages", "--order", "--like",
                               "--version"})
        QVERIFY2(help.out.contains(QLatin1String(option)), option);
    const Run version = runProcess({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QStringLiteral("tarnwick-make " TARNWICK_VERSION "\n" TARNWICK_LICENCE_NOTICE));
}

void TestMake::checkFailureKeepsOlder()
{
    QVERIFY(writeFile(document(), "older"));
    QCOMPARE(runProcess({QStringLiteral("--top"), QStringLiteral("1"), folder()}).exitCode, 1);
    QCOMPARE(readAll(document()), QByteArray("older"));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral(u"한.jpg")), QByteArray()));
    const Run run = runProcess({folder()});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lastErrorLine(), messages::unwritablePictureName() + QStringLiteral(u"한.jpg"));
    QCOMPARE(readAll(document()), QByteArray("older"));
}

void TestMake::fileSizeLimitKeepsOlder_data()
{
    QTest::addColumn<int>("pages");
    // About 10 KB stays inside the file's write buffer, so only the last
    // flush fails; 300 pages fail in the middle of the writing.
    QTest::newRow("last flush fails") << 20;
    QTest::newRow("a write fails") << 300;
}

void TestMake::fileSizeLimitKeepsOlder()
{
    QFETCH(int, pages);
    // Under a 4 KB file-size limit the writes fail with EFBIG.
    for (int i = 0; i < pages; ++i)
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("page%1.gif").arg(i, 4, 10, QLatin1Char('0'))),
                          QByteArray()));
    QVERIFY(writeFile(document(), "older"));
    const Run run = runProcess({folder()}, QByteArray(), 4);
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.startsWith(messages::cannotWrite() + document() + u'\n'));
    QCOMPARE(readAll(document()), QByteArray("older"));
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.dml*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("MyEBook.dml")});
}

void TestMake::hostileFolder_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // a part of standard error
    const QString f = QStringLiteral("FOLDER");
    const QString like = QStringLiteral("--like");
    const QString likeDocument = QStringLiteral("FOLDER/like.dml");
    QTest::newRow("link to a file outside") << "link" << QStringList{f} << 0 << QString();
    QTest::newRow("dangling link") << "dangling" << QStringList{f} << 0 << QString();
    QTest::newRow("FIFO as --like") << "fifo" << QStringList{like, likeDocument, f} << 2
                                    << QStringLiteral("cannot use FOLDER/like.dml: not a regular file");
    QTest::newRow("17-character left") << "long left" << QStringList{like, likeDocument, f} << 2
                                       << QStringLiteral(u"属性值过长：left");
    QTest::newRow("256-byte page name") << "long page" << QStringList{like, likeDocument, f} << 2
                                        << QStringLiteral(u"属性值过长：file");
    QTest::newRow("32,768 pictures") << "many" << QStringList{f} << 2
                                     << "FOLDER: more than 32,767 pictures";
    QTest::newRow("--pages with 32,768 names") << "many pages" << QStringList{QStringLiteral("--pages=-"), f} << 2
                                               << "--pages: more than 32,767 names";
    QTest::newRow("a 100 MB book") << "huge" << QStringList{QStringLiteral("--left"), QString(100000, u'0'), f}
                                   << 3 << messages::documentTooLarge();
    QTest::newRow("--name of a picture") << "" << QStringList{QStringLiteral("--name"), QStringLiteral("a.jpg"), f}
                                         << 1 << QStringLiteral("--name: a.jpg is a picture\n")
                                                     + messages::nameIsPicture();
    QTest::newRow("control characters in a name")
        << "" << QStringList{QStringLiteral("--like"), QStringLiteral("FOLDER/\x1b[2J\n.dml"), f} << 2
        << "cannot use FOLDER/\\033[2J\\n.dml: ";
}

// Whatever the folder holds, nothing outside it is written and a refused
// run keeps the older document.
void TestMake::hostileFolder()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("target"));
    QVERIFY(writeFile(target, "outside"));
    const auto likeDocument = [this](const QByteArray &image) {
        return writeFile(m_dir->filePath(QStringLiteral("like.dml")),
                         "<PAGEFORMAT/><DIMENSION width=\"640\" height=\"480\"/><PAGE>" + image + "</PAGE>");
    };
    QByteArray input;
    if (setup == u"link" || setup == u"dangling")
        QVERIFY(QFile::link(setup == u"link" ? target : outside.filePath(QStringLiteral("none")), document()));
    else
        QVERIFY(writeFile(document(), "older"));
    if (setup == u"fifo")
        QCOMPARE(mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("like.dml"))).constData(), 0644), 0);
    if (setup == u"long left")
        QVERIFY(likeDocument("<IMAGE bitmapid=\"a.jpg\" left=\"00000000000000000\"/>"));
    if (setup == u"long page")
        QVERIFY(likeDocument("<BITMAP file=\"" + QByteArray(256, 'x') + "\"/>"));
    for (int i = 0; setup == u"many" && i < 32767; ++i)
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("p%1.gif").arg(i, 5, 10, QLatin1Char('0'))), {}));
    for (int i = 0; setup == u"huge" && i < 1000; ++i)
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("p%1.gif").arg(i, 5, 10, QLatin1Char('0'))), {}));
    if (setup == u"many pages")
        input = QByteArray("a.jpg\n").repeated(32768);

    arguments.replaceInStrings(QStringLiteral("FOLDER"), folder());
    const Run run = runProcess(arguments, input);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(QString(error).replace(QStringLiteral("FOLDER"), folder())), qPrintable(run.err));
    QCOMPARE(readAll(target), QByteArray("outside"));
    QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList{QStringLiteral("target")});
    QCOMPARE(QDir(folder()).entryList({QStringLiteral(".*.dml*")}, QDir::Files | QDir::Hidden), QStringList());
    if (exitCode == 0) {
        QVERIFY(!QFileInfo(document()).isSymLink());
        QVERIFY(readAll(document()).startsWith("\r\n<BOOKHEAD"));
    } else {
        QCOMPARE(readAll(document()), QByteArray("older"));
    }
    QCOMPARE(readAll(m_dir->filePath(QStringLiteral("a.jpg"))).left(2), QByteArray("\xff\xd8"));
}

void TestMake::fullDiskKeepsOlder()
{
    QTemporaryDir mountPoint;
    const QByteArray target = QFile::encodeName(mountPoint.path());
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small tmpfs is not permitted here; the file-size limit test covers the write failure");
    const auto unmount = qScopeGuard([&] { ::umount(target.constData()); });
    const QDir disk(mountPoint.path());
    QVERIFY(writeJpeg(disk.filePath(QStringLiteral("a.jpg")), 16, 16));
    for (int i = 0; i < 400; ++i)
        QVERIFY(writeFile(disk.filePath(QStringLiteral("p%1.jpg").arg(i, 4, 10, QLatin1Char('0'))), QByteArray()));
    const QString path = disk.filePath(QStringLiteral("MyEBook.dml"));
    QVERIFY(writeFile(path, "older"));
    const Run run = runProcess({mountPoint.path()});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.err, messages::cannotWrite() + path + u'\n' + qt_error_string(ENOSPC) + u'\n');
    QCOMPARE(readAll(path), QByteArray("older"));
}

void TestMake::olderDocumentToTrash_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("dataHome");   // below the test folder
    QTest::addColumn<int>("fileSizeLimitKb");
    QTest::addColumn<int>("exitCode");
    // The names in the trash's files/ afterwards, the new entry first.
    QTest::addColumn<QStringList>("trashed");
    // What stands in the trash's place beforehand (a link to a folder, a
    // file), and the path the refusal names with its reason.
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("refusal");
    const QStringList none;
    const QString data = QStringLiteral("data");
    const QString doc = QStringLiteral(u"我的 书.dml");
    const QString trash = QStringLiteral("data/Trash");
    QTest::newRow("replaced") << QStringList() << data << 0 << 0 << QStringList{doc} << QString() << QString();
    QTest::newRow("name taken in the trash") << QStringList() << data << 0 << 0
                                             << QStringList{QStringLiteral(u"我的 书 (2).dml"), doc} << QString()
                                             << QString();
    QTest::newRow("--no-trash") << QStringList{QStringLiteral("--no-trash")} << data << 0 << 0 << none << QString()
                                << QString();
    QTest::newRow("write fails") << QStringList() << data << 4 << 3 << none << QString() << QString();
    // A trash that is there but cannot take the document keeps it, and says so.
    QTest::newRow("data folder below a file") << QStringList() << QStringLiteral("a.jpg/data") << 0 << 3 << none
                                              << QString() << QStringLiteral("a.jpg/data: cannot be made");
    QTest::newRow("home trash a link") << QStringList() << data << 0 << 3 << none << QStringLiteral("link:Trash")
                                       << trash + QStringLiteral(": a symbolic link");
    QTest::newRow("home trash a file") << QStringList() << data << 0 << 3 << none << QStringLiteral("file:Trash")
                                       << trash + QStringLiteral(": not a folder");
    QTest::newRow("files/ a file") << QStringList() << data << 0 << 3 << none << QStringLiteral("file:Trash/files")
                                   << trash + QStringLiteral("/files: not a folder");
    QTest::newRow("refused, --no-trash") << QStringList{QStringLiteral("--no-trash")} << data << 0 << 0 << none
                                         << QStringLiteral("file:Trash") << QString();
}

// An older document goes to the trash as a file manager expects it, only
// once the new one stands in its place.
void TestMake::olderDocumentToTrash()
{
    QFETCH(QStringList, options);
    QFETCH(QString, dataHome);
    QFETCH(int, fileSizeLimitKb);
    QFETCH(int, exitCode);
    QFETCH(QStringList, trashed);
    QFETCH(QString, planted);
    QFETCH(QString, refusal);
    const QString name = QStringLiteral(u"我的 书.dml");
    const QString path = m_dir->filePath(name);
    // Enough pages for the written document to pass a 4 KB limit.
    for (int i = 0; i < 300; ++i)
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("p%1.gif").arg(i, 4, 10, QLatin1Char('0'))), QByteArray()));
    const QString trash = m_dir->filePath(dataHome + QStringLiteral("/Trash"));
    if (trashed.size() > 1) {
        QVERIFY(QDir().mkpath(trash + QStringLiteral("/files")));
        QVERIFY(writeFile(trash + QStringLiteral("/files/") + name, "someone else's"));
    }
    QCOMPARE(runProcess({QStringLiteral("--name"), name, folder()}).exitCode, 0);
    const QByteArray older = readAll(path);
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
    if (!planted.isEmpty()) {
        const QString at = m_dir->filePath(dataHome + u'/' + planted.section(u':', 1));
        QVERIFY(QDir().mkpath(QFileInfo(at).path()) && QDir().mkpath(elsewhere));
        QVERIFY(planted.startsWith(u"link") ? QFile::link(elsewhere, at) : writeFile(at, "x"));
    }

    const bool hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(dataHome)));
    const auto restore = qScopeGuard([&] {
        if (hadDataHome)
            qputenv("XDG_DATA_HOME", savedDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    });
    const Run run = runProcess(QStringList{QStringLiteral("--name"), name, QStringLiteral("--background"), QStringLiteral("255")}
                                   + options + QStringList{folder()},
                               QByteArray(), fileSizeLimitKb);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(readAll(path) == older, exitCode != 0);
    if (!refusal.isEmpty()) {
        QCOMPARE(run.err, QStringLiteral("cannot move the older document to the trash: ")
                              + m_dir->filePath(refusal).section(u':', 0, 0) + u':' + refusal.section(u':', 1)
                              + QStringLiteral(" (--no-trash replaces it)\n"));
        QVERIFY(QDir(elsewhere).isEmpty());
    }
    // Nothing of the run is left beside the document.
    QCOMPARE(QDir(folder()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".dml.")), QStringList());
    if (!planted.isEmpty())
        return;
    QCOMPARE(QDir(trash + QStringLiteral("/files")).entryList(QDir::Files), trashed);
    if (trashed.isEmpty()) {
        QVERIFY(QDir(trash + QStringLiteral("/info")).isEmpty());
        return;
    }
    QCOMPARE(readAll(trash + QStringLiteral("/files/") + trashed.first()), older);
    const QStringList info = QString::fromUtf8(readAll(trash + QStringLiteral("/info/") + trashed.first()
                                                       + QStringLiteral(".trashinfo")))
                                 .split(u'\n');
    QCOMPARE(info.value(0), QStringLiteral("[Trash Info]"));
    QCOMPARE(info.value(1), QStringLiteral("Path=") + QString::fromLatin1(QFile::encodeName(folder()))
                                + QStringLiteral("/%E6%88%91%E7%9A%84%20%E4%B9%A6.dml"));
    const QDateTime deleted = QDateTime::fromString(info.value(2).section(u'=', 1), Qt::ISODate);
    QVERIFY2(qAbs(deleted.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(info.value(2)));
}

// A folder the user may enter but not list is reported, not taken as empty.
// Root lists every folder, so the program runs as nobody.
void TestMake::unreadableFolder()
{
    if (geteuid() != 0)
        QSKIP("needs root to run the program as another user");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pictures = dir.filePath(QStringLiteral("closed"));
    QVERIFY(QDir().mkpath(pictures));
    QVERIFY(writeJpeg(pictures + QStringLiteral("/a.jpg"), 20, 10));
    const auto enterOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), enterOnly));
    QVERIFY(QFile::setPermissions(pictures, enterOnly));

    // A copy nobody can reach: the build folder may lie in a private one.
    const QString copy = dir.filePath(QStringLiteral("tarnwick-make"));
    QVERIFY(QFile::copy(program, copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));

    QProcess process;
    process.setChildProcessModifier([] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
    });
    process.start(copy, {pictures});
    QVERIFY2(process.waitForFinished(60000), qPrintable(process.errorString()));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(err.contains(qt_error_string(EACCES)), qPrintable(err));
    QVERIFY(!QFile::exists(pictures + QStringLiteral("/MyEBook.dml")));
}

void TestMake::topLevelTrash_data()
{
    QTest::addColumn<QString>("planted"); // in place of .Trash-UID at the top of the disk
    QTest::addColumn<bool>("asNobody");   // run as nobody, who may not write the disk's top folder
    QTest::addColumn<QString>("refusal");
    QTest::newRow("made at the top") << QString() << false << QString();
    QTest::newRow("another user's") << QStringLiteral("nobody's") << false << QStringLiteral(": another user's folder");
    QTest::newRow("none may be made: replaced") << QString() << true << QString();
}

// A document on another disk than the home trash goes to the trash at that
// disk's top; only a disk where the user may make none replaces it as before.
void TestMake::topLevelTrash()
{
    QFETCH(QString, planted);
    QFETCH(bool, asNobody);
    QFETCH(QString, refusal);
    if (::geteuid() != 0)
        QSKIP("needs root to mount a disk and to run as another user");
    QTemporaryDir mountPoint;
    QVERIFY(QFile::setPermissions(mountPoint.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ExeGroup | QFile::ExeOther));
    const QByteArray target = QFile::encodeName(mountPoint.path());
    // Room for the program's copy: a sanitizer build is over 32 MB.
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256m,mode=0755") != 0)
        QSKIP("mounting a tmpfs is not permitted here");
    const auto unmount = qScopeGuard([&] { ::umount(target.constData()); });
    const QString pictures = mountPoint.filePath(QStringLiteral("pictures"));
    QVERIFY(QDir().mkdir(pictures));
    QVERIFY(writeJpeg(pictures + QStringLiteral("/a.jpg"), 16, 16));
    const QString path = pictures + QStringLiteral("/MyEBook.dml");
    QVERIFY(writeFile(path, "older"));
    const QString copy = mountPoint.filePath(QStringLiteral("tarnwick-make"));
    QVERIFY(QFile::copy(program, copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const uid_t uid = asNobody ? 65534 : 0;
    for (const QString &file : {pictures, pictures + QStringLiteral("/a.jpg"), path})
        QCOMPARE(::chown(QFile::encodeName(file).constData(), uid, uid), 0);
    const QString trash = mountPoint.filePath(QStringLiteral(".Trash-%1").arg(uid));
    if (planted == u"nobody's") {
        QVERIFY(QDir().mkdir(trash));
        QCOMPARE(::chown(QFile::encodeName(trash).constData(), 65534, 65534), 0);
    }

    QProcess process;
    if (asNobody) {
        process.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
        });
    }
    process.start(copy, {pictures});
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), refusal.isEmpty() ? 0 : 3);
    QCOMPARE(readAll(path) == "older", !refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QCOMPARE(err, QStringLiteral("tarnwick-make: cannot move the older document to the trash: ") + trash + refusal
                          + QStringLiteral(" (--no-trash replaces it)\n"));
        return;
    }
    QCOMPARE(readAll(trash + QStringLiteral("/files/MyEBook.dml")), asNobody ? QByteArray("<unreadable>") : "older");
    QCOMPARE(QFileInfo::exists(trash), !asNobody);
}

// After the book is written, one warning per page the book will not show as
// it is, at most 20 named; the exit status stays 0.
void TestMake::pageWarnings_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArrayList>("contents");
    QTest::addColumn<QStringList>("warnings");
    const QString upright = u"; --export writes it upright"_s;
    const QString rgb = u"; --export writes it as an RGB JPEG"_s;
    const QString turned6 = u"warning: t.jpg: the book shows it on its side, turned 90 degrees anticlockwise "
                            "(EXIF orientation 6)"_s + upright;
    const QString cmyk = u"warning: c.jpg: a CMYK JPEG, which the book cannot show"_s + rgb;
    QTest::newRow("nothing to say") << QStringList{} << QStringList{} << QByteArrayList{} << QStringList{};
    QTest::newRow("turned, stretch") << QStringList{} << QStringList{u"t.jpg"_s}
                                     << QByteArrayList{jpegHeader(3, 0xC0, 6)} << QStringList{turned6};
    QTest::newRow("turned, contain") << QStringList{u"--fit=contain"_s} << QStringList{u"t.jpg"_s}
                                     << QByteArrayList{jpegHeader(3, 0xC0, 6)} << QStringList{turned6};
    QTest::newRow("upside down") << QStringList{} << QStringList{u"t.jpg"_s} << QByteArrayList{jpegHeader(3, 0xC0, 3)}
                                 << QStringList{u"warning: t.jpg: the book shows it upside down (EXIF orientation 3)"_s
                                                + upright};
    QTest::newRow("cmyk and arithmetic, shrink")
        << QStringList{u"--fit=shrink"_s} << QStringList{u"c.jpg"_s, u"d.jpg"_s}
        << QByteArrayList{jpegHeader(4, 0xC0), jpegHeader(3, 0xC9)}
        << QStringList{cmyk, u"warning: d.jpg: a lossless, arithmetic, hierarchical or 12-bit JPEG, which the book "
                             "cannot show"_s + rgb};
    QTest::newRow("unreadable, stretch writes it")
        << QStringList{} << QStringList{u"x.jpg"_s} << QByteArrayList{"hello"}
        << QStringList{u"warning: x.jpg: cannot read its size (not a GIF or JPEG picture); the page is written, "
                       "but the book may show nothing there"_s};
    QTest::newRow("--no-check") << QStringList{u"--no-check"_s} << QStringList{u"t.jpg"_s, u"c.jpg"_s, u"x.jpg"_s}
                                << QByteArrayList{jpegHeader(3, 0xC0, 6), jpegHeader(4, 0xC0), "hello"}
                                << QStringList{};
    QStringList many, manyWarnings;
    QByteArrayList manyContents;
    for (int i = 10; i < 10 + 23; ++i) {
        many.append(u"t%1.jpg"_s.arg(i));
        manyContents.append(jpegHeader(3, 0xC0, 8));
        if (i < 30)
            manyWarnings.append(u"warning: t%1.jpg: the book shows it on its side, turned 90 degrees clockwise "
                                "(EXIF orientation 8)"_s.arg(i) + upright);
    }
    manyWarnings.append(u"warning: 3 more pages the book will not show as they are"_s);
    QTest::newRow("23 turned: 20 named") << QStringList{} << many << manyContents << manyWarnings;
}

void TestMake::pageWarnings()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, names);
    QFETCH(QByteArrayList, contents);
    QFETCH(QStringList, warnings);
    for (qsizetype i = 0; i < names.size(); ++i)
        QVERIFY(writeFile(m_dir->filePath(names.at(i)), contents.at(i)));
    const MakeResult result = runInProcess(options << folder());
    QCOMPARE(result.standardError.split(u'\n', Qt::SkipEmptyParts), warnings);
    QCOMPARE(int(result.exitCode), 0);
    QCOMPARE(result.standardOutput, document() + u'\n');
    QCOMPARE(writtenPages(readAll(document())).count(u' ') + 1, 2 + names.size());
}

QTEST_GUILESS_MAIN(TestMake)
#include "tst_make.moc"
