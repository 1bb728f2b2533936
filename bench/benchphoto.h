#pragma once

#include <QImage>
#include <QRandomGenerator>

// A 4000 x 3000 photo for the decoding benchmarks: a gradient with noise on
// top, so that its JPEG is not trivially compressible.
inline QImage makeBenchPhoto()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(64));
            line[x] = qRgb((x * 255 / 4000 + noise) & 255, (y * 255 / 3000 + noise) & 255,
                           ((x + y) * 255 / 7000 + noise) & 255);
        }
    }
    return image;
}
