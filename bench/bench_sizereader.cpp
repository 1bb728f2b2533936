// The main window's longest event wait while the sizes of a listed folder's
// pictures are read in the background (contain mode): a zero-interval timer
// on the window's thread notes the longest gap between its turns from the
// end of the listing until the reader has finished. The folder (32,767 JPEGs
// of 1600 x 1200 by default, TARNWICK_BENCH_JPEGS to change) is made once, in
// the page cache. Runs offscreen.
#include "app/frmmain.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "session/picturesizereader.h"

#include "bench/eventwait.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tarnwick;

namespace {

const QTemporaryDir &pictureFolder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QImage image(1600, 1200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QByteArray bytes;
        {
            QFile file(dir.filePath(QStringLiteral("template")));
            image.save(&file, "JPEG");
        }
        QFile read(dir.filePath(QStringLiteral("template")));
        read.open(QIODevice::ReadOnly);
        bytes = read.readAll();
        read.remove();
        bool ok = false;
        int count = qEnvironmentVariableIntValue("TARNWICK_BENCH_JPEGS", &ok);
        if (!ok || count <= 0)
            count = 32767;
        for (int i = 0; i < count; ++i) {
            QFile file(dir.filePath(QStringLiteral("page%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write the benchmark folder");
        }
        return true;
    }();
    Q_UNUSED(made);
    return dir;
}

void BM_WindowWaitWhileReadingSizes(benchmark::State &state)
{
    const QTemporaryDir &folder = pictureFolder();
    QTemporaryDir settings;
    QtPlatform platform;
    frmMain window(platform, settings.filePath(QStringLiteral("Vellicor.ini")));
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentIndex(int(FitMode::Contain));
    auto *reader = window.findChild<PictureSizeReader *>();
    double longest = 0;
    double total = 0;
    for (auto _ : state) {
        window.openPath(folder.path());
        QElapsedTimer run;
        run.start();
        QEventLoop loop;
        QObject::connect(reader, &PictureSizeReader::finished, &loop, &QEventLoop::quit);
        LongestEventWait wait;
        if (reader->isReading())
            loop.exec();
        state.SetIterationTime(double(run.nsecsElapsed()) / 1e9);
        total += double(run.nsecsElapsed()) / 1e6;
        longest = std::max(longest, wait.longestMs());
    }
    state.counters["longest_wait_ms"] = longest;
    state.counters["reading_ms"] = total / double(state.iterations());
}
BENCHMARK(BM_WindowWaitWhileReadingSizes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
