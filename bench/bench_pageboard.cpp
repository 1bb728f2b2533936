// The page board opened from a main window over a listed folder, offscreen,
// at 1280 x 1024 with the default tile size, each run with a thumbnail cache
// of its own (XDG_CACHE_HOME points at a new temporary folder), so every run
// is cold and the user's cache is left alone.
//
// BM_BoardEventWaitCold: the window's longest event wait while the
// thumbnails of 4000 x 3000 photos are made, until every tile in view has its
// thumbnail; with the argument, the board is paged down that many times,
// once every 300 ms, while they are made.
//
// BM_BoardMemoryScrolledThrough: resident memory after paging through 32,767
// entries (800 x 600 JPEGs) from the first to the last, one viewport at a
// time, the event loop running the argument's milliseconds at each step so
// that the tiles in view are asked for and some of them made. The peak is
// reset just before the board opens, so it is the board's run alone.
//
// BM_BoardFactsBatches: the window thread's work per batch of 64 picture
// sizes while the board is open over 32,767 entries (as the size reader
// delivers them, in list order): recording the batch and the repaint it
// causes. Arg 0: one call per batch; 1: one call per picture.
//
// BM_BoardDragAcross300: a drag of the first tile held at the board's bottom
// edge until the last of 300 tiles (photos of 800 x 600) is in view, then
// dropped after it: the time from the hold to the drop, and the window's
// longest event wait meanwhile. The offscreen platform cannot run the real
// drag, so the board is handed the pointer as its drag events do.
//
// The folders are hard links to one picture, in the page cache.
#include "app/frmmain.h"
#include "board/frmpageboard.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "list/picturelist.h"
#include "session/booksession.h"
#include "board/edgescroller.h"
#include "board/pageboardview.h"
#include "thumbnails/thumbnailloader.h"

#include "bench/benchphoto.h"
#include "bench/eventwait.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>

#include <unistd.h>

using namespace tarnwick;

namespace {

const QSize kBoardSize(1280, 1024);
constexpr int kPhotoCount = 100;
constexpr int kEntryCount = 32767;
constexpr int kPageDownEveryMs = 300;
constexpr int kGiveUpMs = 120000;

// A folder of count hard links to one JPEG of this picture.
QString linkedFolder(QTemporaryDir &dir, const QImage &picture, int count)
{
    const QString original = dir.filePath(QStringLiteral("original.jpg"));
    if (!dir.isValid() || !picture.save(original, "JPEG", 90))
        qFatal("cannot write the benchmark picture");
    const QByteArray from = QFile::encodeName(original);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("page%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        if (::link(from.constData(), QFile::encodeName(dir.filePath(name)).constData()) != 0)
            qFatal("cannot link the benchmark folder");
    }
    QFile::remove(original);
    return dir.path();
}

const QString &photoFolder()
{
    static QTemporaryDir dir;
    static const QString path = linkedFolder(dir, makeBenchPhoto(), kPhotoCount);
    return path;
}

const QString &dragFolder()
{
    static QTemporaryDir dir;
    static const QString path = linkedFolder(dir, makeBenchPhoto(QSize(800, 600)), 300);
    return path;
}

const QString &entryFolder()
{
    static QTemporaryDir dir;
    static const QString path = linkedFolder(dir, makeBenchPhoto(QSize(800, 600)), kEntryCount);
    return path;
}

// A field of /proc/self/status in MB.
double statusMb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

void resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
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

// A main window over a listed folder with a settings folder and a thumbnail
// cache of its own, the board's stored size 1280 x 1024.
class BoardSession
{
public:
    explicit BoardSession(const QString &folder)
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QSettings stored(m_settings.filePath(QStringLiteral("tarnwick/board.ini")), QSettings::IniFormat);
        stored.setValue(QStringLiteral("board/size"), kBoardSize);
        stored.sync();
        m_window.show();
        m_window.openPath(folder);
        runEventLoopFor(0);
    }

