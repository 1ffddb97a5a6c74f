#include "core/localcontrast.h"

#include <algorithm>

namespace {

// Brightness added to both sides of the division so the dark desk's noise
// does not blow up into large ratios.
constexpr int kDarkFloor = 12;

} // namespace

void divideByLocalMean(const QImage &grey, int radius, std::vector<quint8> &out)
{
    const int w = grey.width();
    const int h = grey.height();
    std::vector<quint32> integral(size_t(w + 1) * size_t(h + 1), 0);
    for (int y = 0; y < h; ++y) {
        const uchar *row = grey.constScanLine(y);
        quint32 rowSum = 0;
        quint32 *above = &integral[size_t(y) * size_t(w + 1)];
        quint32 *here = above + (w + 1);
        for (int x = 0; x < w; ++x) {
            rowSum += row[x];
            here[x + 1] = above[x + 1] + rowSum;
        }
    }
    out.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar *row = grey.constScanLine(y);
        const int y0 = std::max(0, y - radius), y1 = std::min(h, y + radius + 1);
        const quint32 *top = &integral[size_t(y0) * size_t(w + 1)];
        const quint32 *bottom = &integral[size_t(y1) * size_t(w + 1)];
        quint8 *dst = &out[size_t(y) * size_t(w)];
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(w, x + radius + 1);
            const quint32 sum = bottom[x1] - bottom[x0] - top[x1] + top[x0];
            const float count = float((x1 - x0) * (y1 - y0));
            const float value = kLocalMean * (row[x] + kDarkFloor) * count / (float(sum) + kDarkFloor * count);
            dst[x] = quint8(std::min(value, 255.0f));
        }
    }
}
