#include "book/bookcheck.h"
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "facts/picturefolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;

extern char **environ;

namespace {

constexpr int pageCount = 32767;

QString pageName(int i)
{
    return QStringLiteral("page%1.gif").arg(i + 1, 5, 10, QLatin1Char('0'));
}

BookSettings bigBook()
{
    BookSettings s;
    s.pictureFolder = QStringLiteral("/tmp/");
    s.documentName = QStringLiteral("MyEBook.dml");
    s.bookWidth = QStringLiteral("800");
    s.bookHeight = QStringLiteral("600");
    s.pictureWidth = QStringLiteral("780");
    s.pictureHeight = QStringLiteral("580");
    s.pictureLeft = QStringLiteral("10");
    s.pictureTop = QStringLiteral("10");
    for (int i = 0; i < pageCount; ++i)
        s.pictures.append(pageName(i));
    return s;
}

// The 32,767-file folder, made once: empty files but the first, a real picture.
const QString &bigFolder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(Qt::gray);
        image.save(dir.filePath(QStringLiteral("page00000.jpg")), "JPEG");
        for (int i = 1; i < pageCount; ++i) {
            QFile file(dir.filePath(pageName(i)));
            if (!file.open(QIODevice::WriteOnly))
                return false;
        }
        return true;
    }();
    static const QString path = made ? dir.path() : QString();
    return path;
}

// The same names, each a small real JPEG of its own (64 x 48, no EXIF), so
// that a checked run reads a header from every file.
const QString &bigJpegFolder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        for (int i = 0; i < pageCount; ++i) {
            QFile file(dir.filePath(pageName(i)));
            if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
                return false;
        }
        return true;
    }();
    static const QString path = made ? dir.path() : QString();
    return path;
}