    // Opens the board as its menu entry does; null unless it shows at the board's size.
    frmPageBoard *openBoard()
    {
        for (QAction *action : m_window.findChildren<QAction *>()) {
            if (action->text() == QStringLiteral(u"页面总览(&P)")) {
                action->trigger();
                break;
            }
        }
        auto *board = m_window.findChild<frmPageBoard *>();
        // The board opens within the offscreen platform's 800 x 800 screen;
        // the runs measure it at 1280 x 1024 all the same.
        if (board)
            board->resize(kBoardSize);
        return board && board->isVisible() && board->size() == kBoardSize ? board : nullptr;
    }
    PictureList &pictures() { return m_window.findChild<BookSession *>()->pictures(); }

private:
    QTemporaryDir m_cache;
    QTemporaryDir m_settings;
    QtPlatform m_platform;
    frmMain m_window{m_platform, m_settings.filePath(QStringLiteral("Vellicor.ini"))};
};

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The number of tiles in view, or 0 while one of them still waits for its thumbnail.
int completeTilesInView(const PageBoardView &view, const QSet<QString> &arrived)
{
    const QRect shown = view.viewport()->rect();
    const QAbstractItemModel &model = *view.model();
    int tiles = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        if (!view.visualRect(index).intersects(shown))
            continue;
        if (!arrived.contains(index.data(Qt::DisplayRole).toString()))
            return 0;
        ++tiles;
    }
    return tiles;
}

