// The book folder export against a shell loop doing the same work on the same
// files (jpegtran for the turned photos, cp for the others), side by side in
// one run on one file system; and the export's peak resident memory with
// downscaling on.
#include "benchphoto.h"
#include "eventwait.h"

#include "export/bookexport.h"
#include "export/exporttask.h"
#include "export/picturefacts.h"
#include "queue/workqueue.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

using namespace tarnwick;

namespace {

QByteArray encode(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

// An EXIF block holding only the orientation, as the first block after SOI.
QByteArray withOrientation(QByteArray jpeg, int orientation)
{
    QByteArray tiff("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 26);
    tiff[19] = char(orientation);
    const QByteArray block = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(block.size()) + 2;
    jpeg.insert(2, QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + block);
    return jpeg;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Peak resident memory since the last reset, in MB.
double peakResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

std::optional<ExportFailure> runExport(const BookSettings &book, const QString &target, int maxScale)
{
    WorkQueue queue;
    return ExportTask::runAndWait(std::make_unique<BookExport>(book, target, maxScale, readExportFacts), queue);
}

// As the window runs it: the task on a queue, this thread turning its event
// loop; how long the loop waited at most goes to wait.
std::optional<ExportFailure> runExportInLoop(const BookSettings &book, const QString &target,
                                             LongestEventWait &wait)
{
    WorkQueue queue;
    ExportTask task(std::make_unique<BookExport>(book, target, BookExport::kNoScale, readExportFacts), queue);
    QEventLoop loop;
    QObject::connect(&task, &ExportTask::finished, &loop, &QEventLoop::quit);
    wait.restart();
    task.start();
    if (!task.isFinished())
        loop.exec();
    wait.stop();
    return task.failure();
}

// 300 phone photos of 4000 x 3000, about 4 MB, every third stored turned (6).
void BM_ExportAgainstShell(benchmark::State &state)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-export-XXXXXX"));
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QDir().mkdir(pictures);
    const QByteArray photo = encode(makeBenchPhoto(QSize(4000, 3000), 20), 90);
    const QByteArray turned = withOrientation(photo, 6);
    BookSettings book;
    book.pictureFolder = pictures + u'/';
    book.setBookSize(QStringLiteral("1024"), QStringLiteral("768"));
    QString script = QStringLiteral("set -e; cd '%1'; mkdir \"$1\"; ").arg(pictures);
    QStringList plain;
    QStringList rotated;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        writeFile(pictures + u'/' + name, i % 3 == 0 ? turned : photo);
        (i % 3 == 0 ? rotated : plain).append(name);
        book.pictures.append(name);
    }
    // 3000 is not a multiple of the 16-pixel blocks: -perfect refuses, -trim as the export.
    script += QStringLiteral("for f in %1; do jpegtran -trim -rotate 90 -copy all \"$f\" > \"$1/$f\"; done; "
                             "for f in %2; do cp \"$f\" \"$1/$f\"; done")
                  .arg(rotated.join(u' '), plain.join(u' '));
    double exportSeconds = 0;
    double shellSeconds = 0;
    double longestWait = 0;
    double longestWaitCpu = 0;
    double shellWait = 0;
    int run = 0;
    for (auto _ : state) {
        const QString exportTarget = dir.filePath(QStringLiteral("export-%1").arg(run));
        const QString shellTarget = dir.filePath(QStringLiteral("shell-%1").arg(run));
        ++run;
        QElapsedTimer timer;
        timer.start();
        LongestEventWait wait;
        if (const auto failure = runExportInLoop(book, exportTarget, wait))
            state.SkipWithError(qPrintable(failure->reason));
        exportSeconds += timer.nsecsElapsed() / 1e9;
        if (wait.longestMs() > longestWait) {
            longestWait = wait.longestMs();
            longestWaitCpu = wait.longestCpuMs();
        }
        timer.restart();
        // The same probe while the shell does the work: how long this
        // machine keeps an idle event loop waiting anyway.
        QProcess shell;
        QEventLoop shellLoop;
        QObject::connect(&shell, &QProcess::finished, &shellLoop, &QEventLoop::quit);
        wait.restart();
        shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), script, QStringLiteral("bash"), shellTarget});
        shellLoop.exec();
        wait.stop();
        shellWait = std::max(shellWait, wait.longestMs());
        if (shell.exitCode() != 0)
            state.SkipWithError(shell.readAllStandardError().constData());
        shellSeconds += timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        QDir(exportTarget).removeRecursively();
        QDir(shellTarget).removeRecursively();
    }
    state.counters["export_s"] = exportSeconds / run;
    state.counters["shell_s"] = shellSeconds / run;
    state.counters["ratio"] = exportSeconds / shellSeconds;
    state.counters["longest_wait_ms"] = longestWait;
    state.counters["wait_cpu_ms"] = longestWaitCpu;
    state.counters["shell_wait_ms"] = shellWait;
    state.counters["photo_MB"] = photo.size() / 1e6;
    // Every third picture turned, in both.
    int turnedCount = 0;
    for (const QString &name : QDir(dir.filePath(QStringLiteral("album"))).entryList(QDir::Files))
        turnedCount += rotated.contains(name);
    state.counters["turned"] = turnedCount;
}
BENCHMARK(BM_ExportAgainstShell)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

// Photos of 6000 x 4000 with downscaling on (twice the 1024 x 768 page):
// each is decoded scaled, so the peak stays far below one full-size photo
// per worker. The sources are hard links to one file, written once.
void BM_ExportMemory(benchmark::State &state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-export-XXXXXX"));
    const QString pictures = dir.filePath(QStringLiteral("album"));
    QDir().mkdir(pictures);
    const QString first = pictures + QStringLiteral("/IMG_0000.jpg");
    writeFile(first, withOrientation(encode(makeBenchPhoto(QSize(6000, 4000), 20), 90), 1));
    BookSettings book;
    book.pictureFolder = pictures + u'/';
    book.setBookSize(QStringLiteral("1024"), QStringLiteral("768"));
    book.pictures.append(QStringLiteral("IMG_0000.jpg"));
    for (int i = 1; i < count; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(first).constData(), QFile::encodeName(pictures + u'/' + name).constData()) != 0)
            qFatal("cannot link");
        book.pictures.append(name);
    }
    double peak = 0;
    int run = 0;
    for (auto _ : state) {
        const QString target = dir.filePath(QStringLiteral("export-%1").arg(run++));
        resetPeakResident();
        if (const auto failure = runExport(book, target, 2))
            state.SkipWithError(qPrintable(failure->reason));
        peak = std::max(peak, peakResidentMb());
        QDir(target).removeRecursively();
    }
    state.counters["peak_rss_MB"] = peak;
    state.counters["photos"] = count;
}
BENCHMARK(BM_ExportMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
