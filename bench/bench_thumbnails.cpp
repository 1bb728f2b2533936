// Board thumbnails of 4000 x 3000 photos (files in the page cache): how many
// Tarnwick makes per second on one thread, cold, against GNOME's thumbnail
// factory on the same files (through python3-gi, timed inside Python so that
// its start-up does not count); and the time until the loader has delivered
// the ~40 thumbnails of a full 1280 x 1024 board, cold and with the
// thumbnails already in the cache.

#include "pictures/thumbnailcache.h"
#include "pictures/thumbnailloader.h"

#include "bench/benchphoto.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace tarnwick;

namespace {

constexpr int kBoardTiles = 40;
// A board tile of about 150 pixels asks for the large size.
constexpr int kTileBucket = 256;

// One photo under kBoardTiles names.
const QStringList &photos()
{
    static QTemporaryDir dir;
    static const QStringList paths = [] {
        QStringList list;
        const QString first = dir.filePath(QStringLiteral("photo0.jpg"));
        if (!dir.isValid() || !makeBenchPhoto().save(first, "JPEG", 90))
            qFatal("cannot write the test photos");
        list << first;
        for (int i = 1; i < kBoardTiles; ++i) {
            list << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
            if (!QFile::copy(first, list.last()))
                qFatal("cannot copy the test photo");
        }
        return list;
    }();
    return paths;
}

void BM_TarnwickThumbnailsCold(benchmark::State &state)
{
    const QStringList &paths = photos();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir cache;
        const ThumbnailCache thumbnails(cache.path());
        state.ResumeTiming();
        for (const QString &path : paths) {
            if (thumbnails.obtain(path, 128).image.isNull())
                state.SkipWithError("no thumbnail");
        }
    }
    state.SetItemsProcessed(state.iterations() * paths.size());
}

const char kGnomeScript[] = R"(
import os, sys, time
import gi
gi.require_version("GnomeDesktop", "3.0")
from gi.repository import GLib, GnomeDesktop
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.NORMAL)
start = time.perf_counter()
for path in sys.argv[1:]:
    uri = GLib.filename_to_uri(path)
    mtime = int(os.stat(path).st_mtime)
    factory.save_thumbnail(factory.generate_thumbnail(uri, "image/jpeg", None), uri, mtime, None)
print(time.perf_counter() - start)
)";

void BM_GnomeThumbnailsCold(benchmark::State &state)
{
    const QStringList &paths = photos();
    for (auto _ : state) {
        QTemporaryDir cache;
        QProcess python;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
        python.setProcessEnvironment(environment);
        python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromUtf8(kGnomeScript)} + paths);
        bool isNumber = false;
        const double seconds = python.waitForFinished(-1) && python.exitCode() == 0
            ? python.readAllStandardOutput().trimmed().toDouble(&isNumber)
            : 0;
        if (!isNumber) {
            state.SkipWithError("GNOME's thumbnail factory did not run (python3-gi, gir1.2-gnomedesktop-3.0)");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(state.iterations() * paths.size());
}

// The time until every tile of a full board has its thumbnail.
double fillBoard(const ThumbnailCache &cache, int workers)
{
    ThumbnailLoader loader(cache, 64 << 20, workers);
    QEventLoop loop;
    int arrived = 0;
    const auto count = [&] {
        if (++arrived == kBoardTiles)
            loop.quit();
    };
    QObject::connect(&loader, &ThumbnailLoader::thumbnailReady, &loop, count);
    QObject::connect(&loader, &ThumbnailLoader::thumbnailFailed, &loop, count);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kBoardTiles; ++i)
        loader.request(photos()[i], kTileBucket, kBoardTiles - i);
    loop.exec();
    return clock.nsecsElapsed() / 1e9;
}

void BM_BoardCold(benchmark::State &state)
{
    photos();
    for (auto _ : state) {
        QTemporaryDir cache;
        state.SetIterationTime(fillBoard(ThumbnailCache(cache.path()), int(state.range(0))));
    }
}

void BM_BoardCached(benchmark::State &state)
{
    QTemporaryDir cache;
    const ThumbnailCache thumbnails(cache.path());
    for (const QString &path : photos())
        thumbnails.obtain(path, kTileBucket);
    for (auto _ : state)
        state.SetIterationTime(fillBoard(thumbnails, ThumbnailLoader::defaultWorkerCount()));
}

} // namespace

BENCHMARK(BM_TarnwickThumbnailsCold)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_GnomeThumbnailsCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_BoardCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Arg(1)->Arg(2)->Arg(4)->MinTime(3);
BENCHMARK(BM_BoardCached)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
