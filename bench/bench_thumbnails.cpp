// Board thumbnails of 4000 x 3000 photos (files in the page cache): how many
// Tarnwick makes per second on one thread, cold, against GNOME's thumbnail
// factory on the same files (through python3-gi, timed inside Python so that
// its start-up does not count); and the time until every one of the ~40
// tiles of a full 1280 x 1024 board has a picture, cold and with the
// thumbnails already in the cache, for the noisy photo with the thumbnail a
// camera stores in its EXIF block and without one and for an ordinary photo,
// and until every tile has its own thumbnail (a counter, with the rate of
// making them).

#include "thumbnails/thumbnailcache.h"
#include "thumbnails/thumbnailloader.h"
#include "queue/workqueue.h"

#include "bench/benchphoto.h"
#include "tests/cameraphoto.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

using namespace tarnwick;

namespace {

constexpr int kBoardTiles = 40;
// A board tile of about 150 pixels asks for the large size.
constexpr int kTileBucket = 256;

// The board's pictures: the noisy photo of 7.4 MB, the same as a camera
// writes it (with its small thumbnail in an EXIF block), and an ordinary
// photo of 3.5 MB without one.
enum PhotoKind { Noisy, Camera, Ordinary };

// One photo of the kind under kBoardTiles names.
const QStringList &photos(int kind = Noisy)
{
    static QTemporaryDir dir;
    const auto make = [](const QString &prefix, int noiseLevel, bool withThumbnail) {
        const QImage photo = makeBenchPhoto(QSize(4000, 3000), noiseLevel);
        QByteArray jpeg = cameraphoto::jpegBytes(photo, 90);
        if (withThumbnail) {
            const QImage small = photo.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            jpeg = cameraphoto::withExif(jpeg, cameraphoto::exifBlock(cameraphoto::jpegBytes(small, 85)));
        }
        QStringList list;
        for (int i = 0; i < kBoardTiles; ++i) {
            list << dir.filePath(prefix + QString::number(i) + QStringLiteral(".jpg"));
            QFile file(list.last());
            if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
                qFatal("cannot write the test photos");
        }
        return list;
    };
    switch (kind) {
    case Camera: {
        static const QStringList cameras = make(QStringLiteral("camera"), 64, true);
        return cameras;
    }
    case Ordinary: {
        static const QStringList ordinary = make(QStringLiteral("ordinary"), 16, false);
        return ordinary;
    }
    default: {
        static const QStringList noisy = make(QStringLiteral("photo"), 64, false);
        return noisy;
    }
    }
}

void BM_TarnwickThumbnailsCold(benchmark::State &state)
{
    const QStringList &paths = photos(int(state.range(0)));
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
    const QStringList &paths = photos(int(state.range(0)));
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

struct BoardTimes
{
    double shown = 0;   // every tile has a picture, rough or its own
    double own = 0;     // every tile has its own thumbnail
};

BoardTimes fillBoard(const ThumbnailCache &cache, int workers, int kind)
{
    WorkQueue queue(workers);
    ThumbnailLoader loader(cache, 64 << 20, queue);
    QEventLoop loop;
    QSet<QString> shown;
    int own = 0;
    BoardTimes times;
    QElapsedTimer clock;
    const auto arrived = [&](const QString &path, bool rough) {
        shown.insert(path);
        if (shown.size() == kBoardTiles && times.shown == 0)
            times.shown = clock.nsecsElapsed() / 1e9;
        if (!rough && ++own == kBoardTiles) {
            times.own = clock.nsecsElapsed() / 1e9;
            loop.quit();
        }
    };
    QObject::connect(&loader, &ThumbnailLoader::thumbnailReady, &loop,
                     [&](const QString &path, int bucket) { arrived(path, loader.isRough(path, bucket)); });
    QObject::connect(&loader, &ThumbnailLoader::thumbnailFailed, &loop,
                     [&](const QString &path) { arrived(path, false); });
    clock.start();
    for (int i = 0; i < kBoardTiles; ++i)
        loader.request(photos(kind)[i], kTileBucket, kBoardTiles - i);
    loop.exec();
    return times;
}

// Arguments: workers, the kind of photo.
void BM_BoardCold(benchmark::State &state)
{
    const int kind = int(state.range(1));
    photos(kind);
    double own = 0;
    for (auto _ : state) {
        QTemporaryDir cache;
        const BoardTimes times = fillBoard(ThumbnailCache(cache.path()), int(state.range(0)), kind);
        state.SetIterationTime(times.shown);
        own += times.own;
    }
    state.counters["own_ms"] = own * 1e3 / double(state.iterations());
    state.counters["own_per_s"] = kBoardTiles * double(state.iterations()) / own;
}

void BM_BoardCached(benchmark::State &state)
{
    QTemporaryDir cache;
    const ThumbnailCache thumbnails(cache.path());
    for (const QString &path : photos())
        thumbnails.obtain(path, kTileBucket);
    for (auto _ : state)
        state.SetIterationTime(fillBoard(thumbnails, WorkQueue::defaultThreadCount(), Noisy).shown);
}

} // namespace

// Argument: the kind of photo.
BENCHMARK(BM_TarnwickThumbnailsCold)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3)->Arg(Noisy)->Arg(Ordinary);
BENCHMARK(BM_GnomeThumbnailsCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Arg(Noisy)->Arg(Ordinary);
BENCHMARK(BM_BoardCold)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->ArgsProduct({{1, 2, 4}, {Noisy, Camera, Ordinary}})
    ->ArgNames({"workers", "photo"})
    // Fixed: the time counted stops long before a camera board's run ends.
    ->Iterations(3);
BENCHMARK(BM_BoardCached)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
