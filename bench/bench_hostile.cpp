// What hostile files cost the readers, side by side with ordinary ones: the
// header of a 2 GiB sparse file that starts like a JPEG but has no frame
// header (read no further than the scan bound) against an ordinary JPEG's, a
// GIF whose image follows 77 KB of comments, and the pass over a 32,767-file
// picture folder that looks for temporaries a killed run left.
#include "book/staletemporaries.h"
#include "facts/pictureheader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

const QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QImage image(1600, 1200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        image.save(dir.filePath(QStringLiteral("ordinary.jpg")), "JPEG");

        QFile sparse(dir.filePath(QStringLiteral("sparse.jpg")));
        if (!sparse.open(QIODevice::WriteOnly) || sparse.write("\xFF\xD8", 2) != 2 || !sparse.resize(qint64(2) << 30))
            qFatal("cannot write the sparse file");

        // GIF89a, a 1 x 1 screen, 77 KB of comment sub-blocks, then the image.
        QByteArray gif = QByteArray::fromHex("474946383961" "01000100" "000000");
        gif += QByteArray::fromHex("21fe");
        for (int i = 0; i < 77000 / 255; ++i)
            gif += char(255) + QByteArray(255, 'c');
        gif += QByteArray::fromHex("00" "2c000000000100010000" "020144003b");
        QFile comments(dir.filePath(QStringLiteral("comments.gif")));
        if (!comments.open(QIODevice::WriteOnly) || comments.write(gif) != gif.size())
            qFatal("cannot write the GIF");

        if (!QDir().mkpath(dir.filePath(QStringLiteral("many"))))
            qFatal("cannot make the folder");
        for (int i = 0; i < 32767; ++i) {
            QFile page(dir.filePath(QStringLiteral("many/page%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
            if (!page.open(QIODevice::WriteOnly))
                qFatal("cannot write the folder");
        }
        return true;
    }();
    Q_UNUSED(made);
    return dir;
}

void readHeader(benchmark::State &state, const char *name)
{
    const QString path = folder().filePath(QString::fromLatin1(name));
    for (auto _ : state) {
        const PictureHeader header = PictureHeader::readFile(path);
        benchmark::DoNotOptimize(header.size());
    }
}

void BM_HeaderOrdinaryJpeg(benchmark::State &state) { readHeader(state, "ordinary.jpg"); }
void BM_HeaderSparseFramelessJpeg(benchmark::State &state) { readHeader(state, "sparse.jpg"); }
void BM_HeaderGifAfterComments(benchmark::State &state) { readHeader(state, "comments.gif"); }

void BM_StaleTemporariesPass(benchmark::State &state)
{
    const int fd = ::open(QFile::encodeName(folder().filePath(QStringLiteral("many"))).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (auto _ : state)
        removeStaleTemporaries(fd, [](QByteArrayView name) { return name.startsWith('.') && name.size() > 2; });
    ::close(fd);
}

BENCHMARK(BM_HeaderOrdinaryJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeaderSparseFramelessJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderGifAfterComments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StaleTemporariesPass)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
