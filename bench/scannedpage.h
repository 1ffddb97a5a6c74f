// A scanned page for benchmarks: paper, lines of "text" and a photo block,
// so that its JPEG is about as large as a real 8-megapixel page.
#ifndef BENCH_SCANNEDPAGE_H
#define BENCH_SCANNEDPAGE_H

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>

inline bool writeScannedPage(const QString &path, int width, int height, quint32 seed)
{
    QImage page(width, height, QImage::Format_RGB888);
    page.fill(QColor(236, 232, 224));
    QPainter p(&page);
    QRandomGenerator rng(seed);
    for (int y = 200; y < height - 200; y += 60)
        for (int x = 150; x < width - 150; x += 40 + int(rng.bounded(60)))
            p.fillRect(x, y, 20 + int(rng.bounded(30)), 30, QColor(40, 40, 50));
    for (int i = 0; i < 4000; ++i)
        p.fillRect(width / 2 + int(rng.bounded(width / 3)), height / 3 + int(rng.bounded(height / 4)), 24, 24,
                   QColor::fromRgb(rng.generate() | 0xff000000u));
    p.end();
    return page.save(path, "JPG", 90);
}

#endif
