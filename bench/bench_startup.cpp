// Start-up of tarnwick against a minimal Qt Widgets program, both measured the
// same way: from spawning a process to the moment its window has been painted
// for the first time. The benchmark runs itself as the child process, once as
// the tarnwick start-up (the same steps as app/main.cpp: application look,
// platform, frmMain over a settings file, show) and once as Qt's hello-world
// program, a single QLabel.
// The child writes one byte to its stdout when the window is shown; the time
// to exit is not counted.

#include "app/frmmain.h"
#include "app/qtplatform.h"
#include "app/startup.h"
#include "app/storedsettings.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QLabel>

#include <chrono>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

const char childFlag[] = "--startup-child=";
const char *selfPath = nullptr;
QString settingsPath;

// Signals the parent on the first paint of the watched window.
class ShownSignal : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_sent && event->type() == QEvent::Paint) {
            m_sent = true;
            const char byte = '1';
            (void)!write(STDOUT_FILENO, &byte, 1);
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                                      Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_sent = false;
};

int runChild(const char *kind, const char *iniPath, int argc, char **argv)
{
    QApplication app(argc, argv);
    ShownSignal shown;
    if (std::strcmp(kind, "tarnwick") == 0) {
        tarnwick::setUpApplication(app);
        tarnwick::QtPlatform platform;
        tarnwick::frmMain window(platform, QString::fromLocal8Bit(iniPath));
        window.installEventFilter(&shown);
        window.show();
        return app.exec();
    }
    // Qt's own minimal program: one label saying hello, in English or, to
    // count the loading of a Chinese font as tarnwick must, in Chinese.
    QLabel window(std::strcmp(kind, "minimal-chinese") == 0 ? QStringLiteral(u"你好，世界")
                                                            : QStringLiteral("Hello, world"));
    window.resize(540, 332);
    window.installEventFilter(&shown);
    window.show();
    return app.exec();
}

// Spawns the child and returns the seconds until it reported its window.
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

void BM_StartUpMinimalChineseWidgets(benchmark::State &state)
{
    startUp(state, "minimal-chinese");
}

void BM_StartUpTarnwick(benchmark::State &state)
{
    startUp(state, "tarnwick");
}

// Both programs in turn, so that a changing machine load hits both alike;
// the counter "ratio" is tarnwick's time over the minimal program's.
void BM_StartUpRatio(benchmark::State &state)
{
    double minimal = 0;
    double tarnwick = 0;
    for (auto _ : state) {
        const double a = timeStartUp("minimal");
        const double b = timeStartUp("tarnwick");
        if (a < 0 || b < 0) {
            state.SkipWithError("a child process did not show its window");
            return;
        }
        minimal += a;
        tarnwick += b;
        state.SetIterationTime(a + b);
    }
    const double n = double(state.iterations());
    state.counters["minimal_ms"] = minimal / n * 1000;
    state.counters["tarnwick_ms"] = tarnwick / n * 1000;
    state.counters["ratio"] = tarnwick / minimal;
}

} // namespace

BENCHMARK(BM_StartUpRatio)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_StartUpMinimalWidgets)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StartUpMinimalChineseWidgets)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StartUpTarnwick)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strncmp(argv[1], childFlag, std::strlen(childFlag)) == 0)
        return runChild(argv[1] + std::strlen(childFlag), argv[2], 1, argv);

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
