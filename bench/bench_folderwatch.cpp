// The folder's watch in the window, offscreen, with the page board open
// (argument 1) or not (0): a folder
// of 32,667 listed JPEGs (800 x 600, hard links to one picture, in the page
// cache) gets 100 new ones, copied in by another thread one every 5 ms, so
// that the list reaches its bound of 32,767.
//
// BM_WatchHundredNew: from the last new file written to the list showing all
// 100 (shown_ms), and the window's longest event wait from the first file
// written until half a second after they are shown, while their sizes are
// read and the board paints them (longest_wait_ms, with the window thread's
// own CPU time in it).
#include "app/frmmain.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "board/frmpageboard.h"
#include "list/picturelist.h"
#include "session/booksession.h"

#include "bench/benchphoto.h"
#include "bench/eventwait.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include <unistd.h>

using namespace tarnwick;

namespace {

constexpr int kListed = 32667;
constexpr int kNew = 100;
constexpr int kWriteEveryMs = 5;
constexpr int kGiveUpMs = 20000;

QByteArray &pictureBytes()
{
    static QByteArray bytes = [] {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        if (!makeBenchPhoto(QSize(800, 600)).save(path, "JPEG", 90))
            qFatal("cannot write the benchmark picture");
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    return bytes;
}

const QString &listedFolder()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString original = dir.filePath(QStringLiteral("original.jpg"));
        QFile file(original);
        if (!file.open(QIODevice::WriteOnly) || file.write(pictureBytes()) != pictureBytes().size())
            qFatal("cannot write the benchmark picture");
        file.close();
        const QByteArray from = QFile::encodeName(original);
        for (int i = 0; i < kListed; ++i) {
            const QString name = QStringLiteral("page%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
            if (::link(from.constData(), QFile::encodeName(dir.filePath(name)).constData()) != 0)
                qFatal("cannot link the benchmark folder");
        }
        QFile::remove(original);
        return dir.path();
    }();
    return path;
}

double loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0).toDouble() : -1;
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString newName(int i)
{
    return QStringLiteral("/new%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
}

void BM_WatchHundredNew(benchmark::State &state)
{
    const QString &folder = listedFolder();
    double shownMs = 0;
    double longest = 0;
    double longestCpu = 0;
    for (auto _ : state) {
        QTemporaryDir cache;
        QTemporaryDir settings;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        QtPlatform platform;
        auto window = std::make_unique<frmMain>(platform, settings.filePath(QStringLiteral("Vellicor.ini")));
        window->show();
        window->openPath(folder);
        if (state.range(0) == 1) {
            for (QAction *action : window->findChildren<QAction *>())
                if (action->text() == QStringLiteral(u"页面总览(&P)"))
                    action->trigger();
        }
        auto *session = window->findChild<BookSession *>();
        PictureList &list = session->pictures();
        // The watch's first reading, the sizes and the board's first paint go first.
        bool read = false;
        QObject::connect(&session->folderWatch(), &FolderWatch::read, window.get(), [&read] { read = true; });
        QElapsedTimer settling;
        settling.start();
        while ((!read || session->sizes().isReading()) && settling.elapsed() < kGiveUpMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (!read || list.names().size() != kListed) {
            state.SkipWithError("the folder was not listed and read");
            break;
        }
        // The pictures linked a moment ago are read once more while new.
        runEventLoopFor(2500);

        LongestEventWait wait;
        QElapsedTimer clock;
        std::atomic<qint64> lastWritten{-1};
        clock.start();
        std::thread writer([&] {
            for (int i = 0; i < kNew; ++i) {
                QFile file(folder + newName(i));
                if (!file.open(QIODevice::WriteOnly) || file.write(pictureBytes()) != pictureBytes().size())
                    qFatal("cannot write a new picture");
                file.close();
                lastWritten = clock.nsecsElapsed();
                std::this_thread::sleep_for(std::chrono::milliseconds(kWriteEveryMs));
            }
        });
        qint64 shown = -1;
        while (shown < 0 && clock.elapsed() < kGiveUpMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (list.names().size() == kListed + kNew)
                shown = clock.nsecsElapsed();
        }
        writer.join();
        runEventLoopFor(500);
        wait.stop();
        if (shown < 0) {
            state.SkipWithError("the new pictures were not shown");
            break;
        }
        shownMs = std::max(shownMs, double(shown - lastWritten) / 1e6);
        longest = std::max(longest, wait.longestMs());
        longestCpu = std::max(longestCpu, wait.longestCpuMs());
        window.reset();
        for (int i = 0; i < kNew; ++i)
            QFile::remove(folder + newName(i));
    }
    state.counters["shown_ms"] = shownMs;
    state.counters["longest_wait_ms"] = longest;
    state.counters["longest_wait_cpu_ms"] = longestCpu;
    state.counters["load"] = loadAverage();
}

BENCHMARK(BM_WatchHundredNew)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
