// Tarnwick's thumbnail cache from the command line, for the check against
// GNOME's thumbnail factory: "obtain PATH SIZE" reads or makes a thumbnail,
// "lookup PATH SIZE" only reads; both print WIDTHxHEIGHT, "failed" or "none".
#include "thumbnails/thumbnailcache.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace tarnwick;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() != 4)
        return 2;
    const ThumbnailCache cache(ThumbnailCache::defaultRoot());
    const int size = args[3].toInt();
    QImage image;
    if (args[1] == QLatin1String("obtain")) {
        const ThumbnailCache::Result result = cache.obtain(args[2], size);
        if (result.failed) {
            out << "failed\n";
            return 0;
        }
        image = result.image;
    } else {
        image = cache.lookup(args[2], size);
    }
    if (image.isNull())
        out << "none\n";
    else
        out << image.width() << 'x' << image.height() << '\n';
    return 0;
}
