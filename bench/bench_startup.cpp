// Start-up of tarnwick against the smallest Qt Widgets program that shows one
// Chinese label. The benchmark runs itself as the child process, once as the
// tarnwick start-up (the same steps as app/main.cpp: application look,
// platform, frmMain over a settings file, show) and once as that minimal
// program: a QApplication with the same 12-pixel font, one QLabel "你好，世界"
// of the main window's size, show; and once as the plainest anchor: one label
// "选择图片所在目录" of that fixed size in Qt's default font and style. Being
// the same executable, all of them load and link the same libraries.
//
// Each child is timed from its spawn until its first frame is complete: the
// child writes one byte to its stdout from a zero timer queued by the window's
// first paint event, which runs only after every widget of the window has
// painted and the frame has gone to the platform. Stopping at the paint event
// itself would leave out the minimal program's text, and with it the loading
// of its fonts, while tarnwick loads them earlier, measuring its captions.
// The time to exit is not counted.

#include "app/frmmain.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "app/storedsettings.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const char childFlag[] = "--startup-child=";
const char *selfPath = nullptr;
QString settingsPath;

// Tells the parent when the watched window's first frame is complete.
class FirstFrameSignal : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                const char byte = '1';
                (void)!write(STDOUT_FILENO, &byte, 1);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

int runTarnwick(const char *iniPath, int argc, char **argv)
{
    QApplication app(argc, argv);
    tarnwick::setUpApplication(app);
    FirstFrameSignal frame;
    tarnwick::QtPlatform platform;
    tarnwick::frmMain window(platform, QString::fromLocal8Bit(iniPath));
    window.installEventFilter(&frame);
    window.show();
    return app.exec();
}

int runMinimal(int argc, char **argv)
{
    QApplication app(argc, argv);
    QFont font = app.font();
    font.setPixelSize(12);
    QApplication::setFont(font);
    FirstFrameSignal frame;
    QLabel window(QStringLiteral(u"你好，世界"));
    window.resize(540, 332);
    window.installEventFilter(&frame);
    window.show();
    return app.exec();
}

// The plainest anchor: one label with the text of the folder box's frame, the
// main window's fixed size, Qt's default font and style.
int runPlainLabel(int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstFrameSignal frame;
    QLabel window(QStringLiteral(u"选择图片所在目录"));
    window.setFixedSize(540, 332);
    window.installEventFilter(&frame);
    window.show();
    return app.exec();
}

// Spawns the child and returns the seconds until it reported its first frame.
double timeStartUp(const char *kind)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string flag = std::string(childFlag) + kind;
    const QByteArray ini = settingsPath.toLocal8Bit();
    char *args[] = {const_cast<char *>(selfPath), const_cast<char *>(flag.c_str()),
                    const_cast<char *>(ini.constData()), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, selfPath, &actions, nullptr, args, environ);
    close(fds[1]);
    char byte = 0;
    const bool shown = spawned == 0 && read(fds[0], &byte, 1) == 1;
    const auto end = std::chrono::steady_clock::now();
    close(fds[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0)
        waitpid(pid, nullptr, 0);
    return shown ? std::chrono::duration<double>(end - start).count() : -1;
}

double median(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

void startUp(benchmark::State &state, const char *kind)
{
    for (auto _ : state) {
        const double seconds = timeStartUp(kind);
        if (seconds < 0) {
            state.SkipWithError("the child process did not show its window");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_StartUpMinimalWidgets(benchmark::State &state)
{
    startUp(state, "minimal");
}

void BM_StartUpTarnwick(benchmark::State &state)
{
    startUp(state, "tarnwick");
}

// Both programs in turn, so that a changing machine load hits
// both alike. The counters are medians, which a few runs disturbed by other
// work do not move; "ratio" is tarnwick's median over the minimal program's.
void BM_StartUpRatio(benchmark::State &state, const char *anchor)
{
    std::vector<double> minimal;
    std::vector<double> tarnwick;
    bool minimalFirst = true;
    for (auto _ : state) {
        // A B B A: neither program always comes right after the other.
        double a = 0;
        double b = 0;
        if (minimalFirst) {
            a = timeStartUp(anchor);
            b = timeStartUp("tarnwick");
        } else {
            b = timeStartUp("tarnwick");
            a = timeStartUp(anchor);
        }
        minimalFirst = !minimalFirst;
        if (a < 0 || b < 0) {
            state.SkipWithError("a child process did not show its window");
            return;
        }
        minimal.push_back(a);
        tarnwick.push_back(b);
        state.SetIterationTime(a + b);
    }
    const double minimalMedian = median(minimal);
    const double tarnwickMedian = median(tarnwick);
    state.counters["anchor_ms"] = minimalMedian * 1000;
    state.counters["tarnwick_ms"] = tarnwickMedian * 1000;
    state.counters["ratio"] = tarnwickMedian / minimalMedian;
}

} // namespace

BENCHMARK_CAPTURE(BM_StartUpRatio, minimal, "minimal")->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(6);
BENCHMARK_CAPTURE(BM_StartUpRatio, plain_label, "plain")->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(6);
BENCHMARK(BM_StartUpMinimalWidgets)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StartUpTarnwick)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strncmp(argv[1], childFlag, std::strlen(childFlag)) == 0) {
        const char *kind = argv[1] + std::strlen(childFlag);
        if (std::strcmp(kind, "tarnwick") == 0)
            return runTarnwick(argv[2], 1, argv);
        return std::strcmp(kind, "plain") == 0 ? runPlainLabel(1, argv) : runMinimal(1, argv);
    }

    selfPath = "/proc/self/exe";
    static char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        selfPath = exe;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // The tarnwick child restores a full set of stored settings.
    QTemporaryDir dir;
    settingsPath = dir.filePath(QStringLiteral("Vellicor.ini"));
    tarnwick::BookSettings stored;
    stored.setBookSize(QStringLiteral("800"), QStringLiteral("600"));
    stored.border = tarnwick::BorderSwitch::On;
    stored.borderColour = 0xFF;
    tarnwick::saveStoredTexts(settingsPath, stored.storedValues());

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
