#pragma once

#include <QImage>
#include <QRandomGenerator>
#include <QSize>

// A photo for the decoding benchmarks, 4000 x 3000 unless told: a gradient
// with noise on top, so that its JPEG is not trivially compressible. At
// 4000 x 3000 and quality 90 the default noise gives 7.4 MB, a noise of 16
// about 3.5 MB, as a phone's photo.
inline QImage makeBenchPhoto(QSize size = QSize(4000, 3000), int noiseLevel = 64)
{
    QImage image(size, QImage::Format_RGB32);
    const int width = size.width();
    const int height = size.height();
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(noiseLevel));
            line[x] = qRgb((x * 255 / width + noise) & 255, (y * 255 / height + noise) & 255,
                           ((x + y) * 255 / (width + height) + noise) & 255);
        }
    }
    return image;
}
