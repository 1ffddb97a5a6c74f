#include "core/framescaler.h"

#include <vector>

namespace {

// Index of the picture pixel under the centre of output pixel `p` when `n`
// picture pixels are stretched over `span` output pixels.
inline int sampleIndex(int p, int n, int span)
{
    const int i = int(((qint64(p) * 2 + 1) * n) / (qint64(span) * 2));
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

} // namespace

QImage scaleTurnedFrame(const QImage &frame, int turns, const QSize &target, const QRect &visible)
{
    QImage out;
    return scaleTurnedFrame(frame, turns, target, visible, out) ? out : QImage();
}

bool scaleTurnedFrame(const QImage &frame, int turns, const QSize &target, const QRect &visible, QImage &out)
{
    if (frame.isNull() || frame.format() != QImage::Format_RGB888 || target.isEmpty())
        return false;
    const QRect area = visible.intersected(QRect(QPoint(0, 0), target));
    if (area.isEmpty())
        return false;
    turns &= 3;

    const int w = frame.width();
    const int h = frame.height();
    const qptrdiff bpl = frame.bytesPerLine();
    const int turnedW = (turns & 1) ? h : w;
    const int turnedH = (turns & 1) ? w : h;

    if (out.size() != area.size() || out.format() != QImage::Format_RGB32) {
        QImage fresh(area.size(), QImage::Format_RGB32);
        if (fresh.isNull())
            return false;
        out = fresh;
    }

    // Along an output row the turned picture's column varies; which source
    // step that is depends on the turn.
    std::vector<qptrdiff> step(size_t(area.width()));
    for (int k = 0; k < area.width(); ++k) {
        const int ti = sampleIndex(area.left() + k, turnedW, target.width());
        switch (turns) {
        case 0: step[size_t(k)] = qptrdiff(ti) * 3; break;
        case 1: step[size_t(k)] = qptrdiff(h - 1 - ti) * bpl; break;
        case 2: step[size_t(k)] = qptrdiff(w - 1 - ti) * 3; break;
        default: step[size_t(k)] = qptrdiff(ti) * bpl; break;
        }
    }

    const uchar *bits = frame.constBits();
    for (int row = 0; row < area.height(); ++row) {
        const int tj = sampleIndex(area.top() + row, turnedH, target.height());
        const uchar *base;
        switch (turns) {
        case 0: base = bits + qptrdiff(tj) * bpl; break;
        case 1: base = bits + qptrdiff(tj) * 3; break;
        case 2: base = bits + qptrdiff(h - 1 - tj) * bpl; break;
        default: base = bits + qptrdiff(w - 1 - tj) * 3; break;
        }
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(row));
        const qptrdiff *s = step.data();
        for (int k = 0, n = area.width(); k < n; ++k) {
            const uchar *p = base + s[k];
            dst[k] = 0xff000000u | (uint(p[0]) << 16) | (uint(p[1]) << 8) | uint(p[2]);
        }
    }
    return true;
}
