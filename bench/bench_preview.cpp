// The preview of a 4000 x 3000 photo: decoding it in-process against djpeg
// decoding the same file as a whole process, and one pan step of the shown
// preview window (the move event and the repaint it causes).

#include "preview/frmshowpic.h"
#include "imaging/previewdecode.h"
#include "preview/previewhost.h"

#include "bench/benchphoto.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

using namespace tarnwick;

namespace {

const QString kFileName = QStringLiteral("photo.jpg");

const QTemporaryDir &photoDir()
{
    static QTemporaryDir dir;
    static const bool saved = dir.isValid() && makeBenchPhoto().save(dir.filePath(kFileName), "JPEG", 90);
    if (!saved)
        qFatal("cannot write the test photo");
    return dir;
}

QString photoPath() { return photoDir().filePath(kFileName); }

void BM_DecodeInProcess(benchmark::State &state)
{
    const QString path = photoPath();
    for (auto _ : state) {
        const QImage image = decodePreviewPicture(path);
        if (image.size() != QSize(4000, 3000)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_DjpegProcess(benchmark::State &state)
{
    const QByteArray path = photoPath().toLocal8Bit();
    char program[] = "djpeg";
    char outfile[] = "-outfile";
    char devnull[] = "/dev/null";
    QByteArray file = path;
    char *args[] = {program, outfile, devnull, file.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, args, environ) != 0) {
            state.SkipWithError("cannot start djpeg");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("djpeg failed");
            return;
        }
    }
}

class StubHost : public PreviewHost
{
public:
    QString pictureFolder() const override { return photoDir().path() + QLatin1Char('/'); }
    QString currentEntry() const override { return kFileName; }
    QPoint hostPosition() const override { return {0, 0}; }
    QSize hostClientSize() const override { return {800, 600}; }
    QWindow *hostWindow() const override { return nullptr; }
    void untickPreview() override {}
};

void send(QWidget *window, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, window->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

void BM_PanStep(benchmark::State &state)
{
    StubHost host;
    auto *window = new frmShowPic(host);
    window->FormLoad();
    window->show();
    QApplication::processEvents();
    if (window->imageSize() != QSize(4000, 3000)) {
        state.SkipWithError("the preview did not load the photo");
        delete window;
        return;
    }
    const QPoint press(320, 240);
    send(window, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    // The offset moves by a quarter of the drag: away from the origin, then back.
    const QPoint positions[2] = {press - QPoint(150, 100), press + QPoint(150, 100)};
    int i = 0;
    QPoint lastPan = window->panOffset();
    int changes = 0;
    for (auto _ : state) {
        const QPoint at = positions[i++ & 1];
        send(window, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        window->repaint();
        if (window->panOffset() != lastPan) {
            lastPan = window->panOffset();
            ++changes;
        }
    }
    send(window, QEvent::MouseButtonRelease, press, Qt::LeftButton, Qt::NoButton);
    if (state.iterations() > 1 && changes < int(state.iterations()) - 1)
        state.SkipWithError("the pan offset did not follow the pointer");
    delete window;
}

} // namespace

BENCHMARK(BM_DecodeInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DjpegProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanStep)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
