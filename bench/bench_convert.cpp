// Converting a folder of screenshots to JPEG: Tarnwick's conversion on the
// session's queue against ImageMagick's convert run once per file, side by
// side in one run, and the longest the window's thread waits meanwhile.
#include "convert/conversiontask.h"
#include "eventwait.h"
#include "queue/workqueue.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

using namespace tarnwick;

constexpr int kScreenshots = 100;
constexpr int kDistinct = 10;

// A screenshot-like picture of 2560 x 1440: flat panels, rows of "text" and a
// photo-like gradient, laid out differently for each seed.
QImage makeScreenshot(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(2560, 1440, QImage::Format_RGB32);
    image.fill(QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&image);
    painter.fillRect(0, 0, 2560, 60, QColor(0x2B, 0x57, 0x9A));
    painter.fillRect(0, 60, 420, 1380, QColor(0xE6, 0xE9, 0xEF));
    QLinearGradient sky(1500, 200, 2400, 900);
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 160, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    painter.fillRect(1500, 200, 900, 700, sky);
    for (int y = 120; y < 1400; y += 28) {
        int x = y < 900 ? 480 : 480 + int(random.bounded(200));
        const int end = y > 180 && y < 920 ? 1440 : 2460;
        while (x < end) {
            const int word = 20 + int(random.bounded(110));
            painter.fillRect(x, y, qMin(word, end - x), 14, QColor(0x20, 0x20, 0x20 + int(random.bounded(60))));
            x += word + 12;
        }
    }
    return image;
}

QString imageMagick()
{
    // The package's own program, not a wrapper ahead of it on the path.
    return QFileInfo::exists(QStringLiteral("/usr/bin/convert")) ? QStringLiteral("/usr/bin/convert")
                                                                  : QStringLiteral("convert");
}

void removeCopies(const QString &folder)
{
    QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        dir.remove(name);
}

// 100 PNG screenshots of 2560 x 1440.
void BM_ConvertAgainstImageMagick(benchmark::State &state)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-convert-XXXXXX"));
    const QString folder = dir.path() + u'/';
    QStringList names;
    QByteArray png[kDistinct];
    for (int i = 0; i < kDistinct; ++i) {
        QBuffer buffer(&png[i]);
        buffer.open(QIODevice::WriteOnly);
        makeScreenshot(quint32(i + 1)).save(&buffer, "PNG");
    }
    qint64 pngBytes = 0;
    for (int i = 0; i < kScreenshots; ++i) {
        const QString name = QStringLiteral("Screenshot_%1.png").arg(i, 3, 10, QLatin1Char('0'));
        QFile f(folder + name);
        f.open(QIODevice::WriteOnly);
        f.write(png[i % kDistinct]);
        pngBytes += png[i % kDistinct].size();
        names.append(name);
    }
    const std::vector<ConversionItem> items = planConversion(names);
    WorkQueue queue;
    double tarnwickSeconds = 0;
    double magickSeconds = 0;
    double longestWait = 0;
    double longestWaitCpu = 0;
    int run = 0;
    for (auto _ : state) {
        ++run;
        removeCopies(folder);
        QElapsedTimer timer;
        timer.start();
        {
            ConversionTask task(folder, items, 0xFFFFFF, queue);
            QEventLoop loop;
            QObject::connect(&task, &ConversionTask::finished, &loop, &QEventLoop::quit);
            LongestEventWait wait;
            task.start();
            loop.exec();
            wait.stop();
            if (task.written().size() != kScreenshots)
                state.SkipWithError("not every screenshot was converted");
            if (wait.longestMs() > longestWait) {
                longestWait = wait.longestMs();
                longestWaitCpu = wait.longestCpuMs();
            }
        }
        const double ours = timer.nsecsElapsed() / 1e9;
        tarnwickSeconds += ours;
        removeCopies(folder);
        timer.restart();
        for (const QString &name : names) {
            QProcess convert;
            convert.start(imageMagick(), {folder + name, QStringLiteral("-quality"), QStringLiteral("92"),
                                          folder + QString(name).replace(QStringLiteral(".png"), QStringLiteral(".jpg"))});
            if (!convert.waitForFinished(-1) || convert.exitCode() != 0) {
                state.SkipWithError("ImageMagick's convert failed");
                break;
            }
        }
        magickSeconds += timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(ours);
    }
    removeCopies(folder);
    state.counters["tarnwick_s"] = tarnwickSeconds / run;
    state.counters["imagemagick_s"] = magickSeconds / run;
    state.counters["ratio"] = tarnwickSeconds / magickSeconds;
    state.counters["longest_wait_ms"] = longestWait;
    state.counters["wait_cpu_ms"] = longestWaitCpu;
    state.counters["png_MB"] = double(pngBytes) / 1e6;
}
BENCHMARK(BM_ConvertAgainstImageMagick)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
