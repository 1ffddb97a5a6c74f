#include "core/watchframe.h"

#include <algorithm>
#include <vector>

namespace {

// Samples per reduced pixel along each axis.
constexpr int kSamples = 2; // the sum below reads two columns

inline int luma(const uchar *rgb)
{
    return (rgb[0] * 77 + rgb[1] * 150 + rgb[2] * 29) >> 8;
}

} // namespace

QImage reduceForWatching(const QImage &frame, int width)
{
    if (frame.isNull() || width <= 0)
        return QImage();
    if (frame.format() != QImage::Format_RGB888)
        return reduceForWatching(frame.convertToFormat(QImage::Format_RGB888), width);

    const int fw = frame.width(), fh = frame.height();
    if (width >= fw) { // nothing to reduce: each pixel's own brightness
        QImage out(fw, fh, QImage::Format_Grayscale8);
        for (int y = 0; !out.isNull() && y < fh; ++y) {
            const uchar *row = frame.constScanLine(y);
            uchar *dst = out.scanLine(y);
            for (int x = 0; x < fw; ++x)
                dst[x] = uchar(luma(row + 3 * x));
        }
        return out;
    }
    const int w = width;
    const int h = std::max(1, int((qint64(fh) * w + fw / 2) / fw));
    QImage out(w, h, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;

    // Sample columns, fixed for the whole frame: kSamples per reduced pixel,
    // each in the middle of its share of the block.
    std::vector<int> columns(size_t(w) * kSamples);
    for (int x = 0; x < w; ++x) {
        const qint64 x0 = qint64(x) * fw / w, x1 = qint64(x + 1) * fw / w;
        for (int s = 0; s < kSamples; ++s)
            columns[size_t(x) * kSamples + size_t(s)] = int(x0 + (x1 - x0) * (2 * s + 1) / (2 * kSamples)) * 3;
    }
    std::vector<int> sums(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const qint64 y0 = qint64(y) * fh / h, y1 = qint64(y + 1) * fh / h;
        for (int s = 0; s < kSamples; ++s) {
            const uchar *row = frame.constScanLine(int(y0 + (y1 - y0) * (2 * s + 1) / (2 * kSamples)));
            const int *col = columns.data();
            for (int x = 0; x < w; ++x, col += kSamples)
                sums[size_t(x)] += luma(row + col[0]) + luma(row + col[1]);
        }
        uchar *dst = out.scanLine(y);
        for (int x = 0; x < w; ++x)
            dst[x] = uchar(sums[size_t(x)] / (kSamples * kSamples));
    }
    return out;
}
