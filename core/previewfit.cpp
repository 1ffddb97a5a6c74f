#include "core/previewfit.h"

#include <QStringList>
#include <QTransform>

#include <cmath>
#include <limits>

namespace {

int truncateToInt(qreal v)
{
    // A huge 1:1 scale must not overflow the conversion.
    constexpr qreal lo = std::numeric_limits<int>::min() / 2;
    constexpr qreal hi = std::numeric_limits<int>::max() / 2;
    if (!(v > lo))
        return int(lo);
    if (v > hi)
        return int(hi);
    return int(v);
}

} // namespace

QRect fitPreviewRect(const QSize &frame, qreal rotate, const QSizeF &area, qreal scale, const QPointF &boxOrigin)
{
    if (frame.width() <= 0 || frame.height() <= 0)
        return QRect();

    const qreal vw = frame.width();
    const qreal vh = frame.height();
    const qreal ww = area.width();
    const qreal wh = area.height();

    // Any odd number of quarter turns stands the frame on its side: 450 and
    // -270, which the rotate buttons can reach, as well as 90.
    qreal p = vw / vh;
    const int turns = quarterTurns(rotate);
    if (turns == 1 || turns == 3)
        p = vh / vw;

    qreal w;
    qreal h;
    if (ww >= wh) {
        h = wh + scale;
        w = h * p;
    } else {
        w = ww + scale;
        h = w / p;
    }
    const qreal x = (ww - w) / 2 + boxOrigin.x();
    const qreal y = (wh - h) / 2 + boxOrigin.y();
    return QRect(truncateToInt(x), truncateToInt(y), truncateToInt(w), truncateToInt(h));
}

int quarterTurns(qreal rotate)
{
    if (!std::isfinite(rotate))
        return -1;
    const qreal turns = rotate / 90;
    const qreal whole = std::round(turns);
    if (turns != whole)
        return -1;
    const long long n = static_cast<long long>(std::fmod(whole, 4.0));
    return int((n % 4 + 4) % 4);
}

QSize rotatedFrameSize(const QSize &frame, qreal rotate)
{
    const int q = quarterTurns(rotate);
    if (q >= 0)
        return q % 2 ? frame.transposed() : frame;
    QTransform t;
    t.rotate(rotate);
    return t.mapRect(QRectF(QPointF(0, 0), QSizeF(frame))).toAlignedRect().size();
}
