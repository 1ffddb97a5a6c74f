// Live preview costs per frame: copying the camera's buffer into the shared
// image, and painting it rotated and fitted. Baselines: a plain memcpy (the
// floor for the copy), the per-pixel setPixel copy, and rotating a full copy
// of the frame into a pixmap before drawing it.
#include "core/framecopy.h"
#include "core/previewfit.h"
#include "core/previewpaint.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTransform>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    work(); // warm caches and lazy allocations
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<unsigned char> makeFrame(int w, int h)
{
    std::vector<unsigned char> data(size_t(w) * h * 3);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    return data;
}

void copyPerPixel(QImage &dst, const unsigned char *src, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = src + (size_t(y) * w + x) * 3;
            dst.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
}

void paintRotatedCopy(QPainter &painter, const QImage &frame, const QRect &target, qreal rotate)
{
    const QImage turned = frame.transformed(QTransform().rotate(rotate), Qt::FastTransformation);
    painter.drawPixmap(target, QPixmap::fromImage(turned));
}

void benchSize(int w, int h)
{
    const std::vector<unsigned char> data = makeFrame(w, h);
    std::vector<unsigned char> packed(data.size());
    QImage frame(w, h, QImage::Format_RGB888);
    const int runs = w * h > 4000000 ? 15 : 30;

    const double floorMs = medianMs(runs, [&] { std::memcpy(packed.data(), data.data(), data.size()); });
    const double rowsMs = medianMs(runs, [&] { copyRgbFrame(frame, data.data(), w, h); });
    const double pixelMs = medianMs(std::max(3, runs / 5), [&] { copyPerPixel(frame, data.data(), w, h); });
    std::printf("copy  %4dx%-4d  memcpy %7.2f ms | rows %7.2f ms (%.2fx memcpy) | setPixel %8.2f ms (%.1fx)\n", w,
                h, floorMs, rowsMs, rowsMs / floorMs, pixelMs, pixelMs / floorMs);

    // A window of the usual size; the video area fills most of it.
    QImage window(1280, 800, QImage::Format_ARGB32_Premultiplied);
    const QSizeF area(960, 700);
    copyRgbFrame(frame, data.data(), w, h);
    for (qreal rotate : {0.0, 90.0, 180.0, 270.0}) {
        const QRect target = fitPreviewRect(frame.size(), rotate, area, 1.0);
        const double oursMs = medianMs(runs, [&] {
            QPainter p(&window);
            drawPreviewFrame(p, frame, target, rotate);
        });
        const double refMs = medianMs(std::max(3, runs / 3), [&] {
            QPainter p(&window);
            paintRotatedCopy(p, frame, target, rotate);
        });
        std::printf("paint %4dx%-4d rot %3.0f  sampled in place %7.2f ms | rotated copy %7.2f ms | %.1fx cheaper\n", w,
                    h, rotate, oursMs, refMs, refMs / oursMs);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchSize(1920, 1080);
    benchSize(3264, 2448);
    return 0;
}