void BM_WriterDevNull(benchmark::State &state)
{
    const BookSettings s = bigBook();
    QByteArray document;
    {
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        writeDocument(buffer, s);
    }
    // Buffered, as QSaveFile writes: segments are gathered into larger writes.
    QFile sink(QStringLiteral("/dev/null"));
    if (!sink.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    for (auto _ : state) {
        if (writeDocument(sink, s) || !sink.flush())
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * document.size());
}
BENCHMARK(BM_WriterDevNull)->Unit(benchmark::kMillisecond);

void BM_WriterBuffer(benchmark::State &state)
{
    const BookSettings s = bigBook();
    QByteArray storage;
    storage.reserve(32 << 20);
    qint64 bytes = 0;
    for (auto _ : state) {
        storage.resize(0);
        QBuffer buffer(&storage);
        buffer.open(QIODevice::WriteOnly);
        if (writeDocument(buffer, s))
            state.SkipWithError("write failed");
        bytes += storage.size();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WriterBuffer)->Unit(benchmark::kMillisecond);

// Reading back the writer's 32,767-page document.
void BM_ReadDocument(benchmark::State &state)
{
    QByteArray document;
    {
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        writeDocument(buffer, bigBook());
    }
    for (auto _ : state) {
        BookSettings read;
        if (readDocument(document, read) || read.pictures.size() != pageCount)
            state.SkipWithError("the document was not read");
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(state.iterations() * document.size());
}
BENCHMARK(BM_ReadDocument)->Unit(benchmark::kMillisecond);

void BM_Listing(benchmark::State &state)
{
    const QString &folder = bigFolder();
    for (auto _ : state) {
        const QStringList names = listPictures(folder).value_or(QStringList());
        if (names.size() != pageCount)
            state.SkipWithError("wrong listing");
        benchmark::DoNotOptimize(names);
    }
    state.SetItemsProcessed(state.iterations() * pageCount);
}
BENCHMARK(BM_Listing)->Unit(benchmark::kMillisecond);

void BM_SortNames(benchmark::State &state)
{
    QStringList names;
    for (int i = pageCount - 1; i >= 0; --i)
        names.append(pageName(i));
    for (auto _ : state) {
        QStringList copy = names;
        sortPictureNames(copy);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_SortNames)->Unit(benchmark::kMillisecond);

void BM_CheckBook(benchmark::State &state)
{
    const BookSettings s = bigBook();
    for (auto _ : state) {
        if (checkBook(s))
            state.SkipWithError("check failed");
    }
}
BENCHMARK(BM_CheckBook)->Unit(benchmark::kMillisecond);

// Runs a program to completion with its output to /dev/null.
bool spawnAndWait(const std::vector<std::string> &argv, char **environment = environ)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_LsWholeProcess(benchmark::State &state)
{
    const std::string folder = bigFolder().toStdString();
    for (auto _ : state) {
        if (!spawnAndWait({"ls", "-1", folder}))
            state.SkipWithError("ls failed");
    }
}
BENCHMARK(BM_LsWholeProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same listing in a locale-aware name order, which is the work
// tarnwick-make does before it writes (needs the zh_CN.UTF-8 locale).
void BM_LsChineseWholeProcess(benchmark::State &state)
{
    const std::string folder = bigFolder().toStdString();
    std::vector<std::string> variables;
    for (char **v = environ; *v; ++v)
        if (std::strncmp(*v, "LC_", 3) != 0 && std::strncmp(*v, "LANG", 4) != 0)
            variables.emplace_back(*v);
    variables.emplace_back("LC_ALL=zh_CN.UTF-8");
    std::vector<char *> environment;
    for (std::string &v : variables)
        environment.push_back(v.data());
    environment.push_back(nullptr);
    for (auto _ : state) {
        if (!spawnAndWait({"ls", "-1", folder}, environment.data()))
            state.SkipWithError("ls failed");
    }
}
BENCHMARK(BM_LsChineseWholeProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef TARNWICK_MAKE_PATH
// A book of the big folder's pictures in a shuffled order, kept outside it.
const QString &bigFolderBook()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        BookSettings book = bigBook();
        book.pictureFolder = dir.path() + u'/';
        book.pictures = listPictures(bigFolder()).value_or(QStringList());
        std::shuffle(book.pictures.begin(), book.pictures.end(), std::mt19937(7));
        return saveDocument(book) ? QString() : book.outputPath();
    }();
    return path;
}

// Arg 1: with --order natural; Arg 2: with --like and the shuffled book.
void BM_MakeWholeProcess(benchmark::State &state)
{
    const std::string folder = bigFolder().toStdString();
    std::vector<std::string> argv{TARNWICK_MAKE_PATH};
    if (state.range(0) == 1)
        argv.insert(argv.end(), {"--order", "natural"});
    if (state.range(0) == 2) {
        if (bigFolderBook().isEmpty()) {
            state.SkipWithError("cannot write the book to take after");
            return;
        }
        argv.insert(argv.end(), {"--like", bigFolderBook().toStdString()});
    }
    argv.push_back(folder);
    for (auto _ : state) {
        if (!spawnAndWait(argv))
            state.SkipWithError("tarnwick-make failed");
    }
}
BENCHMARK(BM_MakeWholeProcess)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The --like target as a ratio: the runs with and without --like alternate,
// so a build starting beside them slows both alike. The time is the --like
// run's; the counters give both medians and their ratio.
void BM_MakeLikeAgainstPlain(benchmark::State &state)
{
    if (bigFolderBook().isEmpty()) {
        state.SkipWithError("cannot write the book to take after");
        return;
    }
    const std::string folder = bigFolder().toStdString();
    const std::vector<std::string> plain{TARNWICK_MAKE_PATH, folder};
    const std::vector<std::string> like{TARNWICK_MAKE_PATH, "--like", bigFolderBook().toStdString(), folder};
    const auto timed = [](const std::vector<std::string> &argv, std::vector<double> &into) {
        const auto start = std::chrono::steady_clock::now();
        const bool ran = spawnAndWait(argv);
        into.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return ran;
    };
    std::vector<double> plainTimes, likeTimes;
    for (auto _ : state) {
        if (!timed(plain, plainTimes) || !timed(like, likeTimes))
            state.SkipWithError("tarnwick-make failed");
        state.SetIterationTime(likeTimes.back());
    }
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times.empty() ? 0.0 : times[times.size() / 2];
    };
    state.counters["plain_ms"] = median(plainTimes) * 1000;
    state.counters["like_ms"] = median(likeTimes) * 1000;
    state.counters["ratio"] = median(likeTimes) / std::max(median(plainTimes), 1e-9);
}
BENCHMARK(BM_MakeLikeAgainstPlain)->Iterations(20)->Unit(benchmark::kMillisecond)->UseManualTime();

// The page check's cost: a stretch run, which reads every header for the
// check, against the same run with --no-check, which reads none; in turns.
// Arg 0: the folder of empty files (each found unreadable at once); Arg 1:
// every file a real JPEG.
void BM_MakeCheckAgainstNoCheck(benchmark::State &state)
{
    const std::string folder = (state.range(0) == 0 ? bigFolder() : bigJpegFolder()).toStdString();
    const std::vector<std::string> unchecked{TARNWICK_MAKE_PATH, "--no-trash", "--no-check", folder};
    const std::vector<std::string> checked{TARNWICK_MAKE_PATH, "--no-trash", folder};
    const auto timed = [](const std::vector<std::string> &argv, std::vector<double> &into) {
        const auto start = std::chrono::steady_clock::now();
        const bool ran = spawnAndWait(argv);
        into.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return ran;
    };
    std::vector<double> uncheckedTimes, checkedTimes;
    for (auto _ : state) {
        if (!timed(unchecked, uncheckedTimes) || !timed(checked, checkedTimes))
            state.SkipWithError("tarnwick-make failed");
        state.SetIterationTime(checkedTimes.back());
    }
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times.empty() ? 0.0 : times[times.size() / 2];
    };
    state.counters["no_check_ms"] = median(uncheckedTimes) * 1000;
    state.counters["check_ms"] = median(checkedTimes) * 1000;
    state.counters["ratio"] = median(checkedTimes) / std::max(median(uncheckedTimes), 1e-9);
}
BENCHMARK(BM_MakeCheckAgainstNoCheck)->Arg(0)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond)->UseManualTime();

// A stretched book of 32,767 pictures that reads no picture (--no-check)
// against `ls -1` of the same folder
// under zh_CN, run in turns. Arg 0: the folder on the disk the benchmark runs
// on (the new document is synced before it replaces the older one); Arg 1:
// the same folder in /dev/shm, where the sync costs nothing.
void BM_MakeAgainstLs(benchmark::State &state)
{
    static QTemporaryDir memory(QStringLiteral("/dev/shm/tarnwick-bench-XXXXXX"));
    QString folder = bigFolder();
    if (state.range(0) == 1) {
        if (!memory.isValid()) {
            state.SkipWithError("no /dev/shm");
            return;
        }
        folder = memory.path();
        if (!QFile::exists(memory.filePath(pageName(pageCount - 1)))) {
            for (const QString &name : QDir(bigFolder()).entryList(QDir::Files))
                QFile::copy(QDir(bigFolder()).filePath(name), memory.filePath(name));
        }
    }
    std::vector<std::string> variables;
    for (char **v = environ; *v; ++v)
        if (std::strncmp(*v, "LC_", 3) != 0 && std::strncmp(*v, "LANG", 4) != 0)
            variables.emplace_back(*v);
    variables.emplace_back("LC_ALL=zh_CN.UTF-8");
    std::vector<char *> environment;
    for (std::string &v : variables)
        environment.push_back(v.data());
    environment.push_back(nullptr);
    const std::vector<std::string> ls{"ls", "-1", folder.toStdString()};
    const std::vector<std::string> make{TARNWICK_MAKE_PATH, "--no-trash", "--no-check", folder.toStdString()};
    const auto timed = [&](const std::vector<std::string> &argv, std::vector<double> &into) {
        const auto start = std::chrono::steady_clock::now();
        const bool ran = spawnAndWait(argv, environment.data());
        into.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return ran;
    };
    std::vector<double> lsTimes, makeTimes;
    for (auto _ : state) {
        if (!timed(ls, lsTimes) || !timed(make, makeTimes))
            state.SkipWithError("a run failed");
        state.SetIterationTime(makeTimes.back());
    }
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times.empty() ? 0.0 : times[times.size() / 2];
    };
    state.counters["ls_ms"] = median(lsTimes) * 1000;
    state.counters["make_ms"] = median(makeTimes) * 1000;
    state.counters["ratio"] = median(makeTimes) / std::max(median(lsTimes), 1e-9);
}
BENCHMARK(BM_MakeAgainstLs)->Arg(0)->Arg(1)->Iterations(30)->Unit(benchmark::kMillisecond)->UseManualTime();
#endif

} // namespace

BENCHMARK_MAIN();
