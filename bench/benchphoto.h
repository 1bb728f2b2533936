#pragma once

#include <QImage>
#include <QRandomGenerator>

// A 4000 x 3000 photo for the decoding benchmarks: a gradient with noise on
// top, so that its JPEG is not trivially compressible. At quality 90 the
// default noise gives 7.4 MB, a noise of 16 about 3.5 MB, as a phone's photo.
inline QImage makeBenchPhoto(int noiseLevel = 64)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(noiseLevel));
            line[x] = qRgb((x * 255 / 4000 + noise) & 255, (y * 255 / 3000 + noise) & 255,
                           ((x + y) * 255 / 7000 + noise) & 255);
        }
    }
    return image;
}
