// Reading picture sizes for placement: the header reader on one thread and on
// a pool, against ImageMagick's `identify -ping` over the same files, and
// `tarnwick-make --fit contain` against the stretch run of the same folder.
// Folders are made once per run in the page cache; TARNWICK_BENCH_JPEGS and
// TARNWICK_BENCH_GIFS change their sizes (32,767 and 2,000 by default).
#include "facts/pictureheader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace tarnwick;

namespace {

int countFromEnvironment(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

struct Folder
{
    QTemporaryDir dir;
    QStringList names;
    QString path() const { return dir.path() + u'/'; }
};

void fill(Folder &folder, const QByteArray &bytes, const QString &pattern, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString name = pattern.arg(i, 5, 10, QLatin1Char('0'));
        QFile file(folder.dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the benchmark folder");
        folder.names.append(name);
    }
}

// 32,767 photos of 1600 x 1200 (about 30 KB each).
const Folder &jpegFolder()
{
    static Folder folder;
    static const bool made = [] {
        QImage image(1600, 1200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QFile file(folder.dir.filePath(QStringLiteral("template")));
        image.save(&file, "JPEG");
        file.close();
        file.open(QIODevice::ReadOnly);
        fill(folder, file.readAll(), QStringLiteral("page%1.jpg"), countFromEnvironment("TARNWICK_BENCH_JPEGS", 32767));
        file.remove();
        return true;
    }();
    Q_UNUSED(made);
    return folder;
}

// Animated GIFs of 2 MB: a 400 x 300 screen and as many small frames as fit.
const Folder &gifFolder()
{
    static Folder folder;
    static const bool made = [] {
        QByteArray bytes("GIF89a\x90\x01\x2c\x01\x80\x00\x00\x00\x00\x00\xff\xff\xff", 19);
        // Each frame one pixel, its data 4 KB of LZW clear codes (3 bits each)
        // and the end code.
        const QByteArray frame("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02", 11);
        const QByteArray clears = QByteArray(1, char(255)) + QByteArray("\x24\x49\x92", 3).repeated(85);
        while (bytes.size() < 2 * 1024 * 1024)
            bytes += frame + clears.repeated(16) + QByteArray("\x01\x05\x00", 3);
        bytes += ';';
        fill(folder, bytes, QStringLiteral("anim%1.gif"), countFromEnvironment("TARNWICK_BENCH_GIFS", 2000));
        return true;
    }();
    Q_UNUSED(made);
    return folder;
}

void readHeaders(benchmark::State &state, const Folder &folder)
{
    const int threads = int(state.range(0));
    for (auto _ : state) {
        const std::vector<PictureHeader> headers = readPictureHeaders(folder.path(), folder.names, threads);
        if (!headers.front().size())
            state.SkipWithError("no size read");
    }
    state.counters["pictures"] = double(folder.names.size());
}

void BM_jpegHeaders(benchmark::State &state) { readHeaders(state, jpegFolder()); }
void BM_gifHeaders(benchmark::State &state) { readHeaders(state, gifFolder()); }

// A whole process over a folder, timed from outside.
double runSeconds(const QString &program, const QStringList &arguments, const QString &workingDirectory = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void identify(benchmark::State &state, const Folder &folder)
{
    const QStringList arguments = QStringList{QStringLiteral("-ping"), QStringLiteral("-format"),
                                              QStringLiteral("%w %h\n")}
        + folder.names;
    for (auto _ : state)
        state.SetIterationTime(runSeconds(QStringLiteral("identify"), arguments, folder.dir.path()));
}

void BM_jpegIdentify(benchmark::State &state) { identify(state, jpegFolder()); }
void BM_gifIdentify(benchmark::State &state) { identify(state, gifFolder()); }

#ifdef TARNWICK_MAKE_PATH
// tarnwick-make with each way of placing, over the JPEG folder or the GIF one.
void make(benchmark::State &state, const Folder &folder, const char *fit)
{
    const QStringList arguments{QStringLiteral("--fit=%1").arg(QLatin1String(fit)),
                                QStringLiteral("--name=bench.dml"), folder.dir.path()};
    for (auto _ : state)
        state.SetIterationTime(runSeconds(QStringLiteral(TARNWICK_MAKE_PATH), arguments));
}

void BM_jpegMakeStretch(benchmark::State &state) { make(state, jpegFolder(), "stretch"); }
void BM_jpegMakeContain(benchmark::State &state) { make(state, jpegFolder(), "contain"); }
void BM_gifMakeStretch(benchmark::State &state) { make(state, gifFolder(), "stretch"); }
void BM_gifMakeContain(benchmark::State &state) { make(state, gifFolder(), "contain"); }

BENCHMARK(BM_jpegMakeStretch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_jpegMakeContain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_gifMakeStretch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_gifMakeContain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

} // namespace

BENCHMARK(BM_jpegHeaders)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_gifHeaders)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_jpegIdentify)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_gifIdentify)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