void BM_BoardEventWaitCold(benchmark::State &state)
{
    const int pageDowns = int(state.range(0));
    const QString &folder = photoFolder();
    double longest = 0;
    double longestCpu = 0;
    double opening = 0;
    int tiles = 0;
    for (auto _ : state) {
        BoardSession session(folder);
        QElapsedTimer clock;
        clock.start();
        frmPageBoard *board = session.openBoard();
        if (!board) {
            state.SkipWithError("the board did not open at 1280 x 1024");
            break;
        }
        opening = std::max(opening, double(clock.nsecsElapsed()) / 1e6);
        PageBoardView &view = *board->view();
        auto *loader = board->findChild<ThumbnailLoader *>();

        QEventLoop loop;
        QSet<QString> arrived;
        int pagedDown = 0;
        const auto check = [&] {
            if (pagedDown == pageDowns && (tiles = completeTilesInView(view, arrived)) > 0)
                loop.quit();
        };
        const auto arrive = [&](const QString &path) {
            arrived.insert(fileNameOf(path));
            check();
        };
        // A rough thumbnail is not the tile's own.
        QObject::connect(loader, &ThumbnailLoader::thumbnailReady, &loop, [&](const QString &path, int bucket) {
            if (!loader->isRough(path, bucket))
                arrive(path);
        });
        QObject::connect(loader, &ThumbnailLoader::thumbnailFailed, &loop, arrive);
        QTimer pageDown;
        pageDown.setInterval(kPageDownEveryMs);
        QObject::connect(&pageDown, &QTimer::timeout, &loop, [&] {
            view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            if (++pagedDown == pageDowns)
                pageDown.stop();
        });
        if (pageDowns > 0)
            pageDown.start();
        QTimer::singleShot(kGiveUpMs, &loop, [&] { loop.exit(1); });

        LongestEventWait wait;
        const bool complete = loop.exec() == 0;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!complete) {
            state.SkipWithError("the tiles in view did not all get their thumbnails");
            break;
        }
        if (wait.longestMs() > longest) {
            longest = wait.longestMs();
            longestCpu = wait.longestCpuMs();
        }
    }
    state.counters["longest_wait_ms"] = longest;
    state.counters["longest_wait_cpu_ms"] = longestCpu;
    state.counters["opening_ms"] = opening;
    state.counters["tiles_in_view"] = tiles;
    state.counters["load_1min"] = loadAverage();
}
BENCHMARK(BM_BoardEventWaitCold)
    ->Arg(0)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_BoardMemoryScrolledThrough(benchmark::State &state)
{
    const int stepMs = int(state.range(0));
    const QString &folder = entryFolder();
    for (auto _ : state) {
        BoardSession session(folder);
        state.counters["rss_listed_MB"] = statusMb("VmRSS");
        resetPeakMemory();
        frmPageBoard *board = session.openBoard();
        if (!board) {
            state.SkipWithError("the board did not open at 1280 x 1024");
            break;
        }
        PageBoardView &view = *board->view();
        auto *loader = board->findChild<ThumbnailLoader *>();
        int made = 0;
        QObject::connect(loader, &ThumbnailLoader::thumbnailReady, board, [&](const QString &path, int bucket) {
            made += loader->isRough(path, bucket) ? 0 : 1;
        });
        QScrollBar &bar = *view.verticalScrollBar();
        int steps = 0;
        runEventLoopFor(stepMs);
        while (bar.value() < bar.maximum()) {
            bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
            ++steps;
            runEventLoopFor(stepMs);
        }
        const QModelIndex last = view.model()->index(view.model()->rowCount() - 1, 0);
        if (view.model()->rowCount() != kEntryCount || !view.visualRect(last).intersects(view.viewport()->rect())) {
            state.SkipWithError("the board did not reach the last entry");
            break;
        }
        state.counters["rss_MB"] = statusMb("VmRSS");
        state.counters["hwm_MB"] = statusMb("VmHWM");
        state.counters["thumbs_used_MB"] = double(loader->memoryUsed()) / (1024 * 1024);
        state.counters["thumbs_bound_MB"] = double(loader->memoryBound()) / (1024 * 1024);
        state.counters["thumbs_made"] = made;
        state.counters["steps"] = steps;
    }
    state.counters["load_1min"] = loadAverage();
}
void BM_BoardFactsBatches(benchmark::State &state)
{
    constexpr int kBatch = 64;
    const bool byName = state.range(0) == 1;
    const QString &folder = entryFolder();
    for (auto _ : state) {
        state.PauseTiming();
        BoardSession session(folder);
        frmPageBoard *board = session.openBoard();
        if (!board) {
            state.SkipWithError("the board did not open at 1280 x 1024");
            break;
        }
        // The thumbnails in view made first, so that only the batches' own work is timed.
        runEventLoopFor(2000);
        PictureList &list = session.pictures();
        const QStringList names = list.names();
        if (names.size() != kEntryCount) {
            state.SkipWithError("the folder was not listed");
            break;
        }
        PictureFacts facts;
        facts.pixelSize = QSize(800, 600);
        QElapsedTimer clock;
        std::vector<qint64> spent;
        state.ResumeTiming();
        for (qsizetype first = 0; first < names.size(); first += kBatch) {
            clock.start();
            std::vector<std::pair<QString, PictureFacts>> batch;
            for (qsizetype row = first; row < std::min(first + kBatch, names.size()); ++row)
                batch.emplace_back(names.at(row), facts);
            if (byName) {
                for (const auto &[name, known] : batch)
                    list.setFacts(name, known);
            } else {
                list.setFacts(batch);
            }
            QApplication::processEvents();
            spent.push_back(clock.nsecsElapsed());
        }
        const double total = std::accumulate(spent.cbegin(), spent.cend(), 0.0);
        std::sort(spent.begin(), spent.end());
        state.counters["batch_mean_us"] = total / double(spent.size()) / 1e3;
        state.counters["batch_median_us"] = double(spent[spent.size() / 2]) / 1e3;
        state.counters["batch_longest_us"] = double(spent.back()) / 1e3;
        state.counters["all_batches_ms"] = total / 1e6;
    }
    state.counters["load_1min"] = loadAverage();
    state.SetLabel(byName ? "one call per picture" : "one call per batch");
}
void BM_BoardDragAcross300(benchmark::State &state)
{
    const QString &folder = dragFolder();
    double longest = 0;
    double longestCpu = 0;
    for (auto _ : state) {
        BoardSession session(folder);
        frmPageBoard *board = session.openBoard();
        if (!board) {
            state.SkipWithError("the board did not open at 1280 x 1024");
            break;
        }
        PageBoardView &view = *board->view();
        PictureList &list = session.pictures();
        const QString first = list.names().value(0);
        view.selectionModel()->setCurrentIndex(view.model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
        view.verticalScrollBar()->setValue(0);
        runEventLoopFor(500);
        QScrollBar &bar = *view.verticalScrollBar();
        const QPoint edge(view.viewport()->width() / 2, view.viewport()->height() - 1);
        const int lastRow = view.model()->rowCount() - 1;
        QEventLoop loop;
        QObject::connect(view.edgeScroller(), &EdgeScroller::scrolled, &loop, [&] {
            if (bar.value() == bar.maximum())
                loop.quit();
        });
        QTimer::singleShot(kGiveUpMs, &loop, [&] { loop.exit(1); });

        QElapsedTimer clock;
        clock.start();
        LongestEventWait wait;
        // What the drag's move events tell the board: the pointer stays on the edge.
        view.edgeScroller()->beginDrag();
        view.dragOver(edge);
        const bool reached = loop.exec() == 0;
        const QRect lastTile = view.visualRect(view.model()->index(lastRow, 0));
        view.dropSelectionAt(QPoint(lastTile.right() - 2, lastTile.center().y()));
        view.edgeScroller()->endDrag();
        QApplication::processEvents();
        wait.stop();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!reached || list.names().value(lastRow) != first) {
            state.SkipWithError("the first tile did not reach the end");
            break;
        }
        if (wait.longestMs() > longest) {
            longest = wait.longestMs();
            longestCpu = wait.longestCpuMs();
        }
    }
    state.counters["longest_wait_ms"] = longest;
    state.counters["longest_wait_cpu_ms"] = longestCpu;
    state.counters["load_1min"] = loadAverage();
}
BENCHMARK(BM_BoardDragAcross300)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_BoardFactsBatches)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_BoardMemoryScrolledThrough)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond);

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
